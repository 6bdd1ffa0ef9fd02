#include "app/calc/calc_report.h"

#include "engine/explain.h"
#include "toolkit/number_text.h"

#include <cstring>

CalcDriver calculate_driver(const std::string &source, const DriverFileLines &lines) {
    CalcDriver d{};
    d.source = source;
    std::memcpy(d.name, lines.text[0], sizeof d.name);
    set_input_texts(d.inputs, lines);
    d.findings = calculate(d.inputs, d.results);
    d.warnings = check_plausibility(d.inputs);
    return d;
}

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F; the five unassigned bytes are shown
// as U+FFFD.
static const char16_t CP1252_HIGH[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

static void append_utf8(std::string &out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (u >> 18));
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

std::string cp1252_to_utf8(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        append_utf8(out, c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c);
    return out;
}

// Length of the UTF-8 sequence that a lead byte starts; 0 for a byte that cannot lead one.
static int sequence_length(unsigned char c) {
    return c < 0x80             ? 1
           : (c & 0xE0) == 0xC0 ? 2
           : (c & 0xF0) == 0xE0 ? 3
           : (c & 0xF8) == 0xF0 ? 4
                                : 0;
}

constexpr char32_t LAST_CODE_POINT = 0x10FFFF;
constexpr char32_t FIRST_SURROGATE = 0xD800, LAST_SURROGATE = 0xDFFF;
constexpr char32_t REPLACEMENT = 0xFFFD;

// Decodes the character at text[i]: the length of its sequence, or 0 when the bytes there are
// no UTF-8 (also an overlong form, a surrogate or a code point beyond Unicode's).
static int decode_utf8(const std::string &text, std::size_t i, char32_t &u) {
    static const char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000}; // by sequence length
    const unsigned char lead = text[i];
    const int length = sequence_length(lead);
    if (length == 0 || i + length > text.size())
        return 0;
    u = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const unsigned char c = text[i + k];
        if ((c & 0xC0) != 0x80)
            return 0;
        u = (u << 6) | (c & 0x3F);
    }
    if (u < SMALLEST[length] || u > LAST_CODE_POINT ||
        (u >= FIRST_SURROGATE && u <= LAST_SURROGATE))
        return 0;
    return length;
}

std::string valid_utf8(const std::string &bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t u;
        const int length = decode_utf8(bytes, i, u);
        if (length == 0) {
            append_utf8(out, REPLACEMENT);
            ++i;
        } else {
            out.append(bytes, i, length);
            i += length;
        }
    }
    return out;
}

std::string path_text(const char *native) {
#ifdef _WIN32
    return cp1252_to_utf8(native);
#else
    return valid_utf8(native);
#endif
}

static char to_cp1252(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u < 0x100))
        return static_cast<char>(u);
    for (int i = 0; i < 32; ++i)
        if (CP1252_HIGH[i] == u && u != REPLACEMENT)
            return static_cast<char>(0x80 + i);
    return '?';
}

std::string utf8_to_cp1252(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t u;
        const int length = decode_utf8(text, i, u);
        if (length == 0) {
            out += text[i++];
        } else {
            out += to_cp1252(u);
            i += length;
        }
    }
    return out;
}

const char *row_name(int row) {
    return row < SHOWN_INPUT_COUNT ? INPUT_DESCRIPTORS[row].name
                                   : RESULT_ROWS[row - SHOWN_INPUT_COUNT].name;
}

std::string value_text(const ValueRow &row) {
    char text[WT_NUMBER_TEXT_SIZE];
    return value_column_text(text, row.value, row.decimals);
}

std::string decimal_text(double value, int decimals) {
    char text[WT_NUMBER_TEXT_SIZE];
    return wt_format_number(text, value, decimals);
}

const char PLUS_MINUS[] = "\xC2\xB1";

constexpr std::size_t CAPTION_WIDTH = 16; // "Känslighet Watt" and a blank
constexpr std::size_t VALUE_WIDTH = 12;
constexpr std::size_t SPREAD_WIDTH = 10;
static const char MOST_FROM[] = "  (mest fr\xC3\xA5n ";

std::string pad_right(const std::string &cp1252, std::size_t width) {
    std::string s = cp1252;
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

std::string pad_left(const std::string &s, std::size_t width) {
    return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

std::string text_report(const CalcDriver &d, const Uncertainties *u) {
    std::string out = "Fil: " + d.source + "\n";
    out += "Namn: " + cp1252_to_utf8(d.name) + "\n";
    for (const InputError &e : d.findings)
        out += "INMATNINGSFEL: " + cp1252_to_utf8(input_error_message(e)) + "\n";
    for (int i = 0; i < VALUE_ROW_COUNT; ++i) {
        const ValueRow row = value_row(i, d.inputs, d.results);
        // Padded before conversion: one Windows-1252 byte is one character.
        out += cp1252_to_utf8(pad_right(row.caption, CAPTION_WIDTH)) +
               pad_left(value_text(row), VALUE_WIDTH);
        if (u) {
            // A ± figure is no value of the column: it keeps every digit of the row's decimals.
            out += std::string(" ") + PLUS_MINUS +
                   pad_left(decimal_text(u->row[i].plus_minus, row.decimals), SPREAD_WIDTH);
        }
        out += "  " + cp1252_to_utf8(row.unit);
        if (u && u->row[i].largest >= 0)
            out += std::string(MOST_FROM) + INPUT_DESCRIPTORS[u->row[i].largest].name + ")";
        out += "\n";
    }
    return out;
}

std::string check_report(const CalcDriver &d) {
    std::string out;
    for (const PlausibilityWarning &w : d.warnings)
        out += "RIMLIGHET: " + cp1252_to_utf8(w.message) + "\n";
    return out;
}

std::string explain_report(const CalcDriver &d) {
    std::string out = cp1252_to_utf8("Ber\xE4kning:\n");
    for (const std::string &line : explain_calculation(d.inputs, d.results))
        out += line + "\n";
    return out;
}

static std::string csv_field(const std::string &s) {
    // Quoted also for edge blanks, which some readers would trim.
    if (s.find_first_of(",\"\r\n") == std::string::npos &&
        (s.empty() || (s.front() != ' ' && s.back() != ' ')))
        return s;
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csv_header() {
    std::string out = "file,name";
    for (const InputDescriptor &d : INPUT_DESCRIPTORS)
        out += std::string(",text_") + d.name;
    for (int i = 0; i < SHOWN_INPUT_COUNT; ++i)
        out += std::string(",") + INPUT_DESCRIPTORS[i].name;
    for (const ResultDescriptor &r : RESULT_ROWS)
        out += std::string(",") + r.name;
    return out + "\n";
}

std::string csv_row(const CalcDriver &d) {
    std::string out = csv_field(d.source) + "," + csv_field(cp1252_to_utf8(d.name));
    for (const InputEntry &e : d.inputs.entry)
        out += "," + csv_field(cp1252_to_utf8(e.text));
    for (int i = 0; i < VALUE_ROW_COUNT; ++i)
        out += "," + value_text(value_row(i, d.inputs, d.results));
    return out + "\n";
}
