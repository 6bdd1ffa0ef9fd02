// The electrical impedance of the driver near its resonance, modelled from the calculated
// values: |Z(f)| = |Re + Res / (1 + j·Qms·(f/Fs - Fs/f))|.
#pragma once

#include "engine/driver.h"

constexpr double PLOT_SPAN = 10.0; // the curve runs from Fs / 10 to 10 · Fs

struct ImpedanceModel {
    double Fs, Re, Res, Qms;
};

// False when a value the model needs is not finite or not positive; the model is then unusable.
bool make_impedance_model(const DriverInputs &inputs, const DriverResults &results,
                          ImpedanceModel &model);

double impedance_magnitude(const ImpedanceModel &model, double f);

// The frequencies below and above Fs where the curve crosses the level, found by bisection
// within the plotted span; NaN where it does not cross there.
struct SideFrequencies {
    double F1, F2;
};

SideFrequencies side_frequencies(const ImpedanceModel &model, double level);
