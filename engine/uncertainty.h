// First-order propagation of measurement tolerances through the calculation: independent
// inputs, partial derivatives by central differences, contributions added as root of sum of
// squares.
#pragma once

#include "engine/driver.h"

struct InputTolerance {
    double amount = 0; // in the input's unit, or in percent of its value
    bool percent = false;
};

// Inputs without a tolerance (amount 0) count as exact.
struct Tolerances {
    InputTolerance input[INPUT_COUNT];
};

struct RowUncertainty {
    double plus_minus; // absolute, in the row's unit; NaN where the value is not finite
    int largest;       // index of the input contributing most, -1 when none contributes
};

struct Uncertainties {
    RowUncertainty row[VALUE_ROW_COUNT]; // in value-column order
};

double absolute_tolerance(const InputTolerance &tolerance, double value);

// Whether first-order propagation means anything for the tolerance: none, or the value finite,
// away from 0 and at least as large as the tolerance.
bool tolerance_fits(const InputTolerance &tolerance, double value);

// For the twenty rows of the value column; inputs must hold converted values, and every
// tolerance must fit its value.
Uncertainties propagate_uncertainty(const DriverInputs &inputs, const Tolerances &tolerances);
