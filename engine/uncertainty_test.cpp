#include "engine/uncertainty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr int MMS_ROW = SHOWN_INPUT_COUNT + 4;

DriverInputs worked() {
    DriverInputs in{};
    const double v[INPUT_COUNT] = {30, 6, 40, 500, 50, 3, 0.45, 0.39, 25, 20};
    for (int i = 0; i < INPUT_COUNT; ++i)
        in.entry[i].value = v[i];
    return in;
}

Tolerances percent(std::initializer_list<std::pair<InputId, double>> given) {
    Tolerances t;
    for (const auto &g : given)
        t.input[static_cast<int>(g.first)] = {g.second, true};
    return t;
}

TEST(Uncertainty, MmsFromTheTwoFrequenciesAsDerivedByHand) {
    const double r = 1.2;
    const double factor = 2 * r * r / (r * r - 1);
    const DriverInputs in = worked();
    const double mms = 20 / (r * r - 1);

    const Uncertainties fs = propagate_uncertainty(in, percent({{InputId::Fs, 1}}));
    EXPECT_NEAR(fs.row[MMS_ROW].plus_minus / mms, factor * 0.01, 1e-9);
    EXPECT_EQ(fs.row[MMS_ROW].largest, static_cast<int>(InputId::Fs));

    const Uncertainties both =
        propagate_uncertainty(in, percent({{InputId::Fs, 1}, {InputId::FsAdded, 1}}));
    EXPECT_NEAR(both.row[MMS_ROW].plus_minus / mms, factor * 0.01 * std::sqrt(2.0), 1e-9);
}

TEST(Uncertainty, ExactInputsAndOwnRows) {
    const DriverInputs in = worked();
    const Uncertainties none = propagate_uncertainty(in, Tolerances{});
    for (const RowUncertainty &u : none.row) {
        EXPECT_EQ(u.plus_minus, 0);
        EXPECT_EQ(u.largest, -1);
    }
    Tolerances t;
    t.input[static_cast<int>(InputId::Sd)] = {2, false};
    t.input[static_cast<int>(InputId::Fs)] = {10, true};
    const Uncertainties u = propagate_uncertainty(in, t);
    EXPECT_NEAR(u.row[static_cast<int>(InputId::Sd)].plus_minus, 2, 1e-9);
    EXPECT_NEAR(u.row[0].plus_minus, 3, 1e-9);
    EXPECT_EQ(u.row[1].plus_minus, 0); // Re has no tolerance and depends on nothing else
    // Mmr depends on Sd alone: d(Mmr)/d(Sd) = 1.5 · Mmr / Sd.
    const double mmr = compute_results(in).Mmr;
    EXPECT_NEAR(u.row[SHOWN_INPUT_COUNT + 3].plus_minus, 1.5 * mmr / 500 * 2, 1e-9);
    EXPECT_EQ(u.row[SHOWN_INPUT_COUNT + 3].largest, static_cast<int>(InputId::Sd));
}

// The derivative is the same however large the tolerance: the step comes from the value, so a
// large tolerance cannot carry it out of the formulas' domain.
TEST(Uncertainty, FirstOrderFigureGrowsInProportionToTheTolerance) {
    const DriverInputs in = worked();
    const Uncertainties small = propagate_uncertainty(in, percent({{InputId::Fs, 1}}));
    const Uncertainties whole = propagate_uncertainty(in, percent({{InputId::Fs, 100}}));
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        EXPECT_NEAR(whole.row[row].plus_minus, 100 * small.row[row].plus_minus,
                    1e-9 * whole.row[row].plus_minus)
            << row;
}

TEST(Uncertainty, ToleranceFitsAFiniteValueAtLeastAsLarge) {
    EXPECT_TRUE(tolerance_fits({30, false}, 30));
    EXPECT_TRUE(tolerance_fits({30, false}, -30));
    EXPECT_TRUE(tolerance_fits({100, true}, 0.5));
    EXPECT_TRUE(tolerance_fits({0, false}, INFINITY)); // no tolerance: exact
    EXPECT_TRUE(tolerance_fits({5, true}, 0));
    EXPECT_FALSE(tolerance_fits({30.001, false}, 30));
    EXPECT_FALSE(tolerance_fits({0.1, false}, 0));
    EXPECT_FALSE(tolerance_fits({1, true}, INFINITY));
    EXPECT_FALSE(tolerance_fits({1, true}, 1e-320)); // its step would be 0
}

TEST(Uncertainty, NonFiniteResultsHaveNoFigure) {
    DriverInputs in = worked();
    in[InputId::FsAdded].value = 30; // Mms infinite
    const Uncertainties u = propagate_uncertainty(in, percent({{InputId::Fs, 1}}));
    EXPECT_TRUE(std::isnan(u.row[MMS_ROW].plus_minus));
}

// The same formulas run with random inputs: for small tolerances the spread of each result
// must match the first-order figure.
TEST(Uncertainty, AgreesWithMonteCarloForSmallTolerances) {
    const DriverInputs in = worked();
    const Tolerances t = percent({{InputId::Fs, 0.5},
                                  {InputId::Re, 0.5},
                                  {InputId::Zmax, 0.5},
                                  {InputId::Sd, 1},
                                  {InputId::Vas, 1},
                                  {InputId::Qms, 1},
                                  {InputId::Qes, 1},
                                  {InputId::FsAdded, 0.5},
                                  {InputId::AddedMass, 0.5}});
    const Uncertainties first_order = propagate_uncertainty(in, t);

    std::mt19937_64 generator(20240607); // a fixed start value: the same draws every run
    std::normal_distribution<double> normal(0.0, 1.0);
    constexpr int DRAWS = 40000;
    double sum[VALUE_ROW_COUNT] = {}, sum_sq[VALUE_ROW_COUNT] = {};
    for (int n = 0; n < DRAWS; ++n) {
        DriverInputs drawn = in;
        for (int i = 0; i < INPUT_COUNT; ++i)
            drawn.entry[i].value +=
                normal(generator) * absolute_tolerance(t.input[i], in.entry[i].value);
        const DriverResults r = compute_results(drawn);
        for (int row = 0; row < VALUE_ROW_COUNT; ++row) {
            const double v = value_row(row, drawn, r).value;
            sum[row] += v;
            sum_sq[row] += v * v;
        }
    }
    for (int row = 0; row < VALUE_ROW_COUNT; ++row) {
        const double mean = sum[row] / DRAWS;
        const double spread = std::sqrt(std::max(0.0, sum_sq[row] / DRAWS - mean * mean));
        const double expected = first_order.row[row].plus_minus;
        if (expected == 0)
            EXPECT_LT(spread, 1e-5 * std::fabs(mean)) << row; // rounding of the sums only
        else
            EXPECT_NEAR(spread / expected, 1.0, 0.03) << row;
    }
}

} // namespace
