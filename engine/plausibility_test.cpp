#include "engine/plausibility.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The worked example, with Qes set to agree with Qms / (Ro - 1) so that it warns of nothing.
DriverInputs values(double Fs = 30, double Re = 6, double Zmax = 40, double Qms = 3,
                    double Qes = 0.53, double Qts = 0.45, double FsAdded = 25) {
    DriverInputs in{};
    const double v[INPUT_COUNT] = {Fs, Re, Zmax, 500, 50, Qms, Qes, Qts, FsAdded, 20};
    for (int i = 0; i < INPUT_COUNT; ++i)
        in.entry[i].value = v[i];
    return in;
}

std::string kinds(const DriverInputs &in) {
    std::string out;
    for (const PlausibilityWarning &w : check_plausibility(in))
        out += std::string(w.kind) + " ";
    return out;
}

TEST(Plausibility, ConsistentValuesGiveNothing) {
    EXPECT_EQ(kinds(values()), "");
}

TEST(Plausibility, AddedMassMustLowerTheResonance) {
    EXPECT_EQ(kinds(values(30, 6, 40, 3, 0.53, 0.45, 29.999)), "SmallResonanceShift ");
    const std::vector<PlausibilityWarning> w =
        check_plausibility(values(30, 6, 40, 3, 0.53, 0.45, 30));
    ASSERT_EQ(w.size(), 1u);
    EXPECT_STREQ(w[0].kind, "FsAddedNotBelowFs");
    EXPECT_EQ(w[0].message, "Fs med adderad massa (30.00 Hz) \xE4r inte l\xE4gre \xE4n Fs "
                            "(30.00 Hz): 0.00 Hz f\xF6r h\xF6gt, den adderade massan ska "
                            "s\xE4nka resonansen");
    EXPECT_EQ(check_plausibility(values(30, 6, 40, 3, 0.53, 0.45, 32))[0].size, 2.0);
}

TEST(Plausibility, ZmaxMustBeAboveRe) {
    EXPECT_EQ(kinds(values(30, 6, 6.01, 3, 0.53, 0.45)).find("ZmaxNotAboveRe"), std::string::npos);
    const std::vector<PlausibilityWarning> w = check_plausibility(values(30, 6, 5.5));
    ASSERT_FALSE(w.empty());
    EXPECT_STREQ(w[0].kind, "ZmaxNotAboveRe");
    EXPECT_EQ(w[0].message, "Zmax (5.50 ohm) \xE4r inte h\xF6gre \xE4n Re (6.00 ohm): 0.50 ohm "
                            "f\xF6r l\xE5gt");
    EXPECT_EQ(kinds(values(30, 6, 6)).rfind("ZmaxNotAboveRe", 0), 0u);
}

TEST(Plausibility, QtsAgainstQmsAndQes) {
    // Qms = 3, Qes = 0.6 give 0.5: 5 % off is 0.475 or 0.525. Zmax 36 keeps Qes consistent.
    EXPECT_EQ(kinds(values(30, 6, 36, 3, 0.6, 0.476)), "");
    EXPECT_EQ(kinds(values(30, 6, 36, 3, 0.6, 0.524)), "");
    const std::vector<PlausibilityWarning> w = check_plausibility(values(30, 6, 36, 3, 0.6, 0.55));
    ASSERT_EQ(w.size(), 1u);
    EXPECT_STREQ(w[0].kind, "QtsDisagrees");
    EXPECT_NEAR(w[0].size, 10.0, 1e-9);
    EXPECT_EQ(w[0].message, "Qts (0.550) avviker 10.0 % fr\xE5n Qms\xB7Qes/(Qms+Qes) = 0.500");
    EXPECT_EQ(kinds(values(30, 6, 36, 3, 0.6, 0.474)), "QtsDisagrees ");
}

TEST(Plausibility, QesAgainstQmsAndRo) {
    // Ro = 4 and Qms = 3 give 1: 10 % off is 0.9 or 1.1.
    const auto with_qes = [](double Qes) {
        return kinds(values(30, 10, 40, 3, Qes, 3 * Qes / (3 + Qes)));
    };
    EXPECT_EQ(with_qes(0.91), "");
    EXPECT_EQ(with_qes(1.09), "");
    EXPECT_EQ(with_qes(0.89), "QesDisagrees ");
    EXPECT_EQ(with_qes(1.11), "QesDisagrees ");
    const std::vector<PlausibilityWarning> w =
        check_plausibility(values(30, 10, 40, 3, 1.2, 3 * 1.2 / 4.2));
    EXPECT_EQ(w.back().message, "Qes (1.200) avviker 20.0 % fr\xE5n Qms/(Ro-1) = 1.000");
    // Ro not above 1: no expected Qes exists.
    EXPECT_EQ(kinds(values(30, 10, 10, 3, 5, 3 * 5 / 8.0)), "ZmaxNotAboveRe ");
}

TEST(Plausibility, SmallResonanceShiftNamesTheErrorFactor) {
    EXPECT_EQ(kinds(values(30, 6, 40, 3, 0.53, 0.45, 25)), ""); // exactly 1.2
    const std::vector<PlausibilityWarning> w =
        check_plausibility(values(30, 6, 40, 3, 0.53, 0.45, 25.01));
    ASSERT_EQ(w.size(), 1u);
    const double r = 30 / 25.01;
    EXPECT_DOUBLE_EQ(w[0].size, 2 * r * r / (r * r - 1));
    EXPECT_EQ(w[0].message, "Fs / Fs med adderad massa = 1.200 \xE4r under 1.2: 1 % fel i en "
                            "frekvens ger 6.6 % fel i Mms (2r\xB2/(r\xB2-1))");
    EXPECT_NEAR(mms_error_factor(1.2), 6.545454, 1e-6);
}

TEST(Plausibility, MissingValuesAreLeftToTheInputChecks) {
    EXPECT_EQ(kinds(DriverInputs{}), "");
    EXPECT_EQ(kinds(values(30, 6, 40, 3, 0.53, 0.45, 0)), "");
}

} // namespace
