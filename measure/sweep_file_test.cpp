#include "measure/sweep_file.h"

#include "base/test_support/file_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int ROWS = 24;
constexpr double PI = 3.14159265358979323846;

double frequency(int i) {
    return 10 * std::pow(1.25, i);
}
double magnitude(int i) {
    return 5.5 + 0.25 * i;
}
double phase_degrees(int i) {
    return 2.5 * i - 30;
}

// How a measurement program may write the same sweep.
struct Format {
    const char *name;
    const char *header; // lines before the numbers, each ended by the line end
    const char *number; // printf format of one number
    const char *separator;
    bool decimal_comma;
    const char *line_end;
    bool last_line_end;
    int columns; // 2: no phase; 4: a column more than is read
    bool radians;
};

const Format FORMATS[] = {
    {"LIMP-style comments, spaces, LF", "* Impedance\n* Freq Mag Phase\n", "%.9g", " ", false, "\n",
     true, 3, false},
    {"title line, tabs, phase in rad", "Freq\tZ_abs\tZ_rad\n", "%.9g", "\t", false, "\n", true, 3,
     true},
    {"commas, CR LF, no last line end", "%% exported\n,,,\n", "%.8f", ",", false, "\r\n", false, 3,
     false},
    {"semicolons with decimal comma", "; f;|Z|;phase\n", "%.6f", ";", true, "\r\n", true, 3, false},
    {"tabs with decimal comma", "# Frequency [Hz]\n", "%.6f", "\t", true, "\n", true, 3, false},
    {"spaces with decimal comma", "\"Hz\" \"Ohm\" \"Deg\"\n", "%.6f", "  ", true, "\n", true, 3,
     false},
    {"exponents and signs", "", "%+.8e", " ", false, "\n", true, 3, false},
    {"upper-case exponents", "Freq Mag Phase(Grad)\n", "%.6E", " ", false, "\n", true, 3, false},
    {"no phase", "", "%.9g", "\t", false, "\n", true, 2, false},
    {"a column more", "Freq(Hz) Z(ohm) Phase(deg) Coherence\n", "%.9g", " ", false, "\n", true, 4,
     false},
    {"byte-order mark, CR line ends", "\xEF\xBB\xBF* from a Windows program\r", "%.9g", " ", false,
     "\r", true, 3, false},
};

std::string number(const Format &f, double value) {
    char text[64];
    std::snprintf(text, sizeof text, f.number, value);
    std::string s = text;
    if (f.decimal_comma)
        for (char &c : s)
            if (c == '.')
                c = ',';
    return s;
}

std::string sweep_text(const Format &f) {
    std::string text = f.header;
    for (int i = 0; i < ROWS; ++i) {
        const double phase = f.radians ? phase_degrees(i) * PI / 180 : phase_degrees(i);
        const double column[4] = {frequency(i), magnitude(i), phase, 0.99};
        for (int c = 0; c < f.columns; ++c)
            text += (c ? f.separator : "") + number(f, column[c]);
        if (i + 1 < ROWS || f.last_line_end)
            text += f.line_end;
    }
    return text;
}

bool read(const std::string &text, Sweep &sweep, MeasureError &error) {
    return read_sweep_text(text.data(), text.size(), "test.zma", sweep, error);
}

TEST(SweepFile, ReadsEachFormat) {
    for (const Format &f : FORMATS) {
        SCOPED_TRACE(f.name);
        Sweep sweep;
        MeasureError error;
        ASSERT_TRUE(read(sweep_text(f), sweep, error)) << error.message;
        ASSERT_EQ(sweep.points.size(), static_cast<std::size_t>(ROWS));
        EXPECT_EQ(sweep.has_phase, f.columns > 2);
        for (int i = 0; i < ROWS; ++i) {
            const SweepPoint &p = sweep.points[i];
            EXPECT_NEAR(p.frequency, frequency(i), 1e-6 * frequency(i));
            EXPECT_NEAR(p.magnitude, magnitude(i), 1e-6);
            EXPECT_NEAR(p.phase, f.columns > 2 ? phase_degrees(i) * PI / 180 : 0, 1e-6);
        }
    }
}

TEST(SweepFile, TakesStairStepsAndRepeatedFrequencies) {
    std::string text;
    for (int i = 0; i < ROWS; ++i)
        text += std::to_string(10 + i / 2) + " " + std::to_string(5 + i / 4) + "\n";
    Sweep sweep;
    MeasureError error;
    ASSERT_TRUE(read(text, sweep, error)) << error.message;
    EXPECT_EQ(sweep.points.size(), static_cast<std::size_t>(ROWS));
}

// Rows 1..24 of "f |Z| phase" with one row replaced.
std::string with_row(int row, const std::string &replacement) {
    std::string text;
    for (int i = 1; i <= ROWS; ++i)
        text += i == row ? replacement + "\n" : std::to_string(10 * i) + " 6 " + "10\n";
    return text;
}

// However many digits a number has, it is read whole.
TEST(SweepFile, ReadsNumbersOfAnyLength) {
    const std::string zeros(200, '0');
    Sweep sweep;
    MeasureError error;
    ASSERT_TRUE(read(with_row(3, "30." + zeros + "1 6." + zeros + " 10"), sweep, error))
        << error.message;
    EXPECT_EQ(sweep.points[2].frequency, 30.0);
    EXPECT_EQ(sweep.points[2].magnitude, 6.0);
}

struct BadInput {
    const char *name;
    std::string text;
    const char *message;
};

TEST(SweepFile, NamesFileAndLineOfEachBadInput) {
    std::string many;
    for (std::size_t i = 0; i <= SWEEP_MAX_POINTS; ++i)
        many += std::to_string(i) + " 6\n";
    std::string few;
    for (std::size_t i = 1; i < SWEEP_MIN_POINTS; ++i)
        few += std::to_string(i) + " 6\n";
    const BadInput bad[] = {
        {"no numbers", "* comment\nFreq Z\n\n",
         "test.zma: no numeric rows: not an impedance sweep"},
        {"too few points", few, "test.zma: only 19 points; a sweep needs at least 20"},
        {"falling frequency", with_row(7, "55 6 10"),
         "test.zma:7: frequencies not rising: 55 Hz after 60 Hz"},
        {"negative |Z|", with_row(3, "30 -6 10"), "test.zma:3: negative |Z| '-6'"},
        {"negative frequency", with_row(1, "-1e1 6 10"), "test.zma:1: negative frequency '-1e1'"},
        {"infinite frequency", with_row(24, "inf 6 10"),
         "test.zma:24: frequency 'inf' is not a finite number"},
        {"|Z| not a number", with_row(5, "50 nan 10"),
         "test.zma:5: |Z| 'nan' is not a finite number"},
        {"|Z| out of range", with_row(5, "50 1e999 10"),
         "test.zma:5: |Z| '1e999' is not a finite number"},
        {"phase not finite", with_row(2, "20 6 -inf"),
         "test.zma:2: phase '-inf' is not a finite number"},
        {"phase missing", with_row(9, "90 6"),
         "test.zma:9: no phase, which the first row of numbers has"},
        {"|Z| missing", with_row(4, "40"), "test.zma:4: a frequency without |Z|"},
        {"|Z| is text", with_row(4, "40 ohm"), "test.zma:4: |Z| 'ohm' is not a number"},
        {"binary data", with_row(6, std::string("60 6\0 10", 8)),
         "test.zma:6: binary data (byte 0x00), not a text file"},
        {"over a million points", many, "test.zma:1000001: more than 1000000 points"},
    };
    for (const BadInput &b : bad) {
        SCOPED_TRACE(b.name);
        Sweep sweep;
        MeasureError error;
        EXPECT_FALSE(read(b.text, sweep, error));
        EXPECT_EQ(error.message, b.message);
    }
}

// The window says the same in Swedish; a field's name stands where Swedish puts it.
TEST(SweepFile, SaysEachReasonInSwedishToo) {
    const BadInput bad[] = {
        {"no numbers", "Freq Z\n", u8"test.zma: inga rader med tal: ingen impedanskurva"},
        {"falling frequency", with_row(7, "55 6 10"),
         u8"test.zma, rad 7: frekvenserna stiger inte: 55 Hz efter 60 Hz"},
        {"negative |Z|", with_row(3, "30 -6 10"), u8"test.zma, rad 3: negativt |Z| '-6'"},
        {"phase not finite", with_row(2, "20 6 -inf"),
         u8"test.zma, rad 2: fasen '-inf' är inget ändligt tal"},
    };
    for (const BadInput &b : bad) {
        SCOPED_TRACE(b.name);
        Sweep sweep;
        MeasureError error;
        EXPECT_FALSE(read(b.text, sweep, error));
        EXPECT_EQ(error.swedish, b.message);
    }
}

// Line ends split between two pieces of a file must not count as two lines: the header and
// 10-byte rows put the first piece's end (64 KiB) between a CR and its LF.
TEST(SweepFile, CountsLinesAcrossPiecesOfAFile) {
    std::string text = "* abc\r\n";
    const int rows = 10000;
    for (int i = 1; i <= rows; ++i) {
        char row[16];
        std::snprintf(row, sizeof row, "%06d 6\r\n", i);
        text += row;
    }
    text += "000001 6\r\n";
    const char *path = "sweep_file_test_pieces.zma";
    put_bytes(path, text);
    Sweep sweep;
    MeasureError error;
    EXPECT_FALSE(read_sweep_file(path, sweep, error));
    EXPECT_EQ(error.message,
              std::string(path) + ":10002: frequencies not rising: 1 Hz after 10000 Hz");
    std::remove(path);
}

TEST(SweepFile, RefusesOver64MegabytesBeforeReading) {
    // The size alone must stop it: the one byte behind data would not last a read.
    const char data = '1';
    Sweep sweep;
    MeasureError error;
    EXPECT_FALSE(read_sweep_text(&data, SWEEP_FILE_MAX_BYTES + 1, "big.zma", sweep, error));
    EXPECT_EQ(error.message, "big.zma: larger than 64 MB");

    // A file of that size, nearly all of it never written.
    const char *path = "sweep_file_test_big.zma";
    std::FILE *f = std::fopen(path, "wb");
    ASSERT_TRUE(f);
    std::fseek(f, static_cast<long>(SWEEP_FILE_MAX_BYTES), SEEK_SET);
    std::fputc('\n', f);
    std::fclose(f);
    EXPECT_FALSE(read_sweep_file(path, sweep, error));
    EXPECT_EQ(error.message, std::string(path) + ": larger than 64 MB");
    std::remove(path);
}

TEST(SweepFile, ReadsFromAPath) {
    const char *path = "sweep_file_test.zma";
    put_bytes(path, sweep_text(FORMATS[2]));
    Sweep sweep;
    MeasureError error;
    EXPECT_TRUE(read_sweep_file(path, sweep, error)) << error.message;
    EXPECT_EQ(sweep.points.size(), static_cast<std::size_t>(ROWS));
    std::remove(path);

    EXPECT_FALSE(read_sweep_file("no-such-file.zma", sweep, error));
    EXPECT_EQ(error.message.view().rfind("no-such-file.zma: cannot open", 0), 0u) << error.message;
}

// What the analysis writes comes back as it was, its column of standard errors too; a fourth
// column that no title names as such is left alone, as before.
TEST(SweepFile, WritesWhatItReadsBackWithStandardErrors) {
    Sweep written;
    written.has_phase = written.has_errors = true;
    for (int i = 0; i < ROWS; ++i)
        written.points.push_back({frequency(i) * 1.0001, magnitude(i) / 3,
                                  phase_degrees(i) * PI / 180 + 1e-3, 0.001 * (i + 1) / 7});
    const std::string folder = fresh_folder("sweep_write");
    const std::string path = folder + "/measured.zma";
    MeasureError error;
    ASSERT_TRUE(write_sweep_file(path.c_str(), written, error)) << error.message;
    const std::string text = bytes_of(path);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "* Frequency [Hz]\t|Z| [ohm]\tPhase [deg]\tStdErr |Z| [ohm]");
    Sweep read;
    ASSERT_TRUE(read_sweep_file(path.c_str(), read, error)) << error.message;
    EXPECT_TRUE(read.has_phase);
    EXPECT_TRUE(read.has_errors);
    ASSERT_EQ(read.points.size(), written.points.size());
    for (std::size_t i = 0; i < read.points.size(); ++i) {
        EXPECT_EQ(read.points[i].frequency, written.points[i].frequency);
        EXPECT_EQ(read.points[i].magnitude, written.points[i].magnitude);
        EXPECT_NEAR(read.points[i].phase, written.points[i].phase, 1e-15);
        EXPECT_EQ(read.points[i].magnitude_error, written.points[i].magnitude_error);
    }
    written.has_errors = false;
    ASSERT_TRUE(write_sweep_file(path.c_str(), written, error)) << error.message;
    ASSERT_TRUE(read_sweep_file(path.c_str(), read, error)) << error.message;
    EXPECT_FALSE(read.has_errors);
    EXPECT_EQ(read.points[3].magnitude_error, 0);

    Sweep other;
    const std::string coherence = sweep_text(FORMATS[9]); // "a column more"
    ASSERT_TRUE(read_sweep_text(coherence.data(), coherence.size(), "c.zma", other, error));
    EXPECT_FALSE(other.has_errors);
    EXPECT_EQ(other.points[0].magnitude_error, 0);
}

TEST(SweepFile, RefusesAStandardErrorColumnThatIsNone) {
    const struct {
        const char *text, *message;
    } cases[] = {
        {"* f |Z| deg stderr\n10 5 1 -0.1\n", "e.zma:2: negative standard error '-0.1'"},
        {"* f |Z| deg stderr\n10 5 1 nan\n",
         "e.zma:2: standard error 'nan' is not a finite number"},
        {"* f |Z| deg stderr\n10 5 1\n", "e.zma:2: no standard error, which the title names"},
    };
    for (const auto &c : cases) {
        Sweep sweep;
        MeasureError error;
        EXPECT_FALSE(read_sweep_text(c.text, std::strlen(c.text), "e.zma", sweep, error));
        EXPECT_EQ(error.message, c.message);
    }
}

} // namespace
