#include "measure/measure_error.h"

#include <cstdio>

void set_measure_error(MeasureError &error, const char *name, long line, const char *format,
                       std::va_list args) {
    std::va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    error.line = line;
    error.message = name;
    if (line > 0)
        error.message += ":" + std::to_string(line);
    error.message += ": ";
    if (length > 0) {
        const std::size_t start = error.message.size();
        error.message.resize(start + length);
        std::vsnprintf(&error.message[start], length + 1, format, args);
    }
}

bool measure_error(MeasureError &error, const char *name, long line, const char *format, ...) {
    std::va_list args;
    va_start(args, format);
    set_measure_error(error, name, line, format, args);
    va_end(args);
    return false;
}
