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
    EXPECT_EQ(xml_text("a\x01\x1B\x1F\t\n\r\x7F \xC3\xA5"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\t\n\r\x7F \xC3\xA5");
}

TEST(Plot, CrossingsOutsideTheSpanAreLeftOut) {
    const std::string svg = impedance_svg("x", {30, 6, 34, 3}, 50, {NAN, NAN});
    EXPECT_EQ(svg.find("F1 ="), std::string::npos);
    EXPECT_EQ(count(svg, "<circle"), 1u);
}

} // namespace
