// The driver's values fitted to an impedance sweep with the models of measure/model_fit.h:
// every model is fitted from several starts, on the complex impedance when the sweep has the
// phase and on |Z| otherwise, and the one with the lowest Bayesian information criterion kept
// whose own terms the sweep tells.
//
// The band is the whole sweep where the model follows it. After each fit the residual is
// looked at point by point, as the RMS over LOCAL_POINTS neighbours: going out from the
// resonance, the band ends before the first point where that stands above BAND_RATIO times
// the sweep's point-to-point scatter (and above MIN_MISFIT_PERCENT), and the sweep is fitted
// again over the narrower band, until the band holds. A stretch the model cannot follow, a
// cone's break-up or a room's reflection, would otherwise pull every value to suit it. The
// band keeps CORE_RANGE around the resonance and MIN_FIT_POINTS at least, so that a short or
// coarse sweep is still fitted around its resonance.
#pragma once

#include "measure/model_fit.h"
#include "measure/sweep_file.h"

#include <complex>
#include <limits>

constexpr int LOCAL_POINTS = 9;
constexpr double BAND_RATIO = 3;
constexpr double MIN_MISFIT_PERCENT = 0.1; // a sweep's scatter is never less in practice
constexpr double CORE_RANGE = 4;           // Fs/4 to 4·Fs
constexpr int MIN_FIT_POINTS = 12;

// The textbook reading of the curve, which also starts the fit.
struct ClassicValues {
    double Re;     // the given one, or the lowest |Z| of the sweep (median of five neighbours)
    double Fs;     // frequency of the highest point of the resonance peak
    double Zmax;   // |Z| there
    double F1, F2; // where |Z| crosses √(Re·Zmax) below and above Fs; where the sweep ends
                   // first, one is the other mirrored: F1·F2 = Fs²
    double Qms, Qes, Qts;
};

struct FitOptions {
    // Measured with an ohmmeter: held fixed. NaN: fitted with the rest.
    double Re = std::numeric_limits<double>::quiet_NaN();
};

struct SweepFit {
    ClassicValues classic;
    bool re_given;
    bool phase_used; // fitted on the complex impedance; otherwise on |Z| (no phase, or all 0)
    ModelFit solution;
    double omega0; // the creep's reference: 2π times the classic Fs
    // Fs where the motional impedance is real, Qms and Qes from it (see driver_values); Zmax
    // = Re + Res, Res the motional resistance at Fs.
    Estimate Re, Fs, Zmax, Res, Qms, Qes, Qts;
    // Henry, semi-henry (ohm·s^½), ohm, henry and β referred to Fs; a term the model lacks
    // is 0 with a NaN error.
    Estimate Le, K, R2, L2, Beta;
    FitQuality quality;
    // Of the values at Fs (driver_values' order and units), the errors widened with the rest.
    ValueCovariance covariance;
    int points_used;              // after repeated values were merged, inside the band
    double band_low, band_high;   // Hz
    double sweep_low, sweep_high; // Hz, the sweep's ends: the band is narrower where they differ
    Buffer<ImpedancePoint> band;
};

// The fitted values in the order they are reported, for printing them in a loop.
struct FitValueRow {
    const char *name;
    const char *unit;
    double scale; // from the SI unit of the value to the unit shown
    Estimate SweepFit::*member;
};

constexpr int FIT_VALUE_ROW_COUNT = 12;
extern const FitValueRow FIT_VALUE_ROWS[FIT_VALUE_ROW_COUNT];

// False with error set ("NAME: text") when the sweep has no usable resonance peak or the fit
// fails. Nothing is thrown or printed.
bool fit_sweep(const Sweep &sweep, const char *name, const FitOptions &options, SweepFit &fit,
               MeasureError &error);

// The fitted model at a frequency above 0, for drawing it over the measured points.
std::complex<double> fitted_impedance(const SweepFit &fit, double frequency);
