#include "measure/model_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// |Z| alone of a driver with a large inductance has two minima: from a plain coil the fit
// settles where Le is below 0 and the resonance 14 % low, from an inductance at the true one.
// Several starts must find the deeper minimum in whichever order they come.
TEST(ModelFit, SeveralStartsFindTheDeeperOfTwoMinima) {
    constexpr double FS = 75, LE_H = 3e-3, TWO_PI = 2 * 3.14159265358979323846;
    double truth[PARAM_COUNT];
    textbook_params(3.4, FS, 3.2, 3.4 * 3.2 / 0.62, truth);
    truth[LE] = LE_H;
    std::vector<ImpedancePoint> points;
    for (int i = 0; i < 344; ++i) {
        const double f = 20000 * std::pow(2.0, (i - 343) / 24.0);
        const double magnitude = std::abs(model_impedance(MODELS[0], truth, 1, 0, 0, f));
        points.push_back({f, magnitude, magnitude});
    }
    const SweepSpan span{points.data(), static_cast<int>(points.size()), 0};
    const FitSetup setup{&span, 1, false, false, 1};
    double start[PARAM_COUNT];
    textbook_params(3.3, 74, 3.0, 16, start);

    const ModelFit shallow = fit_from(setup, MODELS[0], start);
    ASSERT_TRUE(shallow.ok);
    EXPECT_LT(shallow.p[LE], 0);
    EXPECT_GT(shallow.ssr, 1);

    for (const std::vector<double> &le_starts : {std::vector<double>{0, 2e-3}, {2e-3, 0}}) {
        SCOPED_TRACE(le_starts.front());
        const ModelFit deep = fit_model(setup, MODELS[0], start, le_starts.data(), 2);
        ASSERT_TRUE(deep.ok);
        EXPECT_LT(deep.ssr, 1e-12);
        EXPECT_NEAR(deep.p[LE], LE_H, 1e-6 * LE_H);
        EXPECT_NEAR(1 / (TWO_PI * std::sqrt(deep.p[CMES] * deep.p[LCES])), FS, 1e-6 * FS);
    }
}

} // namespace
