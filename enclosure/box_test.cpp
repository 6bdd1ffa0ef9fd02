#include "enclosure/box.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

constexpr double LITRE = 1e-3;

// A 20 cm woofer, roughly: Fs 30 Hz, Qts 0.39, Vas 50 L, Qes 0.45, Re 6 ohm, Sd 215 cm²,
// Bl 7.5 T·m, Mms 30 g.
BoxDriver woofer(double qts = 0.39) {
    BoxDriver d;
    const double values[DRIVER_PARAMETER_COUNT] = {30, qts,    50 * LITRE, 0.45,
                                                   6,  215e-4, 7.5,        0.030};
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        d.value[i] = values[i];
    return d;
}

BoxRequest vented(BoxAlignment alignment, double ql = DEFAULT_QL) {
    BoxRequest r;
    r.type = BOX_VENTED;
    r.alignment = alignment;
    r.ql = ql;
    return r;
}

// The alignment tables to their four significant digits: Thiele's lossless table, and the
// tables for box losses QL = 7. QB3's Vb/Vas is published to three, 0.224.
struct Published {
    const char *what;
    BoxAlignment alignment;
    double ql, qts;
    double qt, h, alpha, f3; // 0: not in the table
};

const Published PUBLISHED[] = {
    {"B4 lossless", ALIGN_B4, INFINITY, 0.3827, 0.3827, 1, 1.4142, 1},
    {"B4 QL 7", ALIGN_B4, 7, 0.4048, 0.4048, 1, 1.0613, 1},
    {"BB4 QL 7", ALIGN_BB4, 7, 0.3312, 0.3312, 0.9735, 1.9076, 1.494},
    {"SC4 QL 7", ALIGN_SC4, 7, 0.40, 0.40, 1.0103, 1.1146, 1.0215},
    {"QB3 lossless", ALIGN_QB3, INFINITY, 0.259, 0.259, 1.413, 1 / 0.224, 1.772},
};

// Half a unit in the fourth significant digit.
double four_digits(double published) {
    return 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(published))) - 3);
}

TEST(BoxAlignments, PublishedVentedTablesToFourDigits) {
    for (const Published &p : PUBLISHED) {
        SCOPED_TRACE(p.what);
        BoxDesign d;
        MeasureError error;
        ASSERT_TRUE(design_box(woofer(p.qts), vented(p.alignment, p.ql), d, error))
            << error.message;
        EXPECT_NEAR(d.qt_alignment, p.qt, four_digits(p.qt));
        EXPECT_NEAR(d.h, p.h, four_digits(p.h));
        if (p.alignment == ALIGN_QB3) // the table gives Vb/Vas
            EXPECT_NEAR(1 / d.alpha, 0.224, 0.0005);
        else
            EXPECT_NEAR(d.alpha, p.alpha, four_digits(p.alpha));
        EXPECT_NEAR(d.figure[FIG_F3].value / 30, p.f3, four_digits(p.f3));
        EXPECT_NEAR(d.figure[FIG_FB].value, 30 * d.h, 1e-9);
        EXPECT_NEAR(d.figure[FIG_VB].value, 50 * LITRE / d.alpha, 1e-12);
        EXPECT_STREQ(d.name, alignment_name(p.alignment));
    }
}

TEST(BoxAlignments, ClosedBoxForAWantedQtc) {
    BoxDriver driver = woofer(0.38);
    driver.value[DRIVER_FS] = 37;
    driver.value[DRIVER_VAS] = 30 * LITRE;
    BoxDesign d;
    MeasureError error;
    ASSERT_TRUE(design_box(driver, BoxRequest{}, d, error)) << error.message;
    EXPECT_NEAR(d.figure[FIG_VB].value / LITRE, 12.19, 0.005);
    EXPECT_NEAR(d.figure[FIG_F3].value, 68.8, 0.05);
    EXPECT_NEAR(d.figure[FIG_QTC].value, 0.707, 1e-12);
    EXPECT_NEAR(d.figure[FIG_FC].value, 37 * 0.707 / 0.38, 1e-9);
    EXPECT_STREQ(d.name, "Qtc 0.707 (Butterworth)");
    EXPECT_EQ(d.figure[FIG_PEAK].value, 0); // Butterworth: flat to the top
    EXPECT_TRUE(std::isnan(d.figure[FIG_FB].value));
    EXPECT_TRUE(std::isnan(d.figure[FIG_PORT_LENGTH].value));

    // Qtc 1: F3 = fc·√((√5 − 1)/2), peak 10·log10(Q⁴/(Q² − ¼)) = 1.25 dB.
    BoxRequest chebyshev;
    chebyshev.qtc = 1;
    ASSERT_TRUE(design_box(driver, chebyshev, d, error));
    EXPECT_NEAR(d.figure[FIG_F3].value / d.figure[FIG_FC].value,
                std::sqrt((std::sqrt(5.0) - 1) / 2), 1e-12);
    EXPECT_NEAR(d.figure[FIG_PEAK].value, 10 * std::log10(1 / 0.75), 1e-9);
    EXPECT_STREQ(d.name, "Qtc 1 (Chebyshev)");
    BoxRequest unnamed;
    unnamed.qtc = 0.8;
    ASSERT_TRUE(design_box(driver, unnamed, d, error));
    EXPECT_STREQ(d.name, "Qtc 0.8");
}

} // namespace
