#include "enclosure/box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr double LITRE = 1e-3;
constexpr double PI = 3.14159265358979323846;

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
    EXPECT_EQ(d.reason, "the box's air, 2.462 times as stiff as the driver's suspension, raises "
                        "Qts 0.38 to Qtc 0.707");
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

TEST(BoxAlignments, FlattestVentedFollowsTheDriversQts) {
    struct Case {
        double qts;
        BoxAlignment chosen;
        const char *says;
    } cases[] = {{0.35, ALIGN_QB3, "below B4's 0.4048"},
                 {0.4048142474636, ALIGN_B4, "that of B4's"},
                 {0.45, ALIGN_C4, "above B4's 0.4048 with QB 7, and C4 (ripple 0.01 dB)"}};
    for (const Case &c : cases) {
        BoxDesign d;
        MeasureError error;
        ASSERT_TRUE(design_box(woofer(c.qts), vented(ALIGN_FLATTEST), d, error)) << error.message;
        EXPECT_EQ(d.alignment, c.chosen);
        EXPECT_STREQ(d.name, alignment_name(c.chosen));
        EXPECT_NE(d.reason.view().find(c.says), std::string_view::npos) << d.reason;
        EXPECT_NE(d.reason_swedish.view().find(u8"flackaste"), std::string_view::npos);
        EXPECT_NEAR(d.qt_alignment, c.qts, 1e-9);
    }
    // B4 asked for by name of a driver that does not meet it: B4's box, and the report says so.
    BoxDesign d;
    MeasureError error;
    ASSERT_TRUE(design_box(woofer(0.35), vented(ALIGN_B4), d, error));
    EXPECT_NEAR(d.h, 1, 1e-12);
    EXPECT_NE(d.reason.view().find("-13.5 % off"), std::string_view::npos) << d.reason;
    EXPECT_GT(d.figure[FIG_F3].value, 30 * 1.01); // an overdamped driver droops early
}

// What a caller reports and ends with exit status 1.
TEST(BoxErrors, MeaninglessRequestsSayWhy) {
    struct Case {
        const char *what;
        BoxDriver driver;
        BoxRequest request;
        const char *message;
    };
    BoxRequest qtc_06;
    qtc_06.qtc = 0.6;
    BoxRequest built_without_vb = vented(ALIGN_BUILT);
    built_without_vb.fb = 30;
    BoxRequest qtc_for_vented = vented(ALIGN_QTC);
    BoxRequest negative_power;
    negative_power.power = -1;
    BoxRequest nan_port = vented(ALIGN_B4);
    nan_port.port_diameter = NAN;
    BoxDriver no_vas = woofer(), nan_fs = woofer(), bad_covariance = woofer();
    no_vas.value[DRIVER_VAS] = 0;
    nan_fs.value[DRIVER_FS] = NAN;
    bad_covariance.covariance[DRIVER_QTS][DRIVER_QTS] = -1e-4;
    const Case cases[] = {
        {"Qts at Qtc", woofer(0.6), qtc_06, "Qts: 0.6 is at or above the wanted Qtc 0.6"},
        {"Qts above Qtc", woofer(0.8), BoxRequest{},
         "Qts: 0.8 is at or above the wanted Qtc 0.707"},
        {"no Vas", no_vas, BoxRequest{}, "Vas: missing: a box needs Fs, Qts and Vas"},
        {"NaN", nan_fs, BoxRequest{}, "Fs: nan is not a value a box can be designed from"},
        {"covariance", bad_covariance, BoxRequest{}, "Qts: its covariance with Qts"},
        {"built, no Vb", woofer(), built_without_vb, "Vb: 0 is not a usable value here"},
        {"Qtc of a vented box", woofer(), qtc_for_vented, "Alignment: Qtc is not an alignment"},
        {"power", woofer(), negative_power, "Power: -1 is not a usable value here"},
        {"port", woofer(), nan_port, "Port: nan is not a usable value here"},
        {"no such alignment", woofer(), vented(static_cast<BoxAlignment>(99)),
         "Alignment: unknown box type or alignment (1, 99)"},
        {"QB3 above B4", woofer(0.45), vented(ALIGN_QB3), "QB3 needs a lower Qts"},
        {"C4 below B4", woofer(0.35), vented(ALIGN_C4), "C4 needs a higher Qts"},
        {"SC4 far below", woofer(0.15), vented(ALIGN_SC4),
         "0.15 is below 0.2354, the lowest Qts of SC4 with QB 7"},
        {"QL 1", woofer(), vented(ALIGN_FLATTEST, 1),
         "QL: no vented alignment of the family "
         "exists with QB 1: the box losses are too "
         "large even for B4"},
        {"flattest, Qts too high", woofer(1.5), vented(ALIGN_FLATTEST),
         "no vented alignment of the family exists for this driver"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BoxDesign d;
        MeasureError error;
        EXPECT_FALSE(design_box(c.driver, c.request, d, error));
        EXPECT_NE(error.message.view().find(c.message), std::string_view::npos) << error.message;
        EXPECT_FALSE(error.swedish.empty());
    }
}

TEST(BoxFigures, PortSplAndLimits) {
    BoxRequest r = vented(ALIGN_BUILT);
    r.vb = 60 * LITRE;
    r.fb = 28;
    r.port_diameter = 0.07;
    r.ports = 2;
    BoxDesign d;
    MeasureError error;
    const double area = 2 * PI * 0.035 * 0.035, wb = 2 * PI * 28, c = SPEED_OF_SOUND;
    const double helmholtz = c * c * area / (wb * wb * r.vb);
    for (PortEnds ends : {PORT_BOTH_FREE, PORT_ONE_FLANGED, PORT_BOTH_FLANGED}) {
        r.port_ends = ends;
        ASSERT_TRUE(design_box(woofer(), r, d, error));
        EXPECT_NEAR(d.figure[FIG_PORT_LENGTH].value,
                    helmholtz - PORT_END_CORRECTION[ends] * r.port_diameter, 1e-12);
    }
    EXPECT_FALSE(d.port_too_narrow);
    EXPECT_NEAR(d.port_speed_limit, 0.05 * c, 1e-12);
    EXPECT_FALSE(d.port_too_fast);

    // η0 = 4π²·Fs³·Vas/(c³·Qes) into half space: 112.1 dB + 10·log10 η0 with these air constants.
    const double eta0 = 4 * PI * PI * 30 * 30 * 30 * 0.05 / (c * c * c * 0.45);
    const double spl = 10 * std::log10(AIR_DENSITY * c * eta0 / (2 * PI) / 4e-10);
    EXPECT_NEAR(d.figure[FIG_SPL_1W].value, spl, 1e-9);
    EXPECT_NEAR(d.figure[FIG_SPL_2V83].value, spl + 10 * std::log10(2.83 * 2.83 / 6), 1e-9);
    EXPECT_TRUE(std::isnan(d.figure[FIG_MAX_SPL].value)); // neither Xmax nor Pe given
    EXPECT_EQ(d.limit, LIMIT_NONE);

    // Excursion grows as the voltage: four times the power, twice the excursion.
    const double x1 = d.figure[FIG_EXCURSION].value, v1 = d.figure[FIG_PORT_SPEED].value;
    r.power = 4;
    ASSERT_TRUE(design_box(woofer(), r, d, error));
    EXPECT_NEAR(d.figure[FIG_EXCURSION].value, 2 * x1, 1e-12);
    EXPECT_NEAR(d.figure[FIG_PORT_SPEED].value, 2 * v1, 1e-9);

    // Xmax reached at (Xmax/x1)² W; Pe below that limits instead.
    r.power = 1;
    r.xmax = 4 * x1;
    r.pe = 100;
    ASSERT_TRUE(design_box(woofer(), r, d, error));
    EXPECT_EQ(d.limit, LIMIT_EXCURSION);
    EXPECT_NEAR(d.figure[FIG_MAX_SPL].value, spl + 10 * std::log10(16), 1e-9);
    r.pe = 10;
    ASSERT_TRUE(design_box(woofer(), r, d, error));
    EXPECT_EQ(d.limit, LIMIT_POWER);
    EXPECT_NEAR(d.figure[FIG_MAX_SPL].value, spl + 10, 1e-9);

    // Ports of 5 mm would need a negative length; of 2 cm at high power they are too fast.
    r.port_diameter = 0.005;
    ASSERT_TRUE(design_box(woofer(), r, d, error));
    EXPECT_TRUE(d.port_too_narrow);
    EXPECT_LT(d.figure[FIG_PORT_LENGTH].value, 0);
    r.port_diameter = 0.02;
    r.power = 50;
    ASSERT_TRUE(design_box(woofer(), r, d, error));
    EXPECT_TRUE(d.port_too_fast);
    EXPECT_GT(d.figure[FIG_PORT_SPEED].value, d.port_speed_limit);
    // Its figures in the warning, and the limit's share of the speed of sound where asked for.
    char speed[2][40];
    std::snprintf(speed[0], sizeof speed[0], "%.1f m/s", d.figure[FIG_PORT_SPEED].value);
    std::snprintf(speed[1], sizeof speed[1], "%.1f m/s", d.port_speed_limit);
    char warning[BOX_WARNING_SIZE];
    for (bool with_share : {false, true}) {
        box_port_speed_warning(d, with_share, warning);
        const std::string w = warning;
        EXPECT_EQ(w.rfind("OBS: portens lufthastighet ", 0), 0u) << w;
        EXPECT_NE(w.find(speed[0]), std::string::npos) << w;
        EXPECT_NE(w.find(speed[1]), std::string::npos) << w;
        EXPECT_EQ(w.find("(5 % av ljudets hastighet)") != std::string::npos, with_share) << w;
    }

    r.port_diameter = 0.07;
    r.power = 1;
    r.xmax = 0.5 * x1;
    ASSERT_TRUE(design_box(woofer(), r, d, error));
    EXPECT_TRUE(d.over_xmax);
    EXPECT_LT(d.figure[FIG_MAX_SPL].value, spl);
    ASSERT_FALSE(d.port_too_fast);
    box_port_speed_warning(d, true, warning);
    EXPECT_STREQ(warning, "");

    // Without Bl (no added-mass measurement) no excursion, port speed or maximum SPL.
    BoxDriver no_bl = woofer();
    no_bl.value[DRIVER_BL] = 0;
    ASSERT_TRUE(design_box(no_bl, r, d, error));
    for (int f : {FIG_EXCURSION, FIG_PORT_SPEED}) {
        EXPECT_TRUE(std::isnan(d.figure[f].value));
        EXPECT_TRUE(std::isnan(d.curves.excursion[0]));
    }
    EXPECT_EQ(d.limit, LIMIT_POWER);
}

// Leakage, absorption and port losses add as 1/QB = 1/QL + 1/QA + 1/QP.
TEST(BoxFigures, BoxLossesAddAsOneQ) {
    BoxRequest three = vented(ALIGN_FLATTEST), one = vented(ALIGN_FLATTEST);
    three.qa = 20;
    three.qp = 50;
    one.ql = 1 / (1 / 7.0 + 1 / 20.0 + 1 / 50.0);
    BoxDesign a, b;
    MeasureError error;
    ASSERT_TRUE(design_box(woofer(0.36), three, a, error));
    ASSERT_TRUE(design_box(woofer(0.36), one, b, error));
    EXPECT_NEAR(a.qb, one.ql, 1e-12);
    for (int f = 0; f < BOX_FIGURE_COUNT; ++f) {
        if (!std::isnan(b.figure[f].value)) {
            EXPECT_NEAR(a.figure[f].value, b.figure[f].value, 1e-9 * std::fabs(b.figure[f].value));
        }
    }
    // More loss damps the box, and B4 asks for a driver damped less: Qts 0.4166 with QB 4.7,
    // 0.4048 with QL 7 alone.
    EXPECT_NE(a.reason.view().find("B4's 0.4166 with QB 4.7,"), std::string_view::npos) << a.reason;
}

TEST(BoxFigures, BuiltBoxSaysHowItResponds) {
    BoxRequest r = vented(ALIGN_BUILT);
    r.vb = 60 * LITRE;
    r.fb = 28;
    BoxDesign d;
    MeasureError error;
    ASSERT_TRUE(design_box(woofer(0.6), r, d, error));
    EXPECT_GT(d.figure[FIG_PEAK].value, 2);
    char says[128];
    std::snprintf(says, sizeof says, "the response peaks %.2f dB above the passband at %.3g Hz",
                  d.figure[FIG_PEAK].value, d.peak_frequency);
    EXPECT_NE(d.reason.view().find(says), std::string_view::npos) << d.reason;
    EXPECT_NE(d.reason.view().find("vented box of 60 L tuned to 28 Hz"), std::string_view::npos);
    EXPECT_NEAR(d.peak_frequency, 47.7, 0.05);
    ASSERT_TRUE(design_box(woofer(0.39), r, d, error));
    EXPECT_NE(d.reason.view().find("without a peak"), std::string_view::npos) << d.reason;
    EXPECT_TRUE(std::isnan(d.peak_frequency));

    BoxRequest closed;
    closed.alignment = ALIGN_BUILT;
    closed.vb = 20 * LITRE;
    ASSERT_TRUE(design_box(woofer(0.39), closed, d, error));
    const double qtc = 0.39 * std::sqrt(1 + 50.0 / 20);
    EXPECT_NEAR(d.figure[FIG_QTC].value, qtc, 1e-12);
    EXPECT_NEAR(d.figure[FIG_FC].value, 30 * std::sqrt(1 + 50.0 / 20), 1e-12);
    EXPECT_NE(d.reason.view().find("closed box of 20 L: Qtc 0.730"), std::string_view::npos)
        << d.reason;
    EXPECT_NE(d.reason_swedish.view().find(u8"sluten låda på 20 L"), std::string_view::npos);
}

// Independent errors of 1 to 5 %, and correlations such as a fit of the sweeps leaves.
BoxDriver uncertain(double qts, double scale = 1) {
    BoxDriver d = woofer(qts);
    const double relative[DRIVER_PARAMETER_COUNT] = {0.01, 0.03, 0.05, 0.03,
                                                     0.01, 0.02, 0.03, 0.03};
    double sigma[DRIVER_PARAMETER_COUNT];
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        sigma[i] = scale * relative[i] * d.value[i];
    const struct {
        DriverParameter a, b;
        double correlation;
    } pairs[] = {{DRIVER_QTS, DRIVER_QES, 0.8},
                 {DRIVER_VAS, DRIVER_MMS, -0.5},
                 {DRIVER_FS, DRIVER_MMS, 0.3},
                 {DRIVER_BL, DRIVER_MMS, 0.4}};
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        d.covariance[i][i] = sigma[i] * sigma[i];
    for (const auto &p : pairs)
        d.covariance[p.a][p.b] = d.covariance[p.b][p.a] = p.correlation * sigma[p.a] * sigma[p.b];
    return d;
}

TEST(BoxUncertainty, ExactParametersHaveNoErrors) {
    BoxDesign d;
    MeasureError error;
    ASSERT_TRUE(design_box(woofer(), BoxRequest{}, d, error));
    EXPECT_FALSE(d.has_errors);
    for (const BoxFigure &f : d.figure) {
        EXPECT_TRUE(f.error == 0 || std::isnan(f.value));
        EXPECT_EQ(f.dominant, -1);
    }
    for (double e : d.curves.response_error)
        EXPECT_EQ(e, 0);
}

// The closed box's Vb = Vas/((Qtc/Qts)² − 1) by hand, with Qts and Vas correlated.
TEST(BoxUncertainty, ClosedBoxVolumeAsDerivedByHand) {
    BoxDriver d = woofer(0.38);
    const double sq = 0.05 * 0.38, sv = 0.1 * 0.05, rho = -0.6;
    d.covariance[DRIVER_QTS][DRIVER_QTS] = sq * sq;
    d.covariance[DRIVER_VAS][DRIVER_VAS] = sv * sv;
    d.covariance[DRIVER_QTS][DRIVER_VAS] = d.covariance[DRIVER_VAS][DRIVER_QTS] = rho * sq * sv;
    BoxDesign b;
    MeasureError error;
    ASSERT_TRUE(design_box(d, BoxRequest{}, b, error));
    const double r = 0.707 / 0.38, n = r * r - 1, vb = 0.05 / n;
    const double by_vas = 1 / n, by_qts = 0.05 * 2 * r * r / (0.38 * n * n);
    const double variance =
        by_vas * by_vas * sv * sv + by_qts * by_qts * sq * sq + 2 * by_vas * by_qts * rho * sq * sv;
    EXPECT_NEAR(b.figure[FIG_VB].value, vb, 1e-15);
    EXPECT_NEAR(b.figure[FIG_VB].error / std::sqrt(variance), 1, 1e-6);
    EXPECT_EQ(b.figure[FIG_VB].dominant, DRIVER_QTS); // 5 % of Qts is 12 % of Vb
    EXPECT_TRUE(b.has_errors);
    // The box as designed, Vb fixed, does Qtc = Qts·√(1 + Vas/Vb).
    const double root = std::sqrt(1 + 0.05 / vb);
    const double dq = root, dv = 0.38 / (2 * root * vb);
    const double qtc_variance = dq * dq * sq * sq + dv * dv * sv * sv + 2 * dq * dv * rho * sq * sv;
    EXPECT_NEAR(b.figure[FIG_QTC].error / std::sqrt(qtc_variance), 1, 1e-6);
}

struct Sampler {
    double chol[DRIVER_PARAMETER_COUNT][DRIVER_PARAMETER_COUNT] = {};
    std::mt19937_64 random{20261208};
    std::normal_distribution<double> normal;

    explicit Sampler(const BoxDriver &d) {
        for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
            for (int j = 0; j <= i; ++j) {
                double sum = d.covariance[i][j];
                for (int k = 0; k < j; ++k)
                    sum -= chol[i][k] * chol[j][k];
                chol[i][j] = i == j ? std::sqrt(sum) : sum / chol[j][j];
            }
    }
    BoxDriver draw(const BoxDriver &d) {
        double z[DRIVER_PARAMETER_COUNT];
        for (double &v : z)
            v = normal(random);
        BoxDriver out;
        for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
            out.value[i] = d.value[i];
            for (int k = 0; k <= i; ++k)
                out.value[i] += chol[i][k] * z[k];
        }
        return out;
    }
};

double spread(const double *values, int n) {
    double mean = 0, square = 0;
    for (int i = 0; i < n; ++i)
        mean += values[i] / n;
    for (int i = 0; i < n; ++i)
        square += (values[i] - mean) * (values[i] - mean) / (n - 1);
    return std::sqrt(square);
}

// Every figure's first-order error against the spread of the same figure over drivers drawn
// from the covariance: the design done again for Vb, Fb and the port, the box kept for the rest.
TEST(BoxUncertainty, PropagationAgreesWithMonteCarlo) {
    constexpr int SAMPLES = 4000;
    BoxRequest sealed;
    sealed.qtc = 1;
    sealed.xmax = 0.004;
    BoxRequest qb3 = vented(ALIGN_QB3);
    qb3.port_diameter = 0.07;
    qb3.xmax = 0.004;
    const struct {
        const char *what;
        BoxRequest request;
        double qts;
        int figures[9];
    } cases[] = {
        {"closed, Qtc 1",
         sealed,
         0.38,
         {FIG_VB, FIG_FC, FIG_QTC, FIG_F3, FIG_PEAK, FIG_EXCURSION, FIG_SPL_1W, FIG_SPL_2V83,
          FIG_MAX_SPL}},
        {"vented QB3",
         qb3,
         0.33,
         {FIG_VB, FIG_FB, FIG_F3, FIG_PORT_LENGTH, FIG_PORT_SPEED, FIG_EXCURSION, FIG_SPL_1W,
          FIG_MAX_SPL, FIG_VB}},
    };
    static double values[BOX_FIGURE_COUNT][SAMPLES];
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const BoxDriver driver = uncertain(c.qts, 0.5);
        BoxDesign nominal, again;
        MeasureError error;
        ASSERT_TRUE(design_box(driver, c.request, nominal, error)) << error.message;
        Sampler sampler(driver);
        for (int s = 0; s < SAMPLES; ++s) {
            const BoxDriver drawn = sampler.draw(driver);
            double built[BOX_FIGURE_COUNT];
            built_box_figures(nominal, drawn, built);
            ASSERT_TRUE(design_box(drawn, c.request, again, error)) << error.message;
            for (int f = 0; f < BOX_FIGURE_COUNT; ++f)
                values[f][s] = f == FIG_VB || f == FIG_FB || f == FIG_PORT_LENGTH
                                   ? again.figure[f].value
                                   : built[f];
        }
        for (int f : c.figures) {
            const BoxFigure &figure = nominal.figure[f];
            SCOPED_TRACE(BOX_FIGURE_NAMES[f]);
            EXPECT_GT(figure.error, 0);
            EXPECT_NEAR(spread(values[f], SAMPLES) / figure.error, 1, 0.1);
        }
    }
}

// The band of a built box: the response of that box to drivers within the errors.
TEST(BoxUncertainty, BandOfABuiltBoxAgreesWithMonteCarlo) {
    constexpr int SAMPLES = 4000;
    BoxRequest r = vented(ALIGN_BUILT);
    r.vb = 60 * LITRE;
    r.fb = 28;
    const BoxDriver driver = uncertain(0.39, 0.5);
    BoxDesign d;
    MeasureError error;
    ASSERT_TRUE(design_box(driver, r, d, error));
    Sampler sampler(driver);
    static double response[SAMPLES];
    for (int point : {30, 50, 65, 80, 100}) {
        const double f = d.curves.frequency[point];
        SCOPED_TRACE(f);
        for (double &v : response)
            v = built_box_response_db(d, sampler.draw(driver), f);
        std::sort(response, response + SAMPLES);
        const double sigma = d.curves.response_error[point];
        const auto half_width = [&](double share) {
            return 0.5 * (response[int(SAMPLES * (1 - share) / 2 + (SAMPLES * share))] -
                          response[int(SAMPLES * (1 - share) / 2)]);
        };
        EXPECT_GT(sigma, 0.05);
        EXPECT_NEAR(half_width(0.6827) / (BAND_68 * sigma), 1, 0.1);
        EXPECT_NEAR(half_width(0.95) / (BAND_95 * sigma), 1, 0.1);
    }
}

} // namespace
