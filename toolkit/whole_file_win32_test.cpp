#include "base/text_file.h"

#include "base/test_support/file_bytes.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

TEST(SafeSave, KeepsTheFileAttributesAlsoByARelativePath) {
    const std::string folder = fresh_folder("save_attributes");
    put_bytes(folder + "hidden.spk", "old");
    SetFileAttributesA((folder + "hidden.spk").c_str(), FILE_ATTRIBUTE_HIDDEN);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(folder.c_str());
    EXPECT_TRUE(safe_save("hidden.spk", "new"));
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(bytes_of(folder + "hidden.spk"), "new");
    EXPECT_TRUE(GetFileAttributesA((folder + "hidden.spk").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(names_in(folder).size(), 1u);
}

} // namespace
