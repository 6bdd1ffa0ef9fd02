#include "measure/measure_error.h"

#include <cstdio>

namespace {

void append_formatted(std::string &out, const char *format, std::va_list args) {
    std::va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0)
        return;
    const std::size_t start = out.size();
    out.resize(start + length);
    std::vsnprintf(&out[start], length + 1, format, args);
}

} // namespace

void set_measure_error(MeasureError &error, const char *name, long line, const char *english,
                       const char *swedish, std::va_list args) {
    error.line = line;
    error.message = name;
    error.swedish = name;
    if (line > 0) {
        error.message += ":" + std::to_string(line);
        error.swedish += u8", rad " + std::to_string(line);
    }
    error.message += ": ";
    error.swedish += ": ";
    std::va_list again;
    va_copy(again, args);
    append_formatted(error.message, english, args);
    append_formatted(error.swedish, swedish, again);
    va_end(again);
}

bool measure_error(MeasureError &error, const char *name, long line, const char *english,
                   const char *swedish, ...) {
    std::va_list args;
    va_start(args, swedish);
    set_measure_error(error, name, line, english, swedish, args);
    va_end(args);
    return false;
}
