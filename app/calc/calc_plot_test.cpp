#include "app/calc/calc_plot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::size_t count(const std::string &text, const std::string &part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(Plot, AxisStepsAreOneTwoOrFive) {
    EXPECT_EQ(axis_step(43.2, 8), 10);
    EXPECT_EQ(axis_step(40, 8), 5);
    EXPECT_EQ(axis_step(8, 8), 1);
    EXPECT_DOUBLE_EQ(axis_step(1.5, 8), 0.2);
}

TEST(Plot, MarksAndLabels) {
    const std::string svg =
        impedance_svg("8\" <bas> & co", {30, 6, 34, 3}, std::sqrt(240.0), {19.75, 45.57});
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    for (const char *part :
         {"Impedans: 8&quot; &lt;bas&gt; &amp; co", "Frekvens (Hz)", "|Z| (ohm)",
          "Fs = 30.00 Hz, Zmax = 40.00 ohm", "ZF1/ZF2 = 15.49 ohm", "F1 = 19.75 Hz",
          "F2 = 45.57 Hz", ">5</text>", ">200</text>", ">50</text>", "</svg>\n"})
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    EXPECT_EQ(count(svg, "<polyline"), 1u);
    EXPECT_EQ(count(svg, "<circle"), 3u);
}

TEST(Plot, TextsAreWellFormedXml) {
    EXPECT_EQ(xml_text(u8"a\x01\x1B\x1F\t\n\r\x7F å"), u8"a\uFFFD\uFFFD\uFFFD\t\n\r\x7F å");
}

TEST(Plot, CrossingsOutsideTheSpanAreLeftOut) {
    const std::string svg = impedance_svg("x", {30, 6, 34, 3}, 50, {NAN, NAN});
    EXPECT_EQ(svg.find("F1 ="), std::string::npos);
    EXPECT_EQ(count(svg, "<circle"), 1u);
}

// A fit with a plain coil, and its model sampled as a sweep from 1 Hz to 20 kHz.
struct Fitted {
    SweepFit fit{};
    Sweep sweep;

    Fitted(double fs, int points_per_octave) {
        textbook_params(6, fs, 4, 58, fit.solution.p);
        fit.solution.p[LE] = 0.5e-3;
        fit.omega0 = 1;
        fit.Fs = {fs, 0.01};
        fit.band_low = fs / 6;
        fit.band_high = fs * 6;
        for (double f = 1; f < 20000; f *= std::pow(2.0, 1.0 / points_per_octave))
            sweep.points.push_back({f, std::abs(fitted_impedance(fit, f)), 0, 0});
    }
};

TEST(Plot, SweepsOverTheirFittedCurves) {
    const Fitted free(38, 24), loaded(27.5, 24);
    const std::string svg =
        sweep_svg("Bas & co", {{"Fri luft", &free.sweep, &free.fit},
                               {"Adderad massa 20 g", &loaded.sweep, &loaded.fit}});
    for (const char *part : {"Impedans: Bas &amp; co", "Fri luft: Fs = 38.00 Hz",
                             "Adderad massa 20 g: Fs = 27.50 Hz", "</svg>\n"})
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    EXPECT_EQ(count(svg, "<polyline"), 2u);
    // Every point inside the axis, from the lower band's bottom to the upper band's top, and
    // a mark at each resonance.
    std::size_t inside = 0;
    for (const Fitted *s : {&free, &loaded})
        for (const SweepPoint &p : s->sweep.points)
            inside += p.frequency >= 27.5 / 6 && p.frequency <= 38 * 6;
    EXPECT_EQ(count(svg, "<circle"), inside + 2);

    // A long sweep is thinned to a few hundred marks.
    const Fitted dense(38, 2000);
    const std::string thinned = sweep_svg("x", {{"Fri luft", &dense.sweep, &dense.fit}});
    EXPECT_LE(count(thinned, "<circle"), 401u);
    EXPECT_GE(count(thinned, "<circle"), 300u);
}

} // namespace
