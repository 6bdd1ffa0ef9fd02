// The sequence behind "Kalkylera", for callers that show the findings afterwards rather than
// one by one: text checks, conversion, value check, calculation.
#pragma once

#include "engine/driver.h"
#include "engine/driver_file.h"
#include "engine/input_check.h"

#include <vector>

// Converts and computes; returns every finding in the order the message boxes would come.
std::vector<InputError> calculate(DriverInputs &inputs, DriverResults &results);

// Puts the ten input lines of a driver data file into the input texts, as opening the file
// puts them into the fields; lines the file lacks give empty texts.
void set_input_texts(DriverInputs &inputs, const DriverFileLines &lines);
