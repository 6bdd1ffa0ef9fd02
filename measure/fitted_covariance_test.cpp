#include "measure/fitted_covariance.h"

#include "measure/added_mass.h"
#include "measure/sweep_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

const std::string EXAMPLES = ELEMTRIX_EXAMPLES;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

SweepFit fitted(const std::string &file) {
    Sweep sweep;
    MeasureError error;
    SweepFit fit{};
    EXPECT_TRUE(read_sweep_file((EXAMPLES + "/" + file).c_str(), sweep, error)) << error.message;
    EXPECT_TRUE(fit_sweep(sweep, file.c_str(), {}, fit, error)) << error.message;
    return fit;
}

// The example's sweeps: the free-air one and the one with 20 g, fitted once for every test.
struct Example {
    SweepFit free = fitted("mid-free.zma"), added = fitted("mid-20g.zma");
    AddedMassResult line{};
    JointMassFit joint{};
    Example() {
        const char *names[] = {"mid-free.zma", "mid-20g.zma"};
        const SweepFit *fits[] = {&free, &added};
        const double masses[] = {0, 20};
        MeasureError error;
        EXPECT_TRUE(fit_added_masses(names, fits, masses, 2, line, joint, error)) << error.message;
    }
};
const Example &example() {
    static const Example e;
    return e;
}

double variance_of(const CovariedDriver &d, const double (&gradient)[COVARIED_COUNT]) {
    double sum = 0;
    for (int i = 0; i < COVARIED_COUNT; ++i)
        for (int j = 0; j < COVARIED_COUNT; ++j)
            if (gradient[i] != 0 && gradient[j] != 0)
                sum += gradient[i] * d.covariance[i][j] * gradient[j];
    return sum;
}

double correlation(const CovariedDriver &d, int i, int j) {
    return d.covariance[i][j] / std::sqrt(d.covariance[i][i] * d.covariance[j][j]);
}

TEST(FittedCovariance, ReportedErrorsOnTheDiagonalCorrelationsBeside) {
    const Example &e = example();
    const CovariedDriver d = covaried_driver(e.free, &e.joint, {NaN, NaN}, {132, 0}, {NaN, 0});
    const struct {
        CovariedValue id;
        Estimate reported;
    } rows[] = {{CV_RE, e.free.Re},    {CV_FS, e.free.Fs},   {CV_QMS, e.free.Qms},
                {CV_QES, e.free.Qes},  {CV_QTS, e.free.Qts}, {CV_MMS, e.joint.Mms},
                {CV_CMS, e.joint.Cms}, {CV_BL, e.joint.Bl}};
    for (const auto &r : rows) {
        EXPECT_EQ(d.value[r.id], r.reported.value) << r.id;
        EXPECT_DOUBLE_EQ(d.covariance[r.id][r.id], r.reported.error * r.reported.error) << r.id;
    }
    // A covariance: symmetric, no correlation beyond ±1, and the typed Sd exact.
    for (int i = 0; i < CV_SD; ++i)
        for (int j = 0; j < CV_SD; ++j) {
            EXPECT_EQ(d.covariance[i][j], d.covariance[j][i]);
            EXPECT_LE(std::abs(correlation(d, i, j)), 1 + 1e-12) << i << " " << j;
        }
    for (int i = 0; i < COVARIED_COUNT; ++i)
        EXPECT_EQ(d.covariance[CV_SD][i], 0) << i;
    // The free sweep's Q's share its Re: Qes = ωs·Cmes·Re.
    EXPECT_GT(correlation(d, CV_QES, CV_RE), 0.5);
    EXPECT_GT(correlation(d, CV_MMS, CV_BL), 0.5);
}

// A value worked out from others gets its own error back only with their correlations: Qts
// from Qms and Qes (taken as independent, 7 % too little), Cms = 1/((2π·Fs)²·Mms) (41 % too much).
TEST(FittedCovariance, CorrelationsGiveTheErrorsOfValuesWorkedOutFromOthers) {
    const Example &e = example();
    const CovariedDriver d = covaried_driver(e.free, &e.joint, {NaN, NaN}, {132, 0}, {NaN, 0});
    const double qms = d.value[CV_QMS], qes = d.value[CV_QES], sum = qms + qes;
    double by_q[COVARIED_COUNT] = {};
    by_q[CV_QMS] = qes * qes / (sum * sum);
    by_q[CV_QES] = qms * qms / (sum * sum);
    EXPECT_NEAR(std::sqrt(variance_of(d, by_q)), e.free.Qts.error, 0.02 * e.free.Qts.error);
    double by_mass[COVARIED_COUNT] = {};
    by_mass[CV_FS] = -2 * d.value[CV_CMS] / d.value[CV_FS];
    by_mass[CV_MMS] = -d.value[CV_CMS] / d.value[CV_MMS];
    EXPECT_NEAR(std::sqrt(variance_of(d, by_mass)), e.joint.Cms.error, 0.05 * e.joint.Cms.error);
}

// Vas = ρ·c²·Sd²·Cms: one with Cms while Sd is exact, and a relative error of Sd counts twice.
TEST(FittedCovariance, VasFromTheComplianceGoesWithSdSquared) {
    const Example &e = example();
    const CovariedDriver exact = covaried_driver(e.free, &e.joint, {NaN, NaN}, {132, 0}, {NaN, 0});
    ASSERT_TRUE(exact.vas_from_compliance);
    const Estimate vas = vas_from_compliance(e.joint.Cms, 132);
    EXPECT_DOUBLE_EQ(exact.value[CV_VAS], vas.value);
    EXPECT_NEAR(correlation(exact, CV_VAS, CV_CMS), 1, 1e-12);
    EXPECT_NEAR(correlation(exact, CV_VAS, CV_FS), correlation(exact, CV_CMS, CV_FS), 1e-12);

    const double sd_error = 0.02 * 132;
    const CovariedDriver typed =
        covaried_driver(e.free, &e.joint, {NaN, NaN}, {132, sd_error}, {NaN, 0});
    const double by_sd = 2 * vas.value / 132;
    EXPECT_NEAR(typed.covariance[CV_VAS][CV_VAS],
                vas.error * vas.error + by_sd * by_sd * sd_error * sd_error,
                1e-9 * typed.covariance[CV_VAS][CV_VAS]);
    EXPECT_DOUBLE_EQ(typed.covariance[CV_VAS][CV_SD], by_sd * sd_error * sd_error);
    EXPECT_EQ(typed.covariance[CV_SD][CV_FS], 0);
}

// Without added masses the sweep tells no mass; a typed Vas and Re keep their own errors, apart
// from the fit's.
TEST(FittedCovariance, TypedValuesStandApartFromTheFit) {
    const Example &e = example();
    const CovariedDriver d = covaried_driver(e.free, nullptr, {6, 0.05}, {132, 0}, {20.5, 1.5});
    EXPECT_FALSE(d.vas_from_compliance);
    for (CovariedValue id : {CV_MMS, CV_CMS, CV_BL})
        EXPECT_TRUE(std::isnan(d.value[id])) << id;
    EXPECT_EQ(d.value[CV_VAS], 20.5);
    EXPECT_EQ(d.covariance[CV_VAS][CV_VAS], 1.5 * 1.5);
    EXPECT_EQ(d.covariance[CV_VAS][CV_QTS], 0);
    // The fitted Re is no typed one: its tolerance does not replace the fit's error.
    EXPECT_EQ(d.value[CV_RE], e.free.Re.value);
    EXPECT_DOUBLE_EQ(d.covariance[CV_RE][CV_RE], e.free.Re.error * e.free.Re.error);
    EXPECT_NE(d.covariance[CV_QES][CV_QMS], 0);
}

} // namespace
