// Plausibility of a driver's measured values: disagreements that the input checks cannot see,
// because each value is fine alone. They only warn, like the input checks.
#pragma once

#include "engine/driver.h"

#include <string>
#include <vector>

constexpr double QTS_TOLERANCE_PERCENT = 5.0;
constexpr double QES_TOLERANCE_PERCENT = 10.0;
constexpr double MIN_RESONANCE_SHIFT = 1.2; // Fs / FsAdded

struct PlausibilityWarning {
    const char *kind;    // a short fixed name, for machine readers
    std::string message; // Windows-1252, names the values and the size of the disagreement
    double size;         // the disagreement, in size_unit
    const char *size_unit;
};

// The factor by which a relative error of Fs or FsAdded grows in Mms, r being Fs / FsAdded.
double mms_error_factor(double r);

// Runs on converted values; values below MIN_INPUT_VALUE are left to the value check.
std::vector<PlausibilityWarning> check_plausibility(const DriverInputs &inputs);
