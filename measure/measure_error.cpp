#include "measure/measure_error.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

MeasureText &MeasureText::operator=(const MeasureText &other) {
    if (this != &other) {
        clear();
        append(other.c_str(), other.size_);
    }
    return *this;
}

MeasureText::~MeasureText() {
    std::free(text_);
}

char *MeasureText::extend(std::size_t length) {
    if (size_ + length + 1 > capacity_) {
        const std::size_t capacity = 2 * (size_ + length) + 1;
        char *grown = static_cast<char *>(std::realloc(text_, capacity));
        if (!grown)
            return nullptr;
        text_ = grown;
        capacity_ = capacity;
    }
    char *at = text_ + size_;
    size_ += length;
    text_[size_] = '\0';
    return at;
}

void MeasureText::append(const char *text, std::size_t length) {
    if (char *at = extend(length))
        std::memcpy(at, text, length);
}

void MeasureText::append(const char *text) {
    append(text, std::strlen(text));
}

namespace {

void append_formatted(MeasureText &out, const char *format, std::va_list args) {
    std::va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0)
        return;
    if (char *at = out.extend(length))
        std::vsnprintf(at, length + 1, format, args);
}

void append_line(MeasureText &out, const char *separator, long line) {
    char number[24];
    std::snprintf(number, sizeof number, "%ld", line);
    out.append(separator);
    out.append(number);
}

} // namespace

void set_measure_error(MeasureError &error, const char *name, long line, const char *english,
                       const char *swedish, std::va_list args) {
    error.line = line;
    error.message.clear();
    error.swedish.clear();
    error.message.append(name);
    error.swedish.append(name);
    if (line > 0) {
        append_line(error.message, ":", line);
        append_line(error.swedish, u8", rad ", line);
    }
    error.message.append(": ");
    error.swedish.append(": ");
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
