// "Öppna" with measured impedance sweeps: which chosen file is a sweep, and what one free-air
// sweep, or it and one with a known mass on the cone, tell the window's fields. The rules are
// elemtrix-calc --sweep's, so that both fill the same texts.
#pragma once

#include "measure/added_mass.h"
#include "measure/field_text.h"

constexpr int IMPORT_MAX_SWEEPS = 2;

// What the window holds besides the sweeps: NaN for a field whose text is not a valid value.
struct ImportRequest {
    const char *paths[IMPORT_MAX_SWEEPS];
    int count;         // 1 or 2
    double re;         // ohm: held as measured; NaN: fitted
    double added_mass; // gram, needed with two sweeps
    double sd;         // cm², needed for Vas from the compliance
    bool vas_empty;    // only an empty Vas field is filled, from the compliance and Sd
    // Sweeps measured in the window, taken instead of reading the files, whose paths then only
    // name them; null: read from the path.
    const Sweep *given[IMPORT_MAX_SWEEPS];
};

struct ImportedSweep {
    const char *path;
    double mass; // gram; 0 for the free-air sweep
    Sweep sweep;
    SweepFit fit;
};

struct SweepImport {
    ImportedSweep sweeps[IMPORT_MAX_SWEEPS]; // the free-air sweep first
    int count;
    AddedMassResult line; // the straight line through the resonances, a cross-check
    JointMassFit joint;   // the moving mass the fields give
    DriverFields fields;
    DriverInputs texts;     // as elemtrix-calc --sweep --save writes them
    bool fill[INPUT_COUNT]; // the fields that the sweeps tell
    bool vas_without_sd;    // Vas would come from the compliance, but Sd is not valid
};

// The free-air sweep is the one with the higher resonance. False with error set, naming the
// file, at the first thing that fails; nothing of result is then meant to be used.
bool import_sweeps(const ImportRequest &request, SweepImport &result, MeasureError &error);

// The fit cannot be trusted: its residual lies above UNTRUSTED_RMS_PERCENT, or the resonance
// lies within a factor UNTRUSTED_EDGE_RATIO of either end of the sweep.
constexpr double UNTRUSTED_RMS_PERCENT = 3;
constexpr double UNTRUSTED_EDGE_RATIO = 1.5;
bool fit_near_sweep_end(const ImportedSweep &s);
