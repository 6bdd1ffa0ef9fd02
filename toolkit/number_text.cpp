#include "toolkit/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

char *wt_format_number(char (&text)[WT_NUMBER_TEXT_SIZE], double value, int precision) {
    // Runtimes spell these differently ("1.#INF00", "-nan"): write them ourselves.
    if (std::isnan(value)) {
        std::strcpy(text, "nan");
        return text;
    }
    if (std::isinf(value)) {
        std::strcpy(text, value < 0 ? "-inf" : "inf");
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
