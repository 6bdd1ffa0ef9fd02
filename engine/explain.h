// The calculation written out step by step: each formula, the same formula with the numbers put
// in, and the result with its unit. The text is UTF-8, for elemtrix-calc's output only.
#pragma once

#include "engine/driver.h"

#include <string>
#include <vector>

// One line per step in the order of the calculation, the intermediates a and q included.
std::vector<std::string> explain_calculation(const DriverInputs &inputs,
                                             const DriverResults &results);

// An operand as the explanation shows it: six significant digits, or "inf", "-inf", "nan".
std::string operand_text(double value);
