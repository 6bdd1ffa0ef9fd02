// The driver's values fitted to an impedance sweep:
//   Z(f) = Re + j·2πf·Le + (R2 ∥ j·2πf·L2) + Res / (1 + j·Qms·(f/Fs − Fs/f))
// by Levenberg–Marquardt least squares over a band around the resonance, on the complex
// impedance when the sweep has the phase and on |Z| otherwise. R2 ∥ L2 stands for the eddy-
// current losses that make a real voice coil's inductance lossy; when it does not fit the
// sweep better than a plain coil, the plain coil is kept.
#pragma once

#include "measure/sweep_file.h"

#include <complex>
#include <limits>

struct Estimate {
    double value;
    double error; // standard error; 0 for a value that was given, NaN when the sweep cannot tell
};

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
    bool lossy_coil; // R2 ∥ L2 kept; otherwise R2 and L2 are 0 with NaN errors
    Estimate Re, Fs, Zmax, Res, Qms, Qes, Qts; // Zmax = Re + Res, the model's peak without coil
    Estimate Le, R2, L2;                       // henry, ohm, henry
    double rms_percent;         // root mean square of |Zfit − Z| / |Z| over the points used, in %
    int points_used;            // after repeated values were merged, inside the band
    double band_low, band_high; // Hz
};

// The fitted values in the order they are reported, for printing them in a loop.
struct FitValueRow {
    const char *name;
    const char *unit;
    double scale; // from the SI unit of the value to the unit shown
    Estimate SweepFit::*member;
};

constexpr int FIT_VALUE_ROW_COUNT = 10;
extern const FitValueRow FIT_VALUE_ROWS[FIT_VALUE_ROW_COUNT];

// False with error set ("NAME: text") when the sweep has no usable resonance peak or the fit
// fails. Nothing is thrown or printed.
bool fit_sweep(const Sweep &sweep, const char *name, const FitOptions &options, SweepFit &fit,
               MeasureError &error);

// The fitted model at a frequency above 0, for drawing it over the measured points.
std::complex<double> fitted_impedance(const SweepFit &fit, double frequency);
