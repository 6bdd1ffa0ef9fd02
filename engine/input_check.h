// The checks that "Kalkylera" runs on the ten input texts. They only warn: the calculation
// always runs afterwards with the values as converted.
#pragma once

#include "engine/driver.h"

constexpr double MIN_INPUT_VALUE = 0.001;
constexpr int CHECKED_POSITIONS = 6; // later characters are never examined

enum class InputErrorKind { Comma, NonDigit, NoInput };

struct InputError {
    InputId input;
    InputErrorKind kind;
};

// Findings in the order their message boxes come: at most one for each examined character of
// each entry and one for its value.
constexpr int MAX_INPUT_ERRORS = INPUT_COUNT * (CHECKED_POSITIONS + 1);
struct InputErrors {
    InputError item[MAX_INPUT_ERRORS];
    int count;
};

// The Windows-1252 text of the message box that reports the finding.
const char *input_error_message(const InputError &error);

// Comma and non-digit findings of the first six characters, position by position.
InputErrors check_input_texts(const DriverInputs &inputs);

// No-input findings: values below MIN_INPUT_VALUE, after conversion.
InputErrors check_input_values(const DriverInputs &inputs);
