// Windows-1252, the window's and the driver data files' character set, and UTF-8, the
// terminal's and the measurement messages'. Platform-free.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Shown for bytes that are no character.
constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// The character of a Windows-1252 byte; U+FFFD for the five that have none.
char32_t cp1252_code_point(unsigned char c);
// Decodes the UTF-8 character at text[i]: the length of its sequence, or 0 when the bytes there
// are no UTF-8 (also an overlong form, a surrogate or a code point beyond Unicode's).
int decode_utf8(std::string_view text, std::size_t i, char32_t &u);

std::string cp1252_to_utf8(const std::string &text);
// Characters Windows-1252 lacks become "?"; bytes that are not UTF-8 are kept as they are.
std::string utf8_to_cp1252(const std::string &text);
// The same into a buffer of size bytes, cut short where it is full; returns the length written
// before the terminator. Allocates nothing, for the window program.
std::size_t utf8_to_cp1252(const char *utf8, char *out, std::size_t size);
// Bytes that are not UTF-8, such as a Latin-1 file name on Linux, become U+FFFD each.
std::string valid_utf8(const std::string &bytes);
// A file name from the command line as UTF-8: on Linux its bytes through valid_utf8, on Windows
// the ANSI command line's Windows-1252.
std::string path_text(const char *native);
