#include "engine/driver_file.h"

#include "base/test_support/file_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

std::string temp_path(const char *name) {
    return ::testing::TempDir() + name;
}

std::vector<std::string> texts_of(const DriverFileLines &lines) {
    return std::vector<std::string>(lines.text, lines.text + lines.count);
}

const char *const ELEVEN[DRIVER_FILE_LINES] = {"Ab cd", "28",   "6,3",  "22",   "220", "12",
                                               "0.1",   "0.38", "0.33", "22.5", "10"};

TEST(Split, LinesWithEitherLineEnd) {
    const DriverFileLines crlf = split_driver_file("a\r\nb\r\n\r\nc");
    const DriverFileLines lf = split_driver_file("a\nb\n\nc");
    EXPECT_EQ(texts_of(crlf), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(texts_of(lf), texts_of(crlf));
    EXPECT_EQ(split_driver_file("a\rb\n").text[0], std::string("a\rb")); // a lone CR is a character
}

TEST(Split, CountsLines) {
    EXPECT_EQ(split_driver_file("").count, 0);
    EXPECT_EQ(split_driver_file("\r\n").count, 1);
    EXPECT_EQ(split_driver_file("1\n2\n3\n4\n").count, 4);
    EXPECT_EQ(split_driver_file("1\n2\n3\n4").count, 4);
    EXPECT_EQ(split_driver_file("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n").count, 11);
    EXPECT_STREQ(split_driver_file("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n").text[10], "11");
}

TEST(Split, CutsLinesToTheirFieldAndTheWindow) {
    const std::string long_name(300, 'n');
    DriverFileLines lines = split_driver_file(long_name.c_str());
    EXPECT_EQ(lines.count, 1);
    EXPECT_EQ(std::string(lines.text[0]), std::string(100, 'n'));
    lines = split_driver_file("name\n123456789012\n1\n1\n12345678\n");
    EXPECT_STREQ(lines.text[1], "12345678"); // Fs admits 8
    EXPECT_STREQ(lines.text[4], "1234");     // Sd admits 4
    // Only 250 characters are looked at: a line starting beyond them is not found.
    const std::string beyond = std::string(249, 'x') + "\nA\n";
    lines = split_driver_file(beyond.c_str());
    EXPECT_EQ(lines.count, 1);
    const std::string cut = std::string(248, '\n') + "AB";
    EXPECT_EQ(split_driver_file(cut.c_str()).count, 11);
}

TEST(WriteRead, ElevenTextsMakeTheKnownBytes) {
    const std::string path = temp_path("eleven.spk");
    put_bytes(path, std::string(1000, 'z'));
    ASSERT_TRUE(write_driver_file(path.c_str(), ELEVEN));
    std::string expected;
    for (const char *t : ELEVEN)
        expected += std::string(t) + "\r\n";
    EXPECT_EQ(bytes_of(path), expected);
    EXPECT_EQ(expected.size(), 56u);
    DriverFileLines lines;
    ASSERT_TRUE(read_driver_file(path.c_str(), lines));
    EXPECT_EQ(texts_of(lines), std::vector<std::string>(ELEVEN, ELEVEN + 11));
}

TEST(WriteRead, EmptyFieldsAndBlanksKeepTheirPlace) {
    const char *const texts[DRIVER_FILE_LINES] = {
        " \xE5\xE4\xF6 ", "12,5", "", " 6 ", "", "", "", "", "", "", "x"};
    const std::string path = temp_path("gaps.spk");
    ASSERT_TRUE(write_driver_file(path.c_str(), texts));
    EXPECT_EQ(bytes_of(path), " \xE5\xE4\xF6 \r\n12,5\r\n\r\n 6 \r\n\r\n\r\n\r\n\r\n\r\n\r\nx\r\n");
    DriverFileLines lines;
    ASSERT_TRUE(read_driver_file(path.c_str(), lines));
    EXPECT_EQ(texts_of(lines), std::vector<std::string>(texts, texts + 11));
}

TEST(WriteRead, AFailedSaveLeavesTheEarlierFile) {
    const std::string path = temp_path("kept.spk");
    put_bytes(path, "earlier\r\n");
    const std::string folder = temp_path("");
    EXPECT_FALSE(write_driver_file(folder.c_str(), ELEVEN)); // a folder cannot be replaced
    EXPECT_FALSE(write_driver_file((path + "/no/such/folder.spk").c_str(), ELEVEN));
    EXPECT_EQ(bytes_of(path), "earlier\r\n");
}

TEST(WriteRead, LineEndsInsideATextBecomeBlanksAndLongTextsAreCut) {
    const std::string long_name(150, 'n');
    const char *const texts[DRIVER_FILE_LINES] = {
        "pasted\r\nname", "1\n2", "3\r", long_name.c_str(), "123456", "", "", "", "", "", "x"};
    const std::string path = temp_path("line_ends.spk");
    ASSERT_TRUE(write_driver_file(path.c_str(), texts));
    DriverFileLines lines;
    ASSERT_TRUE(read_driver_file(path.c_str(), lines));
    EXPECT_EQ(texts_of(lines),
              (std::vector<std::string>{"pasted  name", "1 2", "3 ", std::string(8, 'n'), "1234",
                                        "", "", "", "", "", "x"}));
}

TEST(Read, MissingFileGivesNoLines) {
    DriverFileLines lines;
    lines.count = 7;
    EXPECT_FALSE(read_driver_file(temp_path("missing.spk").c_str(), lines));
    EXPECT_EQ(lines.count, 0);
}

TEST(Read, AFileOfAnySizeIsReadOnlyAsFarAsNeeded) {
    const std::string path = temp_path("big.spk");
    put_bytes(path, "name\r\n1\r\n" + std::string(5'000'000, '7'));
    DriverFileLines lines;
    ASSERT_TRUE(read_driver_file(path.c_str(), lines));
    EXPECT_EQ(lines.count, 3);
    EXPECT_STREQ(lines.text[2], "77777777");
}

TEST(Read, AReadErrorInTheMiddleIsAFailedRead) {
    // Opening a folder works on Linux and its first read fails; elsewhere the open fails.
    DriverFileLines lines;
    lines.count = 7;
    EXPECT_FALSE(read_driver_file(temp_path("").c_str(), lines));
    EXPECT_EQ(lines.count, 0);
}

#ifndef _WIN32
// An endless file must not keep the reader: the alarm ends a test that would hang.
TEST(Read, AnEndlessFileIsReadOnlyUpToTheWindow) {
    alarm(20);
    DriverFileLines lines;
    EXPECT_TRUE(read_driver_file("/dev/zero", lines));
    EXPECT_EQ(lines.count, 0); // a NUL ends the text

    const std::string fifo = temp_path("endless.fifo");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread feeder([&fifo] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        const std::string chunk = std::string(4096, '1') + "\n";
        while (write(fd, chunk.data(), chunk.size()) > 0) {
        }
        close(fd);
    });
    EXPECT_TRUE(read_driver_file(fifo.c_str(), lines));
    feeder.join();
    alarm(0);
    EXPECT_EQ(lines.count, 1);
    EXPECT_STREQ(lines.text[0], std::string(100, '1').c_str());
}
#endif

TEST(Read, AFileBThenShowsOnlyB) {
    const std::string a = temp_path("a.spk"), b = temp_path("b.spk");
    put_bytes(a, "A\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n");
    put_bytes(b, "B\r\n");
    DriverFileLines lines;
    ASSERT_TRUE(read_driver_file(a.c_str(), lines));
    ASSERT_TRUE(read_driver_file(b.c_str(), lines));
    EXPECT_EQ(texts_of(lines), std::vector<std::string>{"B"});
    EXPECT_STREQ(lines.text[1], "");
}

} // namespace
