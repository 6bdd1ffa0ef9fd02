#include "measure/measure_error.h"

#include <cstdio>

void set_measure_error(MeasureError &error, const char *name, long line, const char *format,
                       std::va_list args) {
    char text[200];
    std::vsnprintf(text, sizeof text, format, args);
    error.line = line;
    error.message = name;
    if (line > 0)
        error.message += ":" + std::to_string(line);
    error.message += ": ";
    error.message += text;
}
