// elemtrix-calc --sweep: the driver fitted to measured impedance sweeps, its ten field texts as
// "Spara" would write them, and the value column with the uncertainties the fit gives.
#pragma once

#include "app/calc/calc_options.h"
#include "app/calc/calc_report.h"
#include "measure/field_text.h"
#include "measure/fitted_covariance.h"

#include <string>
#include <vector>

struct MeasuredSweep {
    const char *path;  // as given, for messages and for reading
    std::string shown; // UTF-8
    double mass;       // added to the cone, gram; 0 for the free-air sweep
    Sweep sweep;
    SweepFit fit;
};

struct Measurement {
    std::vector<MeasuredSweep> sweeps; // the free-air sweep first, then the added masses as given
    bool has_added_mass;
    AddedMassResult added; // the straight line, a cross-check of the joint fit
    JointMassFit joint;    // the fields' moving mass
    DriverFields fields;
    CalcDriver driver; // "Kalkylera" on the field texts
    // The fitted values' standard errors carried into every row; an input whose error is not
    // known, or larger than its value, is left out and named in left_out.
    Uncertainties uncertainties;
    bool left_out[INPUT_COUNT];
    // The fitted values themselves with their covariance, and the typed values with their
    // tolerances, for the box.
    CovariedDriver covaried;
    double typed_error[INPUT_COUNT] = {}; // --tolerance of a typed value, absolute; 0: exact
};

// The classic reading of a sweep's peak, by name.
struct ClassicMember {
    const char *name;
    double ClassicValues::*member;
};
constexpr int CLASSIC_MEMBER_COUNT = 8;
extern const ClassicMember CLASSIC_MEMBERS[CLASSIC_MEMBER_COUNT];

// "Fri luft", "Adderad massa 20 g".
std::string sweep_label(const MeasuredSweep &s);

// Reads and fits every sweep and makes the driver; false with error set (the file, and the line
// where one is to blame) at the first thing that fails. Nothing is written or printed.
bool measure_driver(const CalcOptions &options, Measurement &m, MeasureError &error);

// The name and ten texts in driver data file order.
DriverFileLines measured_lines(const Measurement &m);

// Writes them as "Spara" does: the earlier file is replaced only once the new one is on disk.
bool save_measured_driver(const char *path, const Measurement &m);

// Per sweep the classic and the fitted values, then the added mass, Vas, the note on a fitted
// Re, the field texts and the note on the uncertainties; the value column follows it.
std::string measurement_report(const Measurement &m);
