#include "measure/wav_file.h"

#include "base/test_support/file_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void add16(Bytes &b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void add32(Bytes &b, std::uint32_t v) {
    add16(b, v & 0xFFFF);
    add16(b, v >> 16);
}

// A byte at a time: GCC 12 takes a ranged insert into an empty vector for an overflow.
void add_text(Bytes &b, const char *four) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(four[i]));
}

struct Layout {
    unsigned code = 1; // 1 PCM, 3 float
    unsigned channels = 2;
    unsigned rate = 48000;
    unsigned bits = 16;
    bool extensible = false;
    bool chunk_before = false; // a LIST chunk of odd length before the data
};

// A file made by hand, as another program would write it: samples[i] is the raw integer (or
// float bits) of channel i % channels.
Bytes wav_bytes(const Layout &l, const std::vector<std::uint32_t> &samples) {
    Bytes b;
    add_text(b, "RIFF");
    add32(b, 0); // filled below
    add_text(b, "WAVE");
    add_text(b, "fmt ");
    add32(b, l.extensible ? 40 : 16);
    add16(b, l.extensible ? 0xFFFE : l.code);
    add16(b, l.channels);
    add32(b, l.rate);
    add32(b, l.rate * l.channels * l.bits / 8);
    add16(b, l.channels * l.bits / 8);
    add16(b, l.bits);
    if (l.extensible) {
        add16(b, 22);
        add16(b, l.bits);
        add32(b, 3);
        add16(b, l.code);
        const unsigned char tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        b.insert(b.end(), tail, tail + 14);
    }
    if (l.chunk_before) {
        add_text(b, "LIST");
        add32(b, 3);
        b.insert(b.end(), {'a', 'b', 'c', 0});
    }
    add_text(b, "data");
    add32(b, static_cast<std::uint32_t>(samples.size() * l.bits / 8));
    for (std::uint32_t s : samples)
        for (unsigned byte = 0; byte < l.bits / 8; ++byte)
            b.push_back(static_cast<unsigned char>(s >> (8 * byte)));
    const std::uint32_t riff = static_cast<std::uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = static_cast<unsigned char>(riff >> (8 * i));
    return b;
}

bool read(const Bytes &b, Recording &r, MeasureError &e) {
    return read_wav_data(b.data(), b.size(), "x.wav", r, e);
}

std::string error_of(const Bytes &b) {
    Recording r;
    MeasureError e;
    EXPECT_FALSE(read(b, r, e));
    return e.message;
}

std::uint32_t float_bits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

TEST(WavRead, EachSampleFormatScalesToFullScale) {
    struct Case {
        Layout layout;
        std::vector<std::uint32_t> samples;
        double left[2], right[2];
    };
    const Case cases[] = {
        {{1, 2, 48000, 16},
         {0x8000, 0x7FFF, 0x4000, 0xFFFF},
         {-1, 0.5},
         {32767 / 32768.0, -1 / 32768.0}},
        {{1, 2, 44100, 24},
         {0x800000, 0x7FFFFF, 0x400000, 0xFFFFFF},
         {-1, 0.5},
         {8388607 / 8388608.0, -1 / 8388608.0}},
        {{1, 2, 96000, 32},
         {0x80000000u, 0x40000000, 0xC0000000u, 1},
         {-1, -0.5},
         {0.5, 1 / 2147483648.0}},
        {{3, 2, 8000, 32},
         {float_bits(-0.25f), float_bits(1.5f), float_bits(0.125f), float_bits(-1)},
         {-0.25, 0.125},
         {1.5, -1}},
        {{1, 2, 192000, 24, true},
         {0x800000, 0x7FFFFF, 0x400000, 0xFFFFFF},
         {-1, 0.5},
         {8388607 / 8388608.0, -1 / 8388608.0}},
        {{3, 2, 48000, 32, true, true},
         {float_bits(0.5f), float_bits(-0.5f), 0, float_bits(0.75f)},
         {0.5, 0},
         {-0.5, 0.75}},
    };
    for (const Case &c : cases) {
        Recording r;
        MeasureError e;
        ASSERT_TRUE(read(wav_bytes(c.layout, c.samples), r, e)) << e.message;
        EXPECT_EQ(r.rate, c.layout.rate);
        EXPECT_EQ(r.bits, int(c.layout.bits));
        EXPECT_EQ(r.is_float, c.layout.code == 3);
        ASSERT_EQ(r.frames(), 2u);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(r.left[i], c.left[i]) << c.layout.bits << " bits, frame " << i;
            EXPECT_EQ(r.right[i], c.right[i]) << c.layout.bits << " bits, frame " << i;
        }
    }
}

TEST(WavRead, KeepsTheFirstTwoOfMoreChannels) {
    Layout l;
    l.channels = 4;
    Recording r;
    MeasureError e;
    ASSERT_TRUE(
        read(wav_bytes(l, {0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000, 0x7000, 0x7FFF}), r, e))
        << e.message;
    EXPECT_EQ(r.channels, 4);
    ASSERT_EQ(r.frames(), 2u);
    EXPECT_EQ(r.left[1], 0x5000 / 32768.0);
    EXPECT_EQ(r.right[1], 0x6000 / 32768.0);
}

TEST(WavRead, RefusesWhatItCannotTakeWithAMessage) {
    const std::vector<std::uint32_t> four = {1, 2, 3, 4};
    struct Case {
        Layout layout;
        const char *message;
    };
    const Case cases[] = {
        {{1, 1, 48000, 16}, "x.wav: 1 channel: a recording of both inputs needs two"},
        {{1, 2, 48000, 8},
         "x.wav: 8-bit PCM samples are not read (16, 24 or 32-bit PCM, 32-bit float)"},
        {{3, 2, 48000, 16},
         "x.wav: 16-bit float samples are not read (16, 24 or 32-bit PCM, 32-bit float)"},
        {{2, 2, 48000, 16}, "x.wav: format 2 is neither PCM nor IEEE float"},
        {{1, 2, 7999, 16}, "x.wav: sample rate 7999 Hz outside 8000 to 192000 Hz"},
        {{1, 2, 192001, 16}, "x.wav: sample rate 192001 Hz outside 8000 to 192000 Hz"},
        {{1, 33, 48000, 16}, "x.wav: 33 channels, more than 32"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(error_of(wav_bytes(c.layout, four)), c.message);
}

TEST(WavRead, RefusesMalformedFiles) {
    const Bytes good = wav_bytes({}, {1, 2, 3, 4});
    Bytes wrong_block = good;
    wrong_block[32] = 2; // block align of 16-bit stereo is 4
    EXPECT_EQ(error_of(wrong_block), "x.wav: block size 2 does not match 2 channels of 16 bits");
    Bytes not_riff = good;
    not_riff[0] = 'X';
    EXPECT_EQ(error_of(not_riff), "x.wav: not a WAV file (no RIFF/WAVE header)");
    Bytes odd = good;
    odd[40] = 6; // the data chunk's size: one frame and a half
    odd.resize(odd.size() - 2);
    EXPECT_EQ(error_of(odd), "x.wav: the data chunk ends inside a frame (6 bytes, frames of 4)");
    Bytes empty = good;
    empty[40] = 0;
    EXPECT_EQ(error_of(empty), "x.wav: no samples");
    Bytes nan = wav_bytes({3, 2, 48000, 32}, {float_bits(NAN), 0});
    EXPECT_EQ(error_of(nan), "x.wav: sample 1 is not a finite number");
    Bytes no_data(good.begin(), good.begin() + 36);
    EXPECT_EQ(error_of(no_data), "x.wav: no data chunk");
}

// A file cut anywhere is refused with a message, never read past its end (the sanitizer tree
// runs this too).
TEST(WavRead, EveryTruncationIsAClearError) {
    Layout l;
    l.extensible = true;
    l.chunk_before = true;
    const Bytes whole = wav_bytes(l, {1, 2, 3, 4, 5, 6});
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Bytes cut(whole.begin(), whole.begin() + size);
        const std::string message = error_of(cut);
        EXPECT_EQ(message.rfind("x.wav: ", 0), 0u) << size << " bytes: " << message;
    }
    EXPECT_EQ(error_of(Bytes(whole.begin(), whole.end() - 1)),
              "x.wav: truncated: the data chunk holds 12 bytes, the file 11 after it");
}

TEST(WavWrite, RoundTripsBothFormats) {
    const double left[] = {0, 0.5, -1, 0.999, -0.3333, 1.2};
    const double right[] = {-0.25, 1e-5, 0.75, -0.999, 0.12345, -2};
    const std::string folder = fresh_folder("wav_write");
    for (WavFormat format : {WavFormat::PCM16, WavFormat::FLOAT32}) {
        const std::string path = folder + "/r.wav";
        MeasureError e;
        ASSERT_TRUE(write_wav_file(path.c_str(), 44100, left, right, 6, format, e)) << e.message;
        Recording r;
        ASSERT_TRUE(read_wav_file(path.c_str(), r, e)) << e.message;
        EXPECT_EQ(r.rate, 44100u);
        ASSERT_EQ(r.frames(), 6u);
        for (int i = 0; i < 6; ++i) {
            if (format == WavFormat::FLOAT32) {
                EXPECT_EQ(r.left[i], double(float(left[i])));
                EXPECT_EQ(r.right[i], double(float(right[i])));
            } else {
                // Rounded to the nearest step, held at the ends.
                const double l = std::fmax(-1, std::fmin(32767 / 32768.0, left[i]));
                const double rr = std::fmax(-1, std::fmin(32767 / 32768.0, right[i]));
                EXPECT_NEAR(r.left[i], l, 0.5 / 32768) << i;
                EXPECT_NEAR(r.right[i], rr, 0.5 / 32768) << i;
            }
        }
    }
}

TEST(WavWrite, MissingFolderAndMissingFileAreErrors) {
    const double x[] = {0};
    MeasureError e;
    EXPECT_FALSE(write_wav_file("/nonexistent/folder/r.wav", 48000, x, x, 1, WavFormat::PCM16, e));
    EXPECT_EQ(e.message, "/nonexistent/folder/r.wav: cannot be written");
    Recording r;
    EXPECT_FALSE(read_wav_file("/nonexistent/r.wav", r, e));
    EXPECT_EQ(e.message, "/nonexistent/r.wav: cannot open: No such file or directory");
}

} // namespace
