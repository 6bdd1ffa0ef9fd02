#include "base/charset.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8, ConvertsWindows1252) {
    EXPECT_EQ(cp1252_to_utf8("K\xE4nslighet"), "K\xC3\xA4nslighet");
    EXPECT_EQ(cp1252_to_utf8("\x80 \x9F \xFF"), "\xE2\x82\xAC \xC5\xB8 \xC3\xBF");
    EXPECT_EQ(cp1252_to_utf8("\x81"), "\xEF\xBF\xBD");
}

TEST(Utf8, BackToWindows1252) {
    EXPECT_EQ(utf8_to_cp1252("K\xC3\xA4nslighet \xE2\x82\xAC\xC5\xB8\xC3\xBF"),
              "K\xE4nslighet \x80\x9F\xFF");
    EXPECT_EQ(utf8_to_cp1252("\xE2\x88\x9A \xF0\x9F\x94\x8A"), "? ?"); // not in Windows-1252
    EXPECT_EQ(utf8_to_cp1252("\xE4 \xC3"), "\xE4 \xC3");               // not UTF-8: kept

    // Into a buffer: cut short where it is full, always terminated.
    char out[5];
    EXPECT_EQ(utf8_to_cp1252("\xC3\xA4ndra", out, sizeof out), 4u);
    EXPECT_STREQ(out, "\xE4ndr");
    EXPECT_EQ(utf8_to_cp1252("ok", out, 1), 0u);
    EXPECT_STREQ(out, "");
}

TEST(Utf8, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(valid_utf8("b\xE5.spk"), "b" + fffd + ".spk"); // Latin-1
    EXPECT_EQ(valid_utf8("\xC3\xA5 \xE2\x82\xAC \xF0\x9F\x94\x8A"),
              "\xC3\xA5 \xE2\x82\xAC \xF0\x9F\x94\x8A");
    EXPECT_EQ(valid_utf8("\xC3"), fffd);                                  // cut short
    EXPECT_EQ(valid_utf8("\xC0\xAF"), fffd + fffd);                       // overlong "/"
    EXPECT_EQ(valid_utf8("\xED\xA0\x80"), fffd + fffd + fffd);            // a surrogate
    EXPECT_EQ(valid_utf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd); // beyond U+10FFFF
}

} // namespace
