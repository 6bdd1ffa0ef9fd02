// How the measurement functions report what went wrong: one message, ready to be shown.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

// A message's text in one block from malloc, whole however long: the window program keeps
// std::string and its exceptions out. Where memory runs out, it ends where it could.
class MeasureText {
  public:
    MeasureText() = default;
    MeasureText(const MeasureText &other) { append(other.c_str(), other.size_); }
    MeasureText &operator=(const MeasureText &other);
    ~MeasureText();

    void clear() { size_ = 0; }
    void append(const char *text, std::size_t length);
    void append(const char *text);
    // Room for length more characters after the text, and where they go; null without memory.
    char *extend(std::size_t length);

    const char *c_str() const { return text_ ? text_ : ""; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {c_str(), size_}; }
    operator std::string() const { return std::string(view()); }

    friend bool operator==(const MeasureText &a, std::string_view b) { return a.view() == b; }
    template <typename Stream> friend Stream &operator<<(Stream &out, const MeasureText &t) {
        out << t.c_str();
        return out;
    }

  private:
    char *text_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

struct MeasureError {
    MeasureText message; // "NAME:LINE: text", or "NAME: text" when no one line is to blame
    MeasureText swedish; // the same for the window, in Swedish: "NAME, rad LINE: text" (UTF-8)
    long line = 0;       // 1-based; 0 when the message is about the whole file
};

// The messages are made by the C99 vsnprintf (MinGW's own in the Windows build), so %zu is fine.
// Each message comes in English and in Swedish, made from the same arguments.
#if defined(__MINGW32__)
#define MEASURE_PRINTF(format_index)                                                               \
    __attribute__((format(gnu_printf, format_index, format_index + 2),                             \
                   format(gnu_printf, format_index + 1, format_index + 2)))
#elif defined(__GNUC__)
#define MEASURE_PRINTF(format_index)                                                               \
    __attribute__((format(printf, format_index, format_index + 2),                                 \
                   format(printf, format_index + 1, format_index + 2)))
#else
#define MEASURE_PRINTF(format_index)
#endif

// Sets both messages from name, line (0 for none) and the texts as vprintf makes them from the
// two formats and args, whole however long; each module's own printf-like fail() passes its
// arguments on.
void set_measure_error(MeasureError &error, const char *name, long line, const char *english,
                       const char *swedish, std::va_list args);

// The same from the arguments themselves; false, for `return measure_error(...)`.
bool measure_error(MeasureError &error, const char *name, long line, const char *english,
                   const char *swedish, ...) MEASURE_PRINTF(4);
