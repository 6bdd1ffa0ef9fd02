#include "enclosure/alignment.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Small's lossy coefficients, written out again from the tuning.
void coefficients(double qt, double h, double alpha, double ql, double a[3]) {
    const double x = std::sqrt(h);
    a[0] = (ql + h * qt) / (x * ql * qt);
    a[1] = (h + (alpha + 1 + h * h) * ql * qt) / (h * ql * qt);
    a[2] = (h * ql + qt) / (x * ql * qt);
}

// |G(ju)|⁻² − 1 = c1/u² + c2/u⁴ + c3/u⁶ + 1/u⁸.
void flatness(const VentedTuning &t, double c[3]) {
    c[0] = t.a1 * t.a1 - 2 * t.a2;
    c[1] = t.a2 * t.a2 + 2 - 2 * t.a1 * t.a3;
    c[2] = t.a3 * t.a3 - 2 * t.a2;
}

TEST(Alignment, TuningRecoversTheBoxThatMadeThePolynomial) {
    const double cases[][4] = {
        {0.35, 1.2, 2.0, 7}, {0.45, 0.8, 0.7, 7}, {0.30, 1.05, 3.1, 3}, {0.5, 0.9, 0.5, 15}};
    for (const auto &c : cases) {
        double a[3];
        coefficients(c[0], c[1], c[2], c[3], a);
        VentedTuning t;
        ASSERT_TRUE(tuning_for_polynomial(a[0], a[1], a[2], c[3], t));
        EXPECT_NEAR(t.qt, c[0], 1e-12);
        EXPECT_NEAR(t.h, c[1], 1e-12);
        EXPECT_NEAR(t.alpha, c[2], 1e-10);
        EXPECT_NEAR(t.a1, a[0], 1e-12);
        EXPECT_NEAR(t.a3, a[2], 1e-12);
    }
    // A polynomial whose tuning needs a negative volume: none.
    VentedTuning t;
    EXPECT_FALSE(tuning_for_polynomial(2.6, 1.5, 2.6, 7, t));
}

TEST(Alignment, ButterworthAndBesselPolynomials) {
    double b4[3], c[3], bessel[3];
    butterworth_polynomial(b4);
    VentedTuning t{};
    t.a1 = b4[0], t.a2 = b4[1], t.a3 = b4[2];
    flatness(t, c);
    for (double term : c)
        EXPECT_NEAR(term, 0, 1e-12); // maximally flat: |G|⁻² = 1 + 1/u⁸
    chebyshev_polynomial(1, c);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(c[i], b4[i], 1e-12);
    bessel_polynomial(bessel);
    EXPECT_NEAR(bessel[0], 3.2011, 5e-5);
    EXPECT_NEAR(bessel[1], 4.3916, 5e-5);
    EXPECT_NEAR(bessel[2], 3.1239, 5e-5);
}

// The Chebyshev response ripples between 1 and 1 + ε² in the passband: its peaks stand above
// the level it tends to.
TEST(Alignment, ChebyshevRippleFollowsK) {
    for (double k : {0.9, 0.6, 0.35}) {
        double a[3];
        chebyshev_polynomial(k, a);
        double lowest = 2, highest = 0;
        bool passband = false;
        for (double u = 0.2; u < 20; u *= 1.0005) {
            const double u2 = u * u;
            const double re = (u2 - a[1]) * u2 + 1, im = (a[2] - a[0] * u2) * u;
            const double g2 = u2 * u2 * u2 * u2 / (re * re + im * im);
            passband = passband || g2 >= 1 - 1e-9; // from the first time it reaches the top
            if (passband) {
                lowest = std::fmin(lowest, g2);
                highest = std::fmax(highest, g2);
            }
        }
        const double epsilon = 1 / std::sinh(4 * std::atanh(k));
        EXPECT_NEAR(highest, 1 + epsilon * epsilon, 1e-6) << k;
        EXPECT_NEAR(lowest, 1, 1e-6);
    }
    // At the lowest k the ripple is 3 dB.
    const double epsilon = 1 / std::sinh(4 * std::atanh(C4_LOWEST_K));
    EXPECT_NEAR(epsilon, 1, 1e-4);
}

TEST(Alignment, ChebyshevFamilyForTheDriversQt) {
    VentedTuning b4, t;
    double a[3], k;
    butterworth_polynomial(a);
    ASSERT_TRUE(tuning_for_polynomial(a[0], a[1], a[2], 7, b4));
    // C4 above B4's Qt, SC4 below, each with the driver's Qt and on its side of k = 1.
    double limit;
    ASSERT_EQ(chebyshev_tuning(0.45, 7, C4_LOWEST_K, 1, t, k, limit), FAMILY_FOUND);
    EXPECT_NEAR(t.qt, 0.45, 1e-12);
    EXPECT_LT(k, 1);
    EXPECT_LT(t.alpha, b4.alpha); // more Qt, a larger box
    ASSERT_EQ(chebyshev_tuning(0.38, 7, 1, SC4_HIGHEST_K, t, k, limit), FAMILY_FOUND);
    EXPECT_NEAR(t.qt, 0.38, 1e-12);
    EXPECT_GT(k, 1);
    // Outside each side's range, with the Qt at the end passed.
    EXPECT_EQ(chebyshev_tuning(0.38, 7, C4_LOWEST_K, 1, t, k, limit), FAMILY_QT_BELOW);
    EXPECT_NEAR(limit, b4.qt, 1e-12);
    EXPECT_EQ(chebyshev_tuning(3, 7, C4_LOWEST_K, 1, t, k, limit), FAMILY_QT_ABOVE);
    VentedTuning ripple3;
    chebyshev_polynomial(C4_LOWEST_K, a);
    ASSERT_TRUE(tuning_for_polynomial(a[0], a[1], a[2], 7, ripple3));
    EXPECT_NEAR(limit, ripple3.qt, 1e-12);
    EXPECT_EQ(chebyshev_tuning(0.1, 7, 1, SC4_HIGHEST_K, t, k, limit), FAMILY_QT_BELOW);
}

// With QL 5 the C4 of 3 dB ripple would need a negative volume: the family ends where Vb
// grows without bound, and a driver whose C4 lies before that still gets it.
TEST(Alignment, HeavyLossesEndTheChebyshevFamilyEarly) {
    VentedTuning t;
    double a[3], k, limit;
    chebyshev_polynomial(C4_LOWEST_K, a);
    EXPECT_FALSE(tuning_for_polynomial(a[0], a[1], a[2], 5, t));
    ASSERT_EQ(chebyshev_tuning(0.6, 5, C4_LOWEST_K, 1, t, k, limit), FAMILY_FOUND);
    EXPECT_NEAR(t.qt, 0.6, 1e-12);
    EXPECT_GT(t.alpha, 0);
    EXPECT_EQ(chebyshev_tuning(1.5, 5, C4_LOWEST_K, 1, t, k, limit), FAMILY_QT_ABOVE);
    EXPECT_GT(limit, 0.6);
    EXPECT_LT(limit, 1.5);
    // With QL 3 the tuning's middle root is gone at low k; an outer root (Fb/Fs 18.6) would
    // want a negative volume.
    chebyshev_polynomial(C4_LOWEST_K, a);
    EXPECT_FALSE(tuning_for_polynomial(a[0], a[1], a[2], 3, t));
    // B4 cannot be had with QL 1 at all, nor anything of the family near it.
    EXPECT_EQ(chebyshev_tuning(0.5, 1, C4_LOWEST_K, 1, t, k, limit), FAMILY_MISSING);
}

TEST(Alignment, QuasiButterworthIsFlatInItsFirstTerms) {
    VentedTuning t;
    double b2, c[3];
    for (double ql : {double(INFINITY), 7.0, 3.0}) {
        for (double qt : {0.25, 0.33, 0.38}) {
            ASSERT_TRUE(qb3_tuning(qt, ql, t, b2)) << qt << " " << ql;
            flatness(t, c);
            EXPECT_NEAR(c[0], 0, 1e-9);
            EXPECT_NEAR(c[1], 0, 1e-9);
            EXPECT_NEAR(c[2], b2, 1e-12);
            EXPECT_GT(b2, 0);
            EXPECT_NEAR(t.qt, qt, 1e-12);
        }
    }
    // Lossless: x⁴ = q⁴/(8(q² − 1)), and α = q²/2 − 1 − h².
    ASSERT_TRUE(qb3_tuning(0.3, INFINITY, t, b2));
    const double q = 1 / 0.3;
    EXPECT_NEAR(t.h * t.h, q * q * q * q / (8 * (q * q - 1)), 1e-12);
    EXPECT_NEAR(t.alpha, q * q / 2 - 1 - t.h * t.h, 1e-12);
    // Past B4's Qt the family goes on with B² < 0.
    ASSERT_TRUE(qb3_tuning(0.42, 7, t, b2));
    EXPECT_LT(b2, 0);
}

} // namespace
