// Moving mass and compliance from the resonance with known masses added to the cone, and Vas
// from the compliance.
#pragma once

#include "measure/air.h"
#include "measure/sweep_file.h"
#include "measure/sweep_fit.h"

struct MassResonance {
    const char *name; // the sweep's name, for messages
    double mass;      // added mass, gram
    Estimate Fs;      // fitted resonance with the mass on the cone, Hz
};

struct AddedMassResult {
    Estimate Mms;       // gram
    Estimate Cms;       // m/N
    double mass;        // the largest added mass, gram
    Estimate FsAdded;   // the resonance the line gives for that mass, Hz
    double rms_percent; // the line's residual, root mean square in % of 1/(2πf)²
    int masses;         // added-mass sweeps used
};

// 1/(2πf)² = Cms·(Mms + m) is a straight line in the added mass m. It is fitted by least
// squares through the free resonance (m = 0) and each added mass: with one mass that is the
// classic two-point formula, with more the line averages them. Standard errors come from the
// resonances' own. False with error set when a mass is not above 0, a resonance is not below
// the free one, or the line gives no positive Mms and Cms.
bool fit_added_mass(const char *free_name, Estimate free_fs, const MassResonance *added, int count,
                    AddedMassResult &result, MeasureError &error);

// One fit of the free-air sweep and every added-mass sweep together, in the model chosen for
// the free-air sweep: Bl, the suspension and the coil shared, each sweep's moving mass Mms plus
// its added mass, Re per sweep (held when given). A straight line of 1/(2πf)² against the mass
// cannot reach Mms of a creeping suspension, whose compliance rises as the mass lowers the
// resonance; the joint fit can.
struct JointMassFit {
    DriverModel model;
    int sweeps;         // fitted together: the free-air sweep and up to MAX_FIT_SWEEPS − 1 more
    Estimate Mms;       // gram
    Estimate Cms;       // m/N, 1/((2π·Fs)²·Mms) at the free resonance
    Estimate Bl;        // T·m
    Estimate Fs;        // of the free-air sweep, Hz
    Estimate Beta;      // NaN error and 0 without creep
    double mass;        // the largest added mass fitted, gram
    Estimate FsAdded;   // Fs/√(1 + mass/Mms) from the free sweep's own Fs: the resonance that
                        // the engine's added-mass formula needs to give this Mms
    FitQuality quality; // over all the sweeps
    // Of the free-air sweep's values (driver_values' order and SI units), widened as the errors.
    ValueCovariance covariance;
};

// fits[0] is the free-air sweep, masses[i] gram (masses[0] = 0); start_mms, gram, starts the
// moving mass (the line's). False with error set when the fit ends nowhere physical.
bool fit_masses_jointly(const char *free_name, const SweepFit *const *fits, const double *masses,
                        int count, double start_mms, JointMassFit &joint, MeasureError &error);

// With added masses, both: the line through every resonance, a cross-check, then the joint fit
// that starts from its Mms. names, fits and masses (gram) per sweep, the free-air sweep first
// with mass 0. False with error set at the first that fails.
bool fit_added_masses(const char *const *names, const SweepFit *const *fits, const double *masses,
                      int count, AddedMassResult &line, JointMassFit &joint, MeasureError &error);

// Litre, from the compliance in m/N and Sd in cm².
Estimate vas_from_compliance(Estimate cms, double sd_cm2);
