// Files as bytes, for tests of what is on disk.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline void put_bytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string bytes_of(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}
