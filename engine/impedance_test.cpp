#include "engine/impedance.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const ImpedanceModel WORKED = {30, 6, 34, 3};

TEST(Impedance, PeakAtFsAndReFarAway) {
    EXPECT_DOUBLE_EQ(impedance_magnitude(WORKED, 30), 40);
    EXPECT_NEAR(impedance_magnitude(WORKED, 1e-3), 6, 1e-3);
    EXPECT_NEAR(impedance_magnitude(WORKED, 1e6), 6, 1e-3);
    // Symmetric on the logarithmic axis.
    EXPECT_DOUBLE_EQ(impedance_magnitude(WORKED, 15), impedance_magnitude(WORKED, 60));
}

TEST(Impedance, SideFrequenciesMatchTheClosedForm) {
    const double level = std::sqrt(6.0 * 40.0);
    const SideFrequencies s = side_frequencies(WORKED, level);
    EXPECT_NEAR(impedance_magnitude(WORKED, s.F1), level, 1e-9);
    EXPECT_NEAR(impedance_magnitude(WORKED, s.F2), level, 1e-9);
    // F1 · F2 = Fs² and Qms = Fs · √Ro / (F2 - F1) for this model.
    EXPECT_NEAR(s.F1 * s.F2, 900, 1e-9);
    EXPECT_NEAR(s.F2 - s.F1, 30 * std::sqrt(40 / 6.0) / 3, 1e-9);
}

TEST(Impedance, NoCrossingWithinTheSpanGivesNan) {
    const SideFrequencies above = side_frequencies(WORKED, 41);
    EXPECT_TRUE(std::isnan(above.F1));
    EXPECT_TRUE(std::isnan(above.F2));
    // A low Qms makes the peak so wide that the level is still above at Fs / 10.
    const SideFrequencies wide = side_frequencies({30, 6, 34, 0.01}, 15);
    EXPECT_TRUE(std::isnan(wide.F1));
}

TEST(Impedance, ModelNeedsPositiveFiniteValues) {
    DriverInputs in{};
    in[InputId::Fs].value = 30;
    in[InputId::Re].value = 6;
    in[InputId::Qms].value = 3;
    DriverResults r{};
    ImpedanceModel m;
    r.Res = 34;
    EXPECT_TRUE(make_impedance_model(in, r, m));
    EXPECT_EQ(m.Res, 34);
    for (double bad : {0.0, -1.0, static_cast<double>(INFINITY), static_cast<double>(NAN)}) {
        r.Res = bad;
        EXPECT_FALSE(make_impedance_model(in, r, m)) << bad;
    }
    r.Res = 34;
    in[InputId::Qms].value = 0;
    EXPECT_FALSE(make_impedance_model(in, r, m));
}

} // namespace
