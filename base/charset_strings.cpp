// The character-set conversions of whole strings, for elemtrix-calc; apart from charset.cpp so
// that the window program, which converts into buffers, links no std::string.
#include "base/charset.h"

namespace {

void append_utf8(std::string &out, char32_t u) {
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

} // namespace

std::string cp1252_to_utf8(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        append_utf8(out, cp1252_code_point(c));
    return out;
}

std::string valid_utf8(const std::string &bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t u;
        const int length = decode_utf8(bytes, i, u);
        if (length == 0) {
            append_utf8(out, REPLACEMENT_CHARACTER);
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

std::string utf8_to_cp1252(const std::string &text) {
    std::string out(text.size() + 1, '\0');
    out.resize(utf8_to_cp1252(text.c_str(), &out[0], out.size()));
    return out;
}
