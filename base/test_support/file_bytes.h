// Files as bytes, for tests of what is on disk.
#pragma once

#include "base/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

// MAX_PATH, with its NUL: the longest path Windows' A functions take.
constexpr std::size_t WINDOWS_MAX_PATH = 260;

inline void put_bytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string bytes_of(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A fresh folder of its own for each test, to see everything a save leaves in it.
inline std::string fresh_folder(const char *name) {
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string() + "/";
}

inline std::set<std::string> names_in(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline bool safe_save(const std::string &path, const std::string &bytes) {
    return wt_save_whole_file(path.c_str(), bytes.data(), bytes.size());
}
