#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::string format(double v, int precision) {
    char text[WT_NUMBER_TEXT_SIZE];
    return wt_format_number(text, v, precision);
}

TEST(NumberText, PrecisionSelectsTheDecimals) {
    EXPECT_EQ(format(3.7, 0), "4");
    EXPECT_EQ(format(12.5, 2), "12.50");
    EXPECT_EQ(format(0.000618, 6), "0.000618");
    EXPECT_EQ(format(1.0 / 3, 8), "0.33333333");
    EXPECT_EQ(format(1.0 / 3, 9), "0.33333333");
    EXPECT_EQ(format(1.0 / 3, 100), "0.33333333");
    EXPECT_EQ(format(-2.5, 1), "-2.5");
    EXPECT_EQ(format(3.7, -1), "4");
    EXPECT_EQ(format(-0.001, 2), "-0.00");
}

TEST(NumberText, NonFiniteValuesAreSpelledTheSameEverywhere) {
    for (int p : {0, 2, 6, 9}) {
        EXPECT_EQ(format(INFINITY, p), "inf");
        EXPECT_EQ(format(-INFINITY, p), "-inf");
        EXPECT_EQ(format(NAN, p), "nan");
        EXPECT_EQ(format(-NAN, p), "nan");
    }
}

TEST(NumberText, HugeValuesUseExponentFormAndFit) {
    EXPECT_EQ(format(1e300, 2), "1.00e+300");
    EXPECT_EQ(format(-1.5e95, 8), "-1.50000000e+95");
    const std::string fits = format(1e90, 8); // 90 digits, the point and 8 decimals
    EXPECT_EQ(fits.size(), 99u);
    EXPECT_EQ(fits.find('e'), std::string::npos);
    EXPECT_EQ(format(1e91, 8), "1.00000000e+91");
    EXPECT_EQ(format(1.7976931348623157e308, 8).size(), 15u);
}

TEST(NumberText, RoundsTheExactBinaryValue) {
    EXPECT_EQ(format(2.675, 2), "2.67"); // 2.67499999...
    EXPECT_EQ(format(0.125, 2), "0.12"); // ties to even
    EXPECT_EQ(format(1e22, 0), "10000000000000000000000");
}

} // namespace
