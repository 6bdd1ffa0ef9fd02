#include "base/charset.h"

namespace {

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F; the five unassigned bytes are shown
// as U+FFFD.
const char16_t CP1252_HIGH[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

// Length of the UTF-8 sequence that a lead byte starts; 0 for a byte that cannot lead one.
int sequence_length(unsigned char c) {
    return c < 0x80             ? 1
           : (c & 0xE0) == 0xC0 ? 2
           : (c & 0xF0) == 0xE0 ? 3
           : (c & 0xF8) == 0xF0 ? 4
                                : 0;
}

constexpr char32_t LAST_CODE_POINT = 0x10FFFF;
constexpr char32_t FIRST_SURROGATE = 0xD800, LAST_SURROGATE = 0xDFFF;

} // namespace

int decode_utf8(std::string_view text, std::size_t i, char32_t &u) {
    const char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000}; // by sequence length
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

char32_t cp1252_code_point(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c;
}

namespace {

char to_cp1252(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u < 0x100))
        return static_cast<char>(u);
    for (int i = 0; i < 32; ++i)
        if (CP1252_HIGH[i] == u && u != REPLACEMENT_CHARACTER)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::size_t utf8_to_cp1252(const char *utf8, char *out, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(utf8);
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size() && written + 1 < size;) {
        char32_t u;
        const int length = decode_utf8(text, i, u);
        if (length == 0) {
            out[written++] = text[i++];
        } else {
            out[written++] = to_cp1252(u);
            i += length;
        }
    }
    out[written] = '\0';
    return written;
}
