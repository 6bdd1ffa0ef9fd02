#include "measure/sweep_file.h"

#include "base/text_file.h"
#include "engine/driver.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr double RADIANS_PER_DEGREE = 3.14159265358979323846 / 180;
constexpr std::size_t READ_CHUNK = 64 * 1024;
constexpr int QUOTED_LIMIT = 24; // characters of a bad field repeated in its message
constexpr std::size_t NUMBER_TEXT_SIZE = 64;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Text files hold no control characters but white space and line ends.
bool is_binary(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\v' && c != '\f') || c == 0x7F;
}

bool starts_with_word(const char *p, const char *end, const char *word) {
    for (; *word; ++p, ++word)
        if (p == end || lower(*p) != *word)
            return false;
    return true;
}

// "rad", "radian" or "radians" standing alone ("Z_rad", "Phase [rad]"), not inside another
// word ("Grad", "radius").
bool names_radians(const char *begin, const char *end) {
    for (const char *p = begin; p + 3 <= end; ++p) {
        if ((p > begin && is_letter(p[-1])) || !starts_with_word(p, end, "rad"))
            continue;
        const char *after = p + 3;
        if (starts_with_word(after, end, "ian")) {
            after += 3;
            if (after != end && lower(*after) == 's')
                ++after;
        }
        if (after == end || !is_letter(*after))
            return true;
    }
    return false;
}

enum class Number { None, Finite, NotFinite };

// Decimal numbers such as 10.199, +7.1179, 1.00000000e+01 or 55.24E-3, with a comma for the
// point when the line uses one; "inf" and "nan" are numbers too, so that they are refused as
// such rather than taken for a title.
Number parse_number(const char *begin, const char *end, bool decimal_comma, double &value) {
    const char *p = begin;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    for (const char *word : {"infinity", "inf", "nan"})
        if (static_cast<std::size_t>(end - p) == std::strlen(word) &&
            starts_with_word(p, end, word)) {
            value = word[0] == 'n' ? std::numeric_limits<double>::quiet_NaN()
                                   : (negative ? -1 : 1) * std::numeric_limits<double>::infinity();
            return Number::NotFinite;
        }
    const char point = decimal_comma ? ',' : '.';
    // The number's text with a point for the decimal sign, terminated for decimal_value: on the
    // stack, unless a number is longer than any that a measurement program writes.
    char short_text[NUMBER_TEXT_SIZE];
    Buffer<char> long_text;
    char *text = short_text;
    const std::size_t length = static_cast<std::size_t>(end - begin);
    if (length >= NUMBER_TEXT_SIZE) {
        if (!long_text.resize(length + 1))
            return Number::None;
        text = long_text.data();
    }
    std::size_t n = 0;
    if (negative)
        text[n++] = '-';
    int digits = 0;
    for (; p != end && is_digit(*p); ++p, ++digits)
        text[n++] = *p;
    if (p != end && *p == point) {
        text[n++] = '.';
        for (++p; p != end && is_digit(*p); ++p, ++digits)
            text[n++] = *p;
    }
    if (digits == 0)
        return Number::None;
    if (p != end && (*p == 'e' || *p == 'E')) {
        text[n++] = *p++;
        if (p != end && (*p == '+' || *p == '-'))
            text[n++] = *p++;
        if (p == end || !is_digit(*p))
            return Number::None;
        for (; p != end && is_digit(*p); ++p)
            text[n++] = *p;
    }
    if (p != end)
        return Number::None;
    text[n] = '\0';
    value = decimal_value(text);
    return std::isinf(value) ? Number::NotFinite : Number::Finite;
}

// A comma is the decimal point when the fields are separated otherwise: by tabs or
// semicolons, or by spaces in a line that has no point and whose every comma stands between
// two digits ("10,5 7,1").
bool uses_decimal_comma(const char *begin, const char *end) {
    bool comma = false, tab_or_semicolon = false, space = false, point = false;
    bool commas_inside_numbers = true;
    for (const char *p = begin; p != end; ++p) {
        tab_or_semicolon |= *p == '\t' || *p == ';';
        space |= *p == ' ';
        point |= *p == '.';
        if (*p == ',') {
            comma = true;
            if (p == begin || p + 1 == end || !is_digit(p[-1]) || !is_digit(p[1]))
                commas_inside_numbers = false;
        }
    }
    return comma && (tab_or_semicolon || (space && !point && commas_inside_numbers));
}

// Calls take(begin, end) for each complete line of the text, while it returns true, and returns
// how many bytes the lines took; at the end of the input a last line without a line end counts
// as complete. CR LF, LF and CR end lines.
template <typename TakeLine>
std::size_t for_each_line(const char *data, std::size_t size, bool at_end, TakeLine take) {
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t stop = pos;
        while (stop < size && data[stop] != '\n' && data[stop] != '\r')
            ++stop;
        std::size_t next = stop + 1;
        if (stop == size) {
            if (!at_end)
                break;
            next = size;
        } else if (data[stop] == '\r') {
            if (stop + 1 == size && !at_end)
                break; // an LF may follow in the next piece
            if (stop + 1 < size && data[stop + 1] == '\n')
                ++next;
        }
        const bool go_on = take(data + pos, data + stop);
        pos = next;
        if (!go_on)
            break;
    }
    return pos;
}

struct Field {
    const char *begin, *end;
};

constexpr int FIELDS_SPLIT = 4; // frequency, |Z|, phase, error; further columns are left alone

// The first fields of a line of numbers, split at blanks, semicolons and, where the comma is
// not the decimal point, commas.
int split_fields(const char *begin, const char *end, bool decimal_comma,
                 Field (&field)[FIELDS_SPLIT]) {
    int fields = 0;
    for (const char *p = begin; p != end && fields < FIELDS_SPLIT;) {
        while (p != end && (is_blank(*p) || *p == ';' || (*p == ',' && !decimal_comma)))
            ++p;
        const char *start = p;
        while (p != end && !is_blank(*p) && *p != ';' && (*p != ',' || decimal_comma))
            ++p;
        if (p != start)
            field[fields++] = {start, p};
    }
    return fields;
}

class SweepReader {
  public:
    SweepReader(const char *name, Sweep &sweep, MeasureError &error)
        : name_(name), sweep_(sweep), error_(error) {
        sweep_.points.clear();
        sweep_.has_phase = false;
        sweep_.has_errors = false;
    }

    std::size_t feed(const char *data, std::size_t size, bool at_end) {
        return for_each_line(data, size, at_end, [this](const char *begin, const char *end) {
            take_line(begin, end);
            return !failed_;
        });
    }

    bool finish() {
        if (failed_)
            return false;
        const std::size_t count = sweep_.points.size();
        if (count == 0)
            return fail(0, "no numeric rows: not an impedance sweep",
                        u8"inga rader med tal: ingen impedanskurva");
        if (count < SWEEP_MIN_POINTS)
            return fail(0, "only %zu points; a sweep needs at least %zu",
                        u8"bara %zu punkter; en kurva behöver minst %zu", count, SWEEP_MIN_POINTS);
        return true;
    }

    bool failed() const { return failed_; }

    bool fail(long line, const char *english, const char *swedish, ...) MEASURE_PRINTF(3) {
        std::va_list args;
        va_start(args, swedish);
        set_measure_error(error_, name_, line, english, swedish, args);
        va_end(args);
        failed_ = true;
        return false;
    }

  private:
    void take_line(const char *begin, const char *end) {
        ++line_;
        for (const char *p = begin; p != end; ++p)
            if (is_binary(static_cast<unsigned char>(*p))) {
                fail(line_, "binary data (byte 0x%02X), not a text file",
                     u8"binära data (byte 0x%02X), ingen textfil", static_cast<unsigned char>(*p));
                return;
            }
        if (line_ == 1 && end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
            begin += 3; // a UTF-8 byte-order mark
        while (begin != end && is_blank(*begin))
            ++begin;
        if (begin == end)
            return;
        if (std::strchr("*%;#\"", *begin)) {
            header_line(begin, end);
            return;
        }
        const bool decimal_comma = uses_decimal_comma(begin, end);
        Field field[FIELDS_SPLIT];
        const int fields = split_fields(begin, end, decimal_comma, field);
        double value[FIELDS_SPLIT] = {};
        Number kind[FIELDS_SPLIT] = {Number::None, Number::None, Number::None, Number::None};
        for (int i = 0; i < fields; ++i)
            kind[i] = parse_number(field[i].begin, field[i].end, decimal_comma, value[i]);
        if (kind[0] == Number::None) {
            header_line(begin, end); // a title such as "Freq  Z_abs  Z_rad"
            return;
        }
        if (fields < 2) {
            fail(line_, "a frequency without |Z|", u8"en frekvens utan |Z|");
            return;
        }
        if (kind[1] == Number::None) {
            fail(line_, "|Z| '%s' is not a number", u8"|Z| '%s' är inget tal",
                 quoted(field[1]).c_str());
            return;
        }
        if (sweep_.points.empty()) {
            sweep_.has_phase = fields > 2 && kind[2] != Number::None;
            sweep_.has_errors = error_column_named_ && sweep_.has_phase;
        }
        if (sweep_.has_phase && (fields < 3 || kind[2] == Number::None)) {
            fail(line_, "no phase, which the first row of numbers has",
                 u8"ingen fas, som den första raden med tal har");
            return;
        }
        if (sweep_.has_errors && (fields < 4 || kind[3] == Number::None)) {
            fail(line_, "no standard error, which the title names",
                 u8"inget medelfel, som rubriken nämner");
            return;
        }
        add_point(field, value, kind);
    }

    void header_line(const char *begin, const char *end) {
        // Only the lines before the numbers describe their columns.
        if (sweep_.points.empty() && names_radians(begin, end))
            phase_in_radians_ = true;
        if (sweep_.points.empty() && names_error_column(begin, end))
            error_column_named_ = true;
    }

    static bool names_error_column(const char *begin, const char *end) {
        for (const char *p = begin; p != end; ++p)
            if (starts_with_word(p, end, SWEEP_ERROR_COLUMN_WORD))
                return true;
        return false;
    }

    void add_point(const Field (&field)[FIELDS_SPLIT], const double (&value)[FIELDS_SPLIT],
                   const Number (&kind)[FIELDS_SPLIT]) {
        // The field's name stands in each message, as the two languages place it differently.
        static const struct {
            const char *not_finite[2], *negative[2];
        } what[FIELDS_SPLIT] = {
            {{"frequency '%s' is not a finite number", u8"frekvensen '%s' är inget ändligt tal"},
             {"negative frequency '%s'", u8"negativ frekvens '%s'"}},
            {{"|Z| '%s' is not a finite number", u8"|Z| '%s' är inget ändligt tal"},
             {"negative |Z| '%s'", u8"negativt |Z| '%s'"}},
            {{"phase '%s' is not a finite number", u8"fasen '%s' är inget ändligt tal"}, {}},
            {{"standard error '%s' is not a finite number",
              u8"medelfelet '%s' är inget ändligt tal"},
             {"negative standard error '%s'", u8"negativt medelfel '%s'"}},
        };
        const int checked = sweep_.has_errors ? 4 : sweep_.has_phase ? 3 : 2;
        for (int i = 0; i < checked; ++i) {
            if (kind[i] == Number::NotFinite) {
                fail(line_, what[i].not_finite[0], what[i].not_finite[1], quoted(field[i]).c_str());
                return;
            }
            if (i != 2 && value[i] < 0) {
                fail(line_, what[i].negative[0], what[i].negative[1], quoted(field[i]).c_str());
                return;
            }
        }
        if (!sweep_.points.empty() && value[0] < sweep_.points.back().frequency) {
            fail(line_, "frequencies not rising: %.10g Hz after %.10g Hz",
                 u8"frekvenserna stiger inte: %.10g Hz efter %.10g Hz", value[0],
                 sweep_.points.back().frequency);
            return;
        }
        if (sweep_.points.size() == SWEEP_MAX_POINTS) {
            fail(line_, "more than %zu points", u8"fler än %zu punkter", SWEEP_MAX_POINTS);
            return;
        }
        double phase = 0;
        if (sweep_.has_phase)
            phase = phase_in_radians_ ? value[2] : value[2] * RADIANS_PER_DEGREE;
        const double error = sweep_.has_errors ? value[3] : 0;
        if (!sweep_.points.push_back({value[0], value[1], phase, error}))
            fail(line_, "out of memory", u8"minnet räcker inte");
    }

    // The field as its message repeats it, cut short after QUOTED_LIMIT characters.
    struct Quoted {
        char text[QUOTED_LIMIT + sizeof "..."];
        const char *c_str() const { return text; }
    };
    static Quoted quoted(const Field &field) {
        Quoted q;
        const std::size_t length = static_cast<std::size_t>(field.end - field.begin);
        const std::size_t kept = length <= QUOTED_LIMIT ? length : QUOTED_LIMIT;
        std::memcpy(q.text, field.begin, kept);
        std::strcpy(q.text + kept, length <= QUOTED_LIMIT ? "" : "...");
        return q;
    }

    const char *name_;
    Sweep &sweep_;
    MeasureError &error_;
    long line_ = 0;
    bool phase_in_radians_ = false;
    bool error_column_named_ = false;
    bool failed_ = false;
};

// Counts the rows of two or more numbers, up to SWEEP_MIN_NUMERIC_ROWS.
class RowCounter {
  public:
    std::size_t feed(const char *data, std::size_t size, bool at_end) {
        return for_each_line(data, size, at_end, [this](const char *begin, const char *end) {
            rows_ += is_numeric_row(begin, end);
            return !enough();
        });
    }
    bool enough() const { return rows_ >= SWEEP_MIN_NUMERIC_ROWS; }

  private:
    static bool is_numeric_row(const char *begin, const char *end) {
        const bool decimal_comma = uses_decimal_comma(begin, end);
        Field field[FIELDS_SPLIT];
        if (split_fields(begin, end, decimal_comma, field) < 2)
            return false;
        double value;
        for (int i = 0; i < 2; ++i)
            if (parse_number(field[i].begin, field[i].end, decimal_comma, value) == Number::None)
                return false;
        return true;
    }

    int rows_ = 0;
};

} // namespace

bool is_sweep_text(const char *data, std::size_t size) {
    RowCounter counter;
    counter.feed(data, size, true);
    return counter.enough();
}

bool is_sweep_file(const char *path) {
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return false;
    // Lines are short: a piece at a time, keeping only the start of an unfinished line.
    char buffer[READ_CHUNK];
    std::size_t kept = 0;
    bool at_end = false;
    RowCounter counter;
    while (!at_end && !counter.enough()) {
        const std::size_t got = std::fread(buffer + kept, 1, sizeof buffer - kept, file);
        at_end = got < sizeof buffer - kept;
        const std::size_t size = kept + got;
        const std::size_t used = counter.feed(buffer, size, at_end);
        kept = size - used;
        if (kept == sizeof buffer) // one line fills the buffer: no row of numbers
            kept = 0;
        std::memmove(buffer, buffer + used, kept);
    }
    std::fclose(file);
    return counter.enough();
}

bool read_sweep_text(const char *data, std::size_t size, const char *name, Sweep &sweep,
                     MeasureError &error) {
    SweepReader reader(name, sweep, error);
    if (size > SWEEP_FILE_MAX_BYTES)
        return reader.fail(0, "larger than %zu MB", u8"större än %zu MB",
                           SWEEP_FILE_MAX_BYTES >> 20);
    reader.feed(data, size, true);
    return reader.finish();
}

bool read_sweep_file(const char *path, Sweep &sweep, MeasureError &error) {
    SweepReader reader(path, sweep, error);
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return reader.fail(0, "cannot open: %s", u8"kan inte öppnas: %s", std::strerror(errno));
    // A size the stream can tell is checked before anything is read; otherwise the count of
    // bytes read stops it.
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && static_cast<unsigned long>(size) > SWEEP_FILE_MAX_BYTES) {
            std::fclose(file);
            return reader.fail(0, "larger than %zu MB", u8"större än %zu MB",
                               SWEEP_FILE_MAX_BYTES >> 20);
        }
    }
    std::rewind(file);
    // A piece at a time after the start of a line whose end was not read yet.
    Buffer<char> pending;
    std::size_t total = 0;
    bool at_end = false;
    while (!at_end && !reader.failed()) {
        const std::size_t kept = pending.size();
        if (!pending.resize(kept + READ_CHUNK)) {
            reader.fail(0, "out of memory", u8"minnet räcker inte");
            break;
        }
        const std::size_t got = std::fread(pending.data() + kept, 1, READ_CHUNK, file);
        pending.resize(kept + got);
        at_end = got < READ_CHUNK;
        if (at_end && std::ferror(file)) {
            reader.fail(0, "cannot read: %s", u8"kan inte läsas: %s", std::strerror(errno));
            break;
        }
        total += got;
        if (total > SWEEP_FILE_MAX_BYTES) {
            reader.fail(0, "larger than %zu MB", u8"större än %zu MB", SWEEP_FILE_MAX_BYTES >> 20);
            break;
        }
        pending.erase_front(reader.feed(pending.data(), pending.size(), at_end));
    }
    std::fclose(file);
    return reader.finish();
}

bool sweep_to_text(const Sweep &sweep, MeasureText &text) {
    text.clear();
    text.append(sweep.has_errors ? "* Frequency [Hz]\t|Z| [ohm]\tPhase [deg]\tStdErr |Z| [ohm]\n"
                                 : "* Frequency [Hz]\t|Z| [ohm]\tPhase [deg]\n");
    // 17 significant digits: every double comes back as it was.
    for (const SweepPoint &p : sweep.points) {
        char row[4 * 32];
        int length = std::snprintf(row, sizeof row, "%.17g\t%.17g\t%.17g", p.frequency, p.magnitude,
                                   p.phase / RADIANS_PER_DEGREE);
        if (sweep.has_errors)
            length +=
                std::snprintf(row + length, sizeof row - length, "\t%.17g", p.magnitude_error);
        row[length++] = '\n';
        char *at = text.extend(static_cast<std::size_t>(length));
        if (!at)
            return false;
        std::memcpy(at, row, static_cast<std::size_t>(length));
    }
    return true;
}

bool write_sweep_file(const char *path, const Sweep &sweep, MeasureError &error) {
    MeasureText text;
    if (!sweep_to_text(sweep, text))
        return measure_error(error, path, 0, "out of memory", u8"minnet räcker inte");
    if (!wt_save_whole_file(path, text.c_str(), text.size()))
        return measure_error(error, path, 0, "cannot be written", u8"kan inte skrivas");
    return true;
}

bool copy_sweep(const Sweep &from, Sweep &to) {
    to.has_phase = from.has_phase;
    to.has_errors = from.has_errors;
    if (!to.points.resize(from.points.size()))
        return false;
    for (std::size_t i = 0; i < from.points.size(); ++i)
        to.points[i] = from.points[i];
    return true;
}
