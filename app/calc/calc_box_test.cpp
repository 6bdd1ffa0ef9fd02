#include "app/calc/calc_box.h"

#include "app/calc/calc_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

CalcOptions parse(std::vector<const char *> args) {
    args.insert(args.begin(), "elemtrix-calc");
    const CalcOptions o =
        parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()));
    EXPECT_EQ(o.error.message, "");
    return o;
}

// The worked example, or other values, as the value column has them.
CalcDriver driver(const char *vas = "50", const char *fs_added = "25") {
    DriverFileLines lines{};
    lines.count = DRIVER_FILE_LINES;
    const char *texts[] = {"Testelement", "30",   "6",    "40",     "500", vas,
                           "3",           "0.45", "0.39", fs_added, "20"};
    for (int i = 0; i < DRIVER_FILE_LINES; ++i)
        std::snprintf(lines.text[i], DRIVER_LINE_SIZE, "%s", texts[i]);
    return calculate_driver("worked.spk", lines);
}

std::shared_ptr<const CalcBox> design(const CalcOptions &o, const CalcDriver &d,
                                      const CovariedDriver *fitted = nullptr) {
    std::shared_ptr<const CalcBox> box;
    MeasureError error;
    EXPECT_TRUE(
        design_calc_box(o.box, d, o.tolerance ? &o.tolerances : nullptr, fitted, box, error))
        << error.message;
    return box;
}

std::string json_of(const CalcBox &box, const std::string &plot = "") {
    JsonWriter json;
    json.begin_object();
    json_box(json, box, plot);
    json.end_object();
    return json.take();
}

bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// A figure's value and error as the JSON has them.
struct Figure {
    double value, error;
};
Figure figure(const std::string &json, const std::string &name) {
    Figure f{NAN, NAN};
    const std::size_t at = json.find("\"" + name + "\": {\"value\": ");
    if (at != std::string::npos)
        std::sscanf(json.c_str() + at + name.size() + 14, "%lf, \"error\": %lf", &f.value,
                    &f.error);
    return f;
}

// Vb = Vas/((Qtc/Qts)² − 1) is proportional to Vas: a tolerance of 10 % on Vas alone gives
// Vb ± 10 %, named as the dominant parameter; the value column's units reach the design as SI.
TEST(Box, SealedFromTheValueColumnWithTolerances) {
    const auto box =
        design(parse({"w.spk", "--box", "sealed", "--tolerance", "Vas=10%"}), driver());
    const double ratio = 0.707 / 0.39, vb = 50 / (ratio * ratio - 1);
    const std::string json = json_of(*box);
    EXPECT_NEAR(figure(json, "Vb").value, vb, 1e-4 * vb);
    EXPECT_NEAR(figure(json, "Vb").error, 0.1 * vb, 1e-4 * vb);
    EXPECT_TRUE(has(json, "\"type\": \"sealed\"")) << json;
    EXPECT_TRUE(has(json, "\"dominant\": \"Vas\"")) << json;
    EXPECT_TRUE(has(json, "\"exact\": [\"Fs\", \"Qts\", \"Qes\", \"Re\", \"Sd\", \"Bl\", \"Mms\"]"))
        << json;
    EXPECT_FALSE(has(json, "\"Fb\"")) << json; // a sealed box has none
    const std::string text = box_report(*box);
    EXPECT_TRUE(has(text, u8"Vb                     21.87 ±    2.19  Liter  (mest från Vas)\n"))
        << text;
    EXPECT_TRUE(has(text, "Exakta (utan medelfel): Fs, Qts, Qes, Re, Sd, Bl, Mms\n")) << text;
    EXPECT_TRUE(has(text, u8"värdekolumnens Känslighet dB")) << text;
}

// Without tolerances every error is null and the text has no ± column; a driver without
// FsAdded has no Mms nor Bl, so no excursion.
TEST(Box, ExactParametersAndUnknownOnes) {
    const auto box =
        design(parse({"w.spk", "--box", "vented", "Port=7", "Xmax=5"}), driver("50", ""));
    const std::string json = json_of(*box, "b.svg");
    EXPECT_TRUE(has(json, "\"error\": null")) << json;
    EXPECT_FALSE(has(json, "\"error\": 0")) << json;
    EXPECT_TRUE(has(json, "\"unknown\": [\"Bl\", \"Mms\"]")) << json;
    EXPECT_FALSE(has(json, "\"excursion\"")) << json;
    EXPECT_TRUE(has(json, "\"plot\": \"b.svg\"")) << json;
    EXPECT_TRUE(has(json, "\"alignment\": \"QB3\"")) << json;
    const std::string text = box_report(*box);
    EXPECT_FALSE(has(text, u8"±")) << text;
    EXPECT_TRUE(has(text, "Inga toleranser")) << text;
    EXPECT_TRUE(has(text, u8"Okända: Bl, Mms")) << text;
}

// Bl and Mms come from Fs, FsAdded and AddedMass, and Bl from Re and Qes too: a tolerance of
// FsAdded reaches the excursion through both, and Fs's error reaches every figure.
TEST(Box, DerivedParametersShareTheirInputsErrors) {
    const auto box = design(
        parse({"w.spk", "--box", "vented", "Xmax=5", "--tolerance", "FsAdded=0.5"}), driver());
    const std::string json = json_of(*box);
    EXPECT_GT(figure(json, "excursion").error, 0) << json;
    EXPECT_EQ(figure(json, "Vb").error, 0) << json; // the design needs no mass
    EXPECT_TRUE(has(json, "\"exact\": [\"Fs\", \"Qts\", \"Vas\", \"Qes\", \"Re\", \"Sd\"]"))
        << json;
}

TEST(Box, MeaninglessBoxesAreRefusedWithTheirReason) {
    const struct {
        std::vector<const char *> args;
        const char *vas;
        const char *message;
    } cases[] = {
        {{"w.spk", "--box", "sealed", "Qtc=0.35"},
         "50",
         "no box for worked.spk: Qts: 0.39 is at or above the wanted Qtc 0.35"},
        {{"w.spk", "--box", "sealed"}, "", "no box for worked.spk: "},
        {{"w.spk", "--box", "vented", "Alignment=C4"}, "50", "no box for worked.spk: Qts: "},
    };
    for (const auto &c : cases) {
        std::shared_ptr<const CalcBox> box;
        MeasureError error;
        const CalcOptions o = parse(c.args);
        EXPECT_FALSE(design_calc_box(o.box, driver(c.vas), nullptr, nullptr, box, error));
        EXPECT_TRUE(has(error.message, c.message)) << error.message;
        EXPECT_EQ(box, nullptr);
    }
}

// The fitted values' covariance reaches the design whole: the sealed box's Vb from Vas and
// Qts, which the fit correlates, has the error J·Σ·Jᵀ with their covariance, and Sd's
// tolerance counts twice in Vas.
TEST(Box, FitCovarianceCarriedIntoTheDesign) {
    for (const char *sd : {"Sd=0", "Sd=2%"}) {
        SCOPED_TRACE(sd);
        const CalcOptions o =
            parse({"--sweep", "mid-free.zma", "--added-sweep", "20", "mid-20g.zma", "Sd=132",
                   "--box", "sealed", "--tolerance", sd});
        Measurement m{};
        MeasureError error;
        ASSERT_TRUE(measure_driver(o, m, error)) << error.message;
        const auto box = design(o, m.driver, &m.covaried);
        const CovariedDriver &c = m.covaried;
        EXPECT_EQ(measurement_report(m).find(u8"Angivet Sd ± 2.6400 från --tolerance\n") !=
                      std::string::npos,
                  std::string(sd) == "Sd=2%")
            << measurement_report(m);
        const double vas = c.value[CV_VAS], qts = c.value[CV_QTS], r = 0.707 / qts;
        const double vb = vas / (r * r - 1);
        const double by_vas = vb / vas, by_qts = vb * 2 * r * r / (r * r - 1) / qts;
        const double variance = by_vas * by_vas * c.covariance[CV_VAS][CV_VAS] +
                                by_qts * by_qts * c.covariance[CV_QTS][CV_QTS] +
                                2 * by_vas * by_qts * c.covariance[CV_VAS][CV_QTS];
        const std::string json = json_of(*box);
        EXPECT_NEAR(figure(json, "Vb").value, vb, 1e-4 * vb);
        EXPECT_NEAR(figure(json, "Vb").error, std::sqrt(variance), 0.01 * std::sqrt(variance));
        const double sd_share = std::string(sd) == "Sd=0" ? 0 : 2 * 0.02;
        EXPECT_NEAR(c.covariance[CV_VAS][CV_VAS],
                    std::pow(m.joint.Cms.error / m.joint.Cms.value * vas, 2) +
                        std::pow(sd_share * vas, 2),
                    1e-6 * c.covariance[CV_VAS][CV_VAS]);
    }
}

// A vented box is a fourth-order high-pass, a closed one a second-order one: the vented box's
// response is delayed more, the most near its tuning.
TEST(Box, GroupDelayOfTheResponse) {
    auto largest = [](const std::string &json, double &at) {
        double ms = NAN;
        const std::size_t p = json.find("\"group_delay_ms\": {\"largest\": ");
        if (p != std::string::npos)
            std::sscanf(json.c_str() + p + 31, "%lf, \"at_Hz\": %lf", &ms, &at);
        return ms;
    };
    double at_sealed = NAN, at_vented = NAN;
    const double sealed =
        largest(json_of(*design(parse({"w.spk", "--box", "sealed"}), driver())), at_sealed);
    const double vented =
        largest(json_of(*design(parse({"w.spk", "--box", "vented"}), driver())), at_vented);
    EXPECT_GT(sealed, 0);
    EXPECT_GT(vented, 1.5 * sealed);
    EXPECT_NEAR(at_vented, 31, 6); // Fb 31 Hz
}

// The drawing: the response with both bands where errors are known, Xmax and the port's limit
// as lines, the port's panel only with a port.
TEST(Box, DrawingShowsTheBandsAndTheLimits) {
    const auto toleranced =
        design(parse({"w.spk", "--box", "vented", "Port=7", "Xmax=5", "--tolerance", "Vas=10%"}),
               driver());
    const std::string svg = box_svg("Testelement", *toleranced);
    for (const char *part : {"<polygon", "#c9daf3", "#7fa7e0", "Xmax 5 mm", u8"gräns 17.2 m/s",
                             "F3 = ", "Frekvens (Hz)", u8"Utslag (mm)", "Port (m/s)"})
        EXPECT_TRUE(has(svg, part)) << part;
    const std::string sealed =
        box_svg("Testelement", *design(parse({"w.spk", "--box", "sealed"}), driver()));
    for (const char *part : {"<polygon", "Port (m/s)", "Xmax"})
        EXPECT_FALSE(has(sealed, part)) << part;
    EXPECT_TRUE(has(sealed, "inget band"));
}

} // namespace
