#include "toolkit/text_file.h"

#include "toolkit/test_support/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

TEST(Replace, MovesOverAnExistingFile) {
    const std::string from = temp_path("from.txt"), to = temp_path("to.txt");
    put_bytes(from, "new");
    put_bytes(to, "old");
    EXPECT_TRUE(wt_replace_file(from.c_str(), to.c_str()));
    EXPECT_EQ(bytes_of(to), "new");
    EXPECT_FALSE(exists(from));
    EXPECT_FALSE(wt_replace_file(from.c_str(), to.c_str()));
}

} // namespace
