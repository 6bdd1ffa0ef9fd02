#include "engine/driver.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const double INF = INFINITY;

DriverInputs inputs_from(const char *const texts[INPUT_COUNT]) {
    DriverInputs in{};
    for (int i = 0; i < INPUT_COUNT; ++i)
        std::strcpy(in.entry[i].text, texts[i]);
    convert_inputs(in);
    return in;
}

const char *const WORKED[INPUT_COUNT] = {"30", "6",    "40",   "500", "50",
                                         "3",  "0.45", "0.39", "25",  "20"};

std::string shown(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

TEST(Conversion, ReadsOnlyTheDecimalPrefix) {
    struct Case {
        const char *text;
        double value;
    } cases[] = {
        {"", 0},
        {"12,5", 12},
        {"3x", 3},
        {"0.5e1", 5},
        {"1e3", 1000},
        {"1e", 1},
        {"1e+", 1},
        {"1E-2", 0.01},
        {"  7", 7},
        {"\t-2.5", -2.5},
        {"+4", 4},
        {".5", 0.5},
        {"5.", 5},
        {".", 0},
        {"-", 0},
        {"+.e3", 0},
        {"inf", 0},
        {"nan", 0},
        {"infinity", 0},
        {"-inf", 0},
        {"0x10", 0},
        {"0x1p3", 0},
        {"abc", 0},
        {"1.2.3", 1.2},
        {"00012", 12},
        {"1e999", INF},
        {"-1e999", -INF},
        {"1e-999", 0},
        {"123456,7", 123456},
        {"0.001", 0.001},
        {"1 2", 1},
        {"1e3x", 1000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text_to_value(c.text), c.value) << '"' << c.text << '"';
}

TEST(Conversion, IgnoresTheProcessLocale) {
    // A locale with a decimal comma, where available, must not change what "1.5" means.
    if (!std::setlocale(LC_ALL, "sv_SE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(text_to_value("1.5"), 1.5);
    EXPECT_EQ(text_to_value("1,5"), 1.0);
    std::setlocale(LC_ALL, "C");
}

TEST(Conversion, IsCorrectlyRounded) {
    EXPECT_EQ(text_to_value("0.1"), 0.1);
    EXPECT_EQ(text_to_value("9.6e-10"), 9.6e-10);
    EXPECT_EQ(text_to_value("2.2250738585072014e-308"), 2.2250738585072014e-308);
}

TEST(Results, WorkedExampleShowsTheKnownFigures) {
    const DriverResults r = compute_results(inputs_from(WORKED));
    EXPECT_EQ(shown(r.Ro, 2), "6.67");
    EXPECT_EQ(shown(r.R1, 2), "2.58");
    EXPECT_EQ(shown(r.ZF1ZF2, 2), "15.49");
    EXPECT_EQ(shown(r.Mmr, 2), "6.43");
    EXPECT_EQ(shown(r.Mms, 2), "45.45");
    EXPECT_EQ(shown(r.Res, 2), "34.00");
    EXPECT_EQ(shown(r.Cms, 6), "0.000618");
    EXPECT_EQ(shown(r.Cmes, 6), "0.000468");
    EXPECT_EQ(shown(r.Bl, 2), "10.70");
    EXPECT_EQ(shown(r.MmsPlusMmr, 2), "51.88");
    EXPECT_EQ(shown(r.SensitivityWatt, 6), "0.002880");
    EXPECT_EQ(shown(r.SensitivityDb, 2), "86.79");
}

DriverResults worked_with(InputId id, const char *text) {
    const char *texts[INPUT_COUNT];
    std::memcpy(texts, WORKED, sizeof texts);
    texts[static_cast<int>(id)] = text;
    return compute_results(inputs_from(texts));
}

TEST(Results, EqualFrequenciesGiveInfiniteMass) {
    const DriverResults r = worked_with(InputId::FsAdded, "30");
    EXPECT_EQ(r.Mms, INF);
    EXPECT_EQ(r.MmsPlusMmr, INF);
    EXPECT_EQ(r.Bl, INF);
    EXPECT_EQ(r.Cms, 0.0);
}

TEST(Results, RisingFrequencyGivesNegativeMass) {
    const DriverResults r = worked_with(InputId::FsAdded, "35");
    EXPECT_LT(r.Mms, 0);
    EXPECT_LT(r.Cms, 0);
    EXPECT_TRUE(std::isnan(r.Bl));
}

TEST(Results, ImpedancePeakAtOrBelowRe) {
    DriverResults r = worked_with(InputId::Zmax, "6");
    EXPECT_EQ(r.Res, 0.0);
    EXPECT_EQ(r.Cmes, INF);
    r = worked_with(InputId::Zmax, "4");
    EXPECT_LT(r.Res, 0);
    EXPECT_LT(r.Cmes, 0);
    EXPECT_TRUE(std::isfinite(r.Ro) && std::isfinite(r.R1) && std::isfinite(r.ZF1ZF2));
}

TEST(Results, ZeroReZeroVasZeroQes) {
    DriverResults r = worked_with(InputId::Re, "0");
    EXPECT_EQ(r.Ro, INF);
    EXPECT_EQ(r.R1, INF);
    EXPECT_TRUE(std::isnan(r.ZF1ZF2));
    EXPECT_EQ(r.Bl, 0.0);
    r = worked_with(InputId::Vas, "0");
    EXPECT_EQ(r.SensitivityWatt, 0.0);
    EXPECT_EQ(r.SensitivityDb, -INF);
    r = worked_with(InputId::Qes, "0");
    EXPECT_EQ(r.Bl, INF);
    EXPECT_EQ(r.SensitivityWatt, INF);
    EXPECT_EQ(r.SensitivityDb, INF);
}

TEST(Results, AllEmptyGivesZeroMassAndResistanceAndNanElsewhere) {
    const char *const empty[INPUT_COUNT] = {"", "", "", "", "", "", "", "", "", ""};
    const DriverResults r = compute_results(inputs_from(empty));
    EXPECT_EQ(r.Res, 0.0);
    EXPECT_EQ(r.Mmr, 0.0);
    for (double v : {r.Ro, r.R1, r.ZF1ZF2, r.Mms, r.Cms, r.Cmes, r.Bl, r.MmsPlusMmr,
                     r.SensitivityWatt, r.SensitivityDb})
        EXPECT_TRUE(std::isnan(v));
}

TEST(Results, QtsChangesNothing) {
    const DriverResults a = worked_with(InputId::Qts, "0");
    const DriverResults b = worked_with(InputId::Qts, "99");
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(ValueColumn, ShowsEightInputsThenTwelveResultsWithResLast) {
    const DriverInputs in = inputs_from(WORKED);
    const DriverResults r = compute_results(in);
    ValueRow row = value_row(0, in, r);
    EXPECT_STREQ(row.caption, "Fs");
    EXPECT_EQ(row.value, 30.0);
    row = value_row(7, in, r);
    EXPECT_STREQ(row.caption, "Qts");
    EXPECT_STREQ(row.unit, "Faktor");
    row = value_row(8, in, r);
    EXPECT_STREQ(row.caption, "Ro");
    EXPECT_EQ(row.value, r.Ro);
    row = value_row(17, in, r);
    EXPECT_STREQ(row.caption, "K\xE4nslighet Watt");
    EXPECT_EQ(row.decimals, 6);
    row = value_row(19, in, r);
    EXPECT_STREQ(row.caption, "Res");
    EXPECT_EQ(row.value, r.Res);
    int six = 0;
    for (int i = 0; i < VALUE_ROW_COUNT; ++i)
        six += value_row(i, in, r).decimals == 6;
    EXPECT_EQ(six, 3); // Cms, Cmes and the efficiency
}

} // namespace

TEST(ValueColumn, EightCharactersStandAsFormattedLongerOnesTakeExponentForm) {
    struct Case {
        double value;
        int decimals;
        const char *shown;
    } cases[] = {
        {12345.67, 2, "12345.67"},
        {-1234.56, 2, "-1234.56"},
        {0.000618, 6, "0.000618"},
        {123456.0, 2, "1.23e+05"},
        {-12345.67, 2, "-1.2e+04"},
        {-0.000468, 6, "-4.7e-04"},
        {99999999.0, 2, "1.00e+08"},
        {12.345678, 6, "1.23e+01"},
        {-1e300, 6, "-1e+300"},
        {1e300, 2, "1.0e+300"},
        {INFINITY, 2, "inf"},
        {-INFINITY, 6, "-inf"},
        {NAN, 2, "nan"},
        {1234567.0, -3, "1234567"},
        {123456789.0, 0, "1e+08"},
    };
    for (const Case &c : cases) {
        char text[WT_NUMBER_TEXT_SIZE];
        EXPECT_STREQ(value_column_text(text, c.value, c.decimals), c.shown) << c.value;
    }
}
