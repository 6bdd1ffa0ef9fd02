#include "base/text_file.h"

#include "base/test_support/file_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string temp_path(const char *name) {
    return ::testing::TempDir() + name;
}

bool exists(const std::string &path) {
    return std::ifstream(path).good();
}

TEST(Write, ReplacesContentWithCrLfLineEnds) {
    const std::string path = temp_path("w.txt");
    put_bytes(path, "old content");
    EXPECT_EQ(wt_write_text_file(path.c_str(), "a\nb"), WT_FILE_DONE);
    EXPECT_EQ(bytes_of(path), "a\r\nb");
    EXPECT_EQ(wt_write_text_file(path.c_str(), ""), WT_FILE_DONE);
    EXPECT_EQ(bytes_of(path), "");
    EXPECT_EQ(wt_write_text_file(temp_path("no/such/dir.txt").c_str(), "x"), WT_FILE_OPEN_FAILED);
}

TEST(Append, AddsTextAndLineEndToExistingFilesOnly) {
    const std::string path = temp_path("a.txt");
    ASSERT_EQ(wt_write_text_file(path.c_str(), ""), WT_FILE_DONE);
    EXPECT_EQ(wt_append_text_file(path.c_str(), "12", 2), WT_FILE_DONE);
    EXPECT_EQ(wt_append_text_file(path.c_str(), "3.5", 2), WT_FILE_DONE);
    EXPECT_EQ(bytes_of(path), "\x31\x32\x0D\x0A\x33\x2E\x35\x0D\x0A");
    EXPECT_EQ(wt_append_text_file(path.c_str(), "", 2), WT_FILE_DONE);
    EXPECT_EQ(bytes_of(path).size(), 9u);
    const std::string missing = temp_path("missing-append.txt");
    EXPECT_EQ(wt_append_text_file(missing.c_str(), "x", 2), WT_FILE_OPEN_FAILED);
    EXPECT_FALSE(exists(missing));
}

TEST(Append, NeverEmptiesAFileThatStartsWithAShortLine) {
    const std::string path = temp_path("short.txt");
    put_bytes(path, "\r\nkeep\r\n");
    EXPECT_EQ(wt_append_text_file(path.c_str(), "new", 2), WT_FILE_DONE);
    EXPECT_EQ(bytes_of(path), "\r\nkeep\r\nnew\r\n");
    put_bytes(path, "x");
    EXPECT_EQ(wt_append_text_file(path.c_str(), "y", 2), WT_FILE_DONE);
    EXPECT_EQ(bytes_of(path), "xy\r\n");
}

TEST(Read, AppendsTheFileWithLfLineEnds) {
    const std::string path = temp_path("r.txt");
    put_bytes(path, "12\r\n3.5\r\n");
    char dest[64] = "";
    EXPECT_EQ(wt_read_text_file(path.c_str(), dest, sizeof dest), WT_FILE_END);
    EXPECT_STREQ(dest, "12\n3.5\n");
    EXPECT_EQ(wt_read_text_file(path.c_str(), dest, sizeof dest), WT_FILE_END);
    EXPECT_STREQ(dest, "12\n3.5\n12\n3.5\n");
}

TEST(Read, KeepsLoneCrAndALastLineWithoutLineEnd) {
    const std::string path = temp_path("cr.txt");
    put_bytes(path, "a\rb\r\nlast\r");
    char dest[64] = "";
    EXPECT_EQ(wt_read_text_file(path.c_str(), dest, sizeof dest), WT_FILE_END);
    EXPECT_STREQ(dest, "a\rb\nlast\r");
}

TEST(Read, LongLinesArriveWhole) {
    const std::string path = temp_path("long.txt");
    const std::string line(5000, 'q');
    put_bytes(path, line + "\r\n");
    std::string dest(6000, '\0');
    EXPECT_EQ(wt_read_text_file(path.c_str(), &dest[0], dest.size()), WT_FILE_END);
    EXPECT_EQ(std::string(dest.c_str()), line + "\n");
}

TEST(Read, StopsAtTheCapacityAndStaysTerminated) {
    const std::string path = temp_path("cap.txt");
    put_bytes(path, "abcdef");
    char dest[8] = "xy";
    dest[7] = '#';
    EXPECT_EQ(wt_read_text_file(path.c_str(), dest, 6), WT_FILE_DEST_FULL);
    EXPECT_STREQ(dest, "xyabc");
    EXPECT_EQ(dest[7], '#');
    char exact[7] = "";
    EXPECT_EQ(wt_read_text_file(path.c_str(), exact, sizeof exact), WT_FILE_END);
    EXPECT_STREQ(exact, "abcdef");
}

TEST(Read, MissingFileLeavesTheDestination) {
    char dest[8] = "keep";
    EXPECT_EQ(wt_read_text_file(temp_path("nope.txt").c_str(), dest, sizeof dest),
              WT_FILE_OPEN_FAILED);
    EXPECT_STREQ(dest, "keep");
}

TEST(SafeSave, ReplacesOrCreatesAndLeavesNothingElse) {
    const std::string folder = fresh_folder("save_replace");
    put_bytes(folder + "a.spk", "old, and longer than the new");
    put_bytes(folder + "a.spk.elemtrix-new", "the user's own");
    EXPECT_TRUE(safe_save(folder + "a.spk", "new\r\n"));
    EXPECT_TRUE(safe_save(folder + "b.spk", std::string("with\0NUL", 8)));
    EXPECT_EQ(bytes_of(folder + "a.spk"), "new\r\n");
    EXPECT_EQ(bytes_of(folder + "b.spk"), std::string("with\0NUL", 8));
    EXPECT_EQ(bytes_of(folder + "a.spk.elemtrix-new"), "the user's own");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"a.spk", "a.spk.elemtrix-new", "b.spk"}));
}

TEST(SafeSave, ANameAsLongAsTheSystemAllows) {
    const std::string folder = fresh_folder("save_long");
#ifdef _WIN32
    const std::size_t longest =
        WINDOWS_MAX_PATH - 1 - std::filesystem::absolute(folder).string().size();
#else
    const std::size_t longest = 255;
#endif
    const std::string path = folder + std::string(longest - 4, 'n') + ".spk";
    EXPECT_TRUE(safe_save(path, "first"));
    EXPECT_TRUE(safe_save(path, "second"));
    EXPECT_EQ(bytes_of(path), "second");
    EXPECT_EQ(names_in(folder).size(), 1u);
}

TEST(SafeSave, AReadOnlyFileOrAFolderStaysAsItWas) {
    const std::string folder = fresh_folder("save_read_only");
    const std::string path = folder + "locked.spk";
    put_bytes(path, "old");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    EXPECT_FALSE(safe_save(path, "new"));
    EXPECT_FALSE(safe_save(folder, "new"));
    EXPECT_FALSE(safe_save(folder + "missing/x.spk", "new"));
    EXPECT_EQ(bytes_of(path), "old");
    EXPECT_EQ(names_in(folder), std::set<std::string>{"locked.spk"});
    // Else the temporary folder could not be emptied on Windows.
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

#ifndef _WIN32
TEST(SafeSave, KeepsPermissionBitsAndFollowsLinks) {
    const std::string folder = fresh_folder("save_links");
    put_bytes(folder + "real.spk", "old");
    chmod((folder + "real.spk").c_str(), 0640);
    ASSERT_EQ(symlink("real.spk", (folder + "link.spk").c_str()), 0);
    ASSERT_EQ(symlink("missing.spk", (folder + "dangling.spk").c_str()), 0);
    EXPECT_TRUE(safe_save(folder + "link.spk", "new"));
    EXPECT_TRUE(safe_save(folder + "dangling.spk", "made"));
    EXPECT_EQ(bytes_of(folder + "real.spk"), "new");
    EXPECT_EQ(bytes_of(folder + "missing.spk"), "made");
    struct stat s;
    ASSERT_EQ(lstat((folder + "link.spk").c_str(), &s), 0);
    EXPECT_TRUE(S_ISLNK(s.st_mode));
    ASSERT_EQ(stat((folder + "real.spk").c_str(), &s), 0);
    EXPECT_EQ(s.st_mode & 07777, 0640u);
    EXPECT_EQ(names_in(folder).size(), 4u);
}

// The size limit cuts the new file short, as a full disk would.
TEST(SafeSave, AWriteThatFailsLeavesTheOldFileAndNoTemporary) {
    const std::string folder = fresh_folder("save_limit");
    const std::string path = folder + "kept.spk";
    put_bytes(path, "earlier");
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 100;
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = safe_save(path, std::string(150, 'x'));
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(bytes_of(path), "earlier");
    EXPECT_EQ(names_in(folder), std::set<std::string>{"kept.spk"});
}
#endif

} // namespace
