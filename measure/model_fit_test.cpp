#include "measure/model_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
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

// The normal equations hold the residuals' derivatives, which a fit that converges would not
// show wrong: it only gets there more slowly. They must match central differences of the
// residuals, with the phase and without, for the richest model over three sweeps with added
// masses (Bl²) and their own Re, and for the creeping suspension alone with Re held, whose
// five parameters leave half a pair over.
TEST(ModelFit, NormalEquationsHoldTheResidualsDerivatives) {
    constexpr double FS = 45, OMEGA0 = 2 * 3.14159265358979323846 * FS;
    constexpr double MASSES[] = {0, 0.008, 0.016};
    constexpr int SWEEPS = 3, POINTS = 25;
    double truth[PARAM_COUNT];
    textbook_params(5.72, FS, 2, 20, truth);
    truth[BL2] = 49;
    truth[CMES] = 0.0149 / truth[BL2];
    truth[LCES] = 1 / (OMEGA0 * OMEGA0 * truth[CMES]);
    truth[BETA] = 0.1;
    truth[LE] = 0.3e-3;
    truth[SEMI] = 0.04;
    truth[G2] = 1 / 3.0;
    truth[L2] = 0.5e-3;
    truth[RE + 1] = 5.75;
    truth[RE + 2] = 5.79;
    const DriverModel richest = MODELS[MODEL_COUNT - 1], creep{true, false, false};
    std::vector<ImpedancePoint> points[SWEEPS];
    SweepSpan spans[SWEEPS];
    for (int i = 0; i < SWEEPS; ++i) {
        for (int n = 0; n < POINTS; ++n) {
            const double f = 10 * std::pow(2000.0, n / (POINTS - 1.0));
            const std::complex<double> z = model_impedance(richest, truth, OMEGA0, i, MASSES[i], f);
            points[i].push_back({f, z, std::abs(z)});
        }
        spans[i] = {points[i].data(), POINTS, MASSES[i]};
    }
    // Away from the truth, so that the residuals are not 0.
    ModelFit at{};
    for (int k = 0; k < PARAM_COUNT; ++k)
        at.p[k] = truth[k] * (k % 2 ? 1.01 : 0.98);
    const struct {
        DriverModel model;
        int sweeps;
        bool re_given;
    } cases[] = {{richest, SWEEPS, false}, {creep, 1, true}};
    for (const auto &c : cases)
        for (bool phase : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.sweeps << " sweeps, phase " << phase);
            const FitSetup setup{spans, c.sweeps, phase, c.re_given, OMEGA0};
            at.model = c.model;
            double jtj[PARAM_COUNT][PARAM_COUNT], jtr[PARAM_COUNT];
            normal_equations(setup, c.model, at.p, jtj, jtr);
            // Central differences of each point's residuals by each parameter fitted.
            std::vector<int> fitted;
            for (int k = 0; k < PARAM_COUNT; ++k)
                if (jtj[k][k] != 0)
                    fitted.push_back(k);
            const int expected = (c.model.creep ? 5 : 4) + (c.model.semi ? 1 : 0) +
                                 (c.model.lossy ? 2 : 0) + (c.sweeps > 1 ? 1 : 0) +
                                 (c.re_given ? 0 : c.sweeps);
            ASSERT_EQ(static_cast<int>(fitted.size()), expected);
            double numeric[PARAM_COUNT][PARAM_COUNT] = {}, gradient[PARAM_COUNT] = {}, ssr = 0;
            for (int i = 0; i < c.sweeps; ++i)
                for (const ImpedancePoint &pt : points[i]) {
                    const std::complex<double> r = point_residual(setup, at, i, pt);
                    ssr += std::norm(r);
                    std::complex<double> row[PARAM_COUNT];
                    for (int k : fitted) {
                        const double h = 1e-6 * std::abs(at.p[k]);
                        ModelFit up = at, down = at;
                        up.p[k] += h;
                        down.p[k] -= h;
                        row[k] = (point_residual(setup, up, i, pt) -
                                  point_residual(setup, down, i, pt)) /
                                 (2 * h);
                    }
                    for (int k : fitted) {
                        gradient[k] += row[k].real() * r.real() + row[k].imag() * r.imag();
                        for (int l : fitted)
                            numeric[k][l] +=
                                row[k].real() * row[l].real() + row[k].imag() * row[l].imag();
                    }
                }
            for (int k : fitted) {
                const double scale = std::sqrt(jtj[k][k]);
                EXPECT_NEAR(jtr[k], gradient[k], 1e-6 * scale * std::sqrt(ssr))
                    << "parameter " << k;
                for (int l : fitted)
                    EXPECT_NEAR(jtj[k][l], numeric[k][l], 1e-6 * scale * std::sqrt(jtj[l][l]))
                        << "parameters " << k << ", " << l;
            }
        }
}

// Every report names the model in these words, in characters the window's Windows-1252 has too.
TEST(ModelFit, EachModelIsDescribedInItsOwnWords) {
    const char *const expected[MODEL_COUNT] = {
        u8"upphängning utan krypning, talspole Le utan förluster",
        u8"upphängning utan krypning, talspole Le + R2 parallellt med L2",
        u8"upphängning utan krypning, talspole Le + halvinduktans K",
        u8"upphängning utan krypning, talspole Le + halvinduktans K + R2 parallellt med L2",
        u8"upphängning med krypning (LOG), talspole Le utan förluster",
        u8"upphängning med krypning (LOG), talspole Le + R2 parallellt med L2",
        u8"upphängning med krypning (LOG), talspole Le + halvinduktans K",
        u8"upphängning med krypning (LOG), talspole Le + halvinduktans K + R2 parallellt med L2",
    };
    for (int m = 0; m < MODEL_COUNT; ++m) {
        char text[MODEL_DESCRIPTION_SIZE];
        describe_model(MODELS[m], text);
        EXPECT_STREQ(text, expected[m]);
    }
}

} // namespace
