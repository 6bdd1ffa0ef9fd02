// elemtrix-calc says what went wrong in the one error type of the measurements, whatever went
// wrong: a usage error, a file not read or not written, a sweep not fitted, the output lost.
#pragma once

#include "measure/measure_error.h"

#include <string>

// Sets the message, which names the file where one is to blame, whole however long; English
// only, as the window never shows it. False, for `return calc_error(...)`.
inline bool calc_error(MeasureError &error, const std::string &message) {
    error.line = 0;
    error.message.clear();
    error.message.append(message.data(), message.size());
    error.swedish.clear();
    return false;
}
