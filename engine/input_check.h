// The checks that "Kalkylera" runs on the ten input texts. They only warn: the calculation
// always runs afterwards with the values as converted.
#pragma once

#include "engine/driver.h"

#include <vector>

constexpr double MIN_INPUT_VALUE = 0.001;

enum class InputErrorKind { Comma, NonDigit, NoInput };

struct InputError {
    InputId input;
    InputErrorKind kind;
};

// The Windows-1252 text of the message box that reports the finding.
const char *input_error_message(const InputError &error);

// Comma and non-digit findings of the first six characters, position by position.
std::vector<InputError> check_input_texts(const DriverInputs &inputs);

// No-input findings: values below MIN_INPUT_VALUE, after conversion.
std::vector<InputError> check_input_values(const DriverInputs &inputs);
