#include "base/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const char *wt_non_finite_text(double value) {
    // Runtimes spell these differently ("1.#INF00", "-nan"): one spelling everywhere.
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    return nullptr;
}

char *wt_format_number(char (&text)[WT_NUMBER_TEXT_SIZE], double value, int precision) {
    if (const char *spelled = wt_non_finite_text(value)) {
        std::strcpy(text, spelled);
        return text;
    }
    if (precision < 0)
        precision = 0;
    if (precision > WT_MAX_PRECISION)
        precision = WT_MAX_PRECISION;
    if (std::snprintf(nullptr, 0, "%.*f", precision, value) < WT_NUMBER_TEXT_SIZE)
        std::snprintf(text, sizeof text, "%.*f", precision, value);
    else
        std::snprintf(text, sizeof text, "%.*e", precision, value);
    return text;
}
