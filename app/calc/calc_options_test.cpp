#include "app/calc/calc_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CalcOptions parse(std::vector<const char *> args) {
    args.insert(args.begin(), "elemtrix-calc");
    return parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()));
}

TEST(Options, FilesAndValuesInCommandLineOrder) {
    const CalcOptions o = parse({"a.spk", "Fs=30", "b.spk", "Re=6", "Name=Bas"});
    ASSERT_TRUE(o.error.empty()) << o.error;
    ASSERT_EQ(o.sources.size(), 3u);
    EXPECT_STREQ(o.sources[0], "a.spk");
    EXPECT_EQ(o.sources[1], nullptr);
    EXPECT_STREQ(o.sources[2], "b.spk");
    EXPECT_STREQ(o.values.text[0], "Bas");
    EXPECT_STREQ(o.values.text[1], "30");
    EXPECT_STREQ(o.values.text[2], "6");
    EXPECT_STREQ(o.values.text[3], ""); // Zmax missing: an empty field
    EXPECT_EQ(o.values.count, DRIVER_FILE_LINES);
    EXPECT_STREQ(parse({"./x=y.spk"}).sources[0], "./x=y.spk");
}

TEST(Options, ValuesAreCutLikeTheirFields) {
    const CalcOptions o = parse({"Sd=123456", "Fs=123456789", "Name=\xC3\x85sa"});
    EXPECT_STREQ(o.values.text[4], "1234");
    EXPECT_STREQ(o.values.text[1], "12345678");
#ifndef _WIN32
    EXPECT_STREQ(o.values.text[0], "\xC5sa"); // UTF-8 arguments become the program's Windows-1252
#endif
}

TEST(Options, ToleranceTakesTheAssignmentsAfterIt) {
    const CalcOptions o = parse({"w.spk", "--tolerance", "Fs=0.5", "Sd=2%", "--check", "x.spk"});
    ASSERT_TRUE(o.error.empty()) << o.error;
    EXPECT_TRUE(o.tolerance);
    EXPECT_TRUE(o.check);
    EXPECT_EQ(o.tolerances.input[0].amount, 0.5);
    EXPECT_FALSE(o.tolerances.input[0].percent);
    EXPECT_EQ(o.tolerances.input[3].amount, 2);
    EXPECT_TRUE(o.tolerances.input[3].percent);
    EXPECT_EQ(o.tolerances.input[1].amount, 0); // exact
    EXPECT_EQ(o.sources.size(), 2u);
}

TEST(Options, ToleranceTexts) {
    InputTolerance t;
    for (const char *good : {"0.5", "2%", "10", ".5%"})
        EXPECT_TRUE(parse_tolerance(good, t)) << good;
    for (const char *bad : {"", "%", "-1", "1e3", "1.2.3", "5 %", "inf", "0x10"})
        EXPECT_FALSE(parse_tolerance(bad, t)) << bad;
}

TEST(Options, UsageErrorsNameTheirCause) {
    const struct {
        std::vector<const char *> args;
        const char *error;
    } cases[] = {
        {{}, "no driver: give FILE.spk or NAME=TEXT values"},
        {{"Fz=3"}, "unknown value name Fz"},
        {{"--fast", "a.spk"}, "unknown option --fast"},
        {{"a.spk", "--tolerance"}, "--tolerance needs NAME=AMOUNT arguments"},
        {{"a.spk", "--tolerance", "Name=1"}, "unknown tolerance name Name"},
        {{"a.spk", "--tolerance", "Fs=-1"}, "bad tolerance Fs=-1 (a number, or a number and %)"},
        {{"--csv", "--json", "a.spk"}, "--csv and --json exclude each other"},
        {{"--csv", "--explain", "a.spk"},
         "--csv takes no --check, --explain, --tolerance or --plot"},
        {{"a.spk", "--plot"}, "--plot needs a file name"},
        {{"--plot", "p.svg", "a.spk", "b.spk"}, "--plot draws one driver: give exactly one"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parse(c.args).error, c.error);
    EXPECT_TRUE(parse({"--help"}).error.empty());
    EXPECT_TRUE(parse({"--json", "--plot", "p.svg", "Fs=3"}).error.empty());
}

} // namespace
