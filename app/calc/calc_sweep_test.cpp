#include "app/calc/calc_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The example sweeps (examples/, copied beside the test) were made by scripts/make-sweeps.py
// from its mid driver with a lossy coil, 1 % noise on |Z| and 0.5° on the phase.
constexpr double TRUE_FS = 38, TRUE_QMS = 4.1, TRUE_QES = 0.42, TRUE_MMS = 22;

CalcOptions parse(std::vector<const char *> args) {
    args.insert(args.begin(), "elemtrix-calc");
    const CalcOptions o =
        parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()));
    EXPECT_EQ(o.error.message, "");
    return o;
}

bool measure(const CalcOptions &o, Measurement &m, MeasureError &error) {
    m = Measurement{};
    return measure_driver(o, m, error);
}

bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// A copy of the free-air example with every frequency and |Z| scaled.
void write_scaled(const char *path, double f_scale, double z_scale) {
    std::ifstream in("mid-free.zma");
    std::ofstream out(path);
    std::string line;
    while (std::getline(in, line)) {
        double f, z, phase;
        if (std::sscanf(line.c_str(), "%lf %lf %lf", &f, &z, &phase) == 3) {
            char row[100];
            std::snprintf(row, sizeof row, "%.9g %.9g %.9g", f * f_scale, z * z_scale, phase);
            line = row;
        }
        out << line << "\n";
    }
}

TEST(Sweep, TheExampleGivesFieldsValueColumnAndFile) {
    const CalcOptions o =
        parse({"--sweep", "mid-free.zma", "--added-sweep", "20", "mid-20g.zma", "--added-sweep",
               "30", "mid-30g.zma", "Sd=132", "Re=6", "Name=Mellanregister"});
    Measurement m;
    MeasureError error;
    ASSERT_TRUE(measure(o, m, error)) << error.message;
    const DriverInputs &in = m.driver.inputs;
    EXPECT_NEAR(in[InputId::Fs].value, TRUE_FS, 0.005 * TRUE_FS);
    EXPECT_NEAR(in[InputId::Qms].value, TRUE_QMS, 0.02 * TRUE_QMS);
    EXPECT_NEAR(in[InputId::Qes].value, TRUE_QES, 0.02 * TRUE_QES);
    EXPECT_NEAR(m.added.Mms.value, TRUE_MMS, 0.01 * TRUE_MMS);
    EXPECT_NEAR(m.joint.Mms.value, TRUE_MMS, 0.01 * TRUE_MMS);
    EXPECT_EQ(m.added.masses, 2);
    EXPECT_EQ(m.joint.sweeps, 3);

    // As many digits as the fields hold; the given values as given; the largest mass with the
    // resonance that gives the joint fit's Mms.
    EXPECT_EQ(std::strlen(in[InputId::Fs].text), 8u);
    EXPECT_STREQ(in[InputId::Re].text, "6");
    EXPECT_STREQ(in[InputId::Sd].text, "132");
    EXPECT_STREQ(in[InputId::AddedMass].text, "30");
    EXPECT_NEAR(in[InputId::FsAdded].value, m.joint.FsAdded.value, 1e-4);
    EXPECT_TRUE(m.fields.vas_from_compliance);
    EXPECT_NEAR(in[InputId::Vas].value, vas_from_compliance(m.joint.Cms, 132).value, 1e-5);
    EXPECT_TRUE(m.driver.findings.empty());

    // An input's own row carries its standard error; a given value carries none.
    const int fs = static_cast<int>(InputId::Fs), sd = static_cast<int>(InputId::Sd);
    EXPECT_DOUBLE_EQ(m.uncertainties.row[fs].plus_minus, m.fields.input[fs].error);
    EXPECT_GT(m.uncertainties.row[fs].plus_minus, 0);
    EXPECT_EQ(m.uncertainties.row[sd].plus_minus, 0);
    for (bool left_out : m.left_out)
        EXPECT_FALSE(left_out);

    // What "Spara" writes and "Öppna" reads back.
    std::remove("fitted.spk");
    ASSERT_TRUE(save_measured_driver("fitted.spk", m));
    DriverFileLines back;
    ASSERT_TRUE(read_driver_file("fitted.spk", back));
    ASSERT_EQ(back.count, DRIVER_FILE_LINES);
    EXPECT_STREQ(back.text[0], "Mellanregister");
    for (int i = 0; i < INPUT_COUNT; ++i)
        EXPECT_STREQ(back.text[i + 1], in.entry[i].text) << INPUT_DESCRIPTORS[i].name;
}

TEST(Sweep, ReportTellsWhatWasFittedAndWhatGiven) {
    Measurement m;
    MeasureError error;
    ASSERT_TRUE(
        measure(parse({"--sweep", "mid-free.zma", "--added-sweep", "20", "mid-20g.zma", "Sd=132"}),
                m, error))
        << error.message;
    const std::string fitted = measurement_report(m);
    for (const char *part :
         {"Fri luft: mid-free.zma\n", "Adderad massa 20 g: mid-20g.zma\n", "genom 2 resonanser",
          u8"Vas från Cms och Sd: ",
          u8"(luftens densitet 1.204 kg/m³, ljudets hastighet 343.2 m/s)", u8"OBS: Re är anpassat",
          "talspole Le + R2 parallellt med L2", "komplex impedans (|Z| och fas)",
          "Vikt ad.massa         20\n", u8"korrelationer förs inte vidare"})
        EXPECT_TRUE(has(fitted, part)) << part << "\n" << fitted;
    EXPECT_FALSE(has(fitted, u8"Utan ±"));

    // Re and Vas given, no added mass: nothing about them is fitted, FsAdded stays empty.
    ASSERT_TRUE(measure(parse({"--sweep", "mid-free.zma", "Sd=132", "Re=6", "Vas=20.5"}), m, error))
        << error.message;
    const std::string given = measurement_report(m);
    EXPECT_TRUE(has(given, "angivet  ohm\n")) << given;
    EXPECT_TRUE(has(given, "Vas                   20.5\n")) << given;
    for (const char *part : {"OBS", "Adderad massa", u8"Vas från"})
        EXPECT_FALSE(has(given, part)) << part;
    EXPECT_STREQ(m.driver.inputs[InputId::FsAdded].text, "");
}

TEST(Sweep, ValuesBeyondTheirFieldsOrTheirErrors) {
    // |Z| two million times larger: Zmax needs nine characters.
    write_scaled("huge.zma", 1, 2e6);
    Measurement m;
    MeasureError error;
    EXPECT_FALSE(measure(parse({"--sweep", "huge.zma", "Sd=132"}), m, error));
    EXPECT_EQ(error.message.view().rfind("huge.zma: Zmax 1.2", 0), 0u) << error.message;
    EXPECT_TRUE(has(error.message, "e+08 does not fit its field of 8 characters")) << error.message;

    // A mass that hardly lowers the resonance: the compliance's error exceeds it, and Vas
    // is left out of the uncertainties and named.
    write_scaled("near.zma", 0.9999, 1);
    ASSERT_TRUE(measure(
        parse({"--sweep", "mid-free.zma", "--added-sweep", "20", "near.zma", "Sd=132"}), m, error))
        << error.message;
    EXPECT_TRUE(m.left_out[static_cast<int>(InputId::Vas)]);
    EXPECT_FALSE(m.left_out[static_cast<int>(InputId::Fs)]);
    EXPECT_TRUE(has(measurement_report(m), u8"Utan ± från Vas: "));
}

constexpr double PI = 3.14159265358979323846;

// A textbook driver (Fs 38 Hz, Qms 4.1, Qes 0.42) with 0.2 % noise and, where bump_hz is above
// 0, a bump below the resonance that no model takes.
void write_bumped(const char *path, double bump_hz) {
    std::mt19937 random(1101);
    std::normal_distribution<double> noise(0, 0.002);
    std::ofstream out(path);
    for (int i = 0; i < 264; ++i) {
        const double f = 10 * std::pow(2000.0, i / 263.0);
        std::complex<double> z = 6.0 + std::complex<double>(0, 2 * PI * f * 0.5e-3) +
                                 6 * 4.1 / 0.42 / std::complex<double>(1, 4.1 * (f / 38 - 38 / f));
        if (bump_hz > 0)
            z += 1.5 / std::complex<double>(1, 3 * (f / bump_hz - bump_hz / f));
        z *= std::complex<double>(1 + noise(random), noise(random));
        char row[100];
        std::snprintf(row, sizeof row, "%.6f %.6f %.6f\n", f, std::abs(z), std::arg(z) * 180 / PI);
        out << row;
    }
}

// Where the model cannot follow the sweep, the report says that the errors are widened, and
// the box takes the widened covariance; where it can, neither.
TEST(Sweep, ReportTellsWhereTheErrorsAreWidened) {
    const char OBS[] =
        u8"OBS: modellens avvikelse överstiger mätningens spridning mer än 2 gånger; "
        u8"medelfelen är multiplicerade med RMS/spridning = ";
    for (const double bump : {25.0, 0.0}) {
        SCOPED_TRACE(bump);
        write_bumped("bumped.txt", bump);
        Measurement m;
        MeasureError error;
        ASSERT_TRUE(measure(parse({"--sweep", "bumped.txt", "Sd=132", "Re=6"}), m, error))
            << error.message;
        const FitQuality &q = m.sweeps.front().fit.quality;
        EXPECT_EQ(has(measurement_report(m), OBS), bump > 0) << measurement_report(m);
        EXPECT_EQ(q.error_scale > 1, bump > 0);
        const double qts_error = m.sweeps.front().fit.Qts.error;
        EXPECT_DOUBLE_EQ(m.covaried.covariance[CV_QTS][CV_QTS], qts_error * qts_error);
    }
}

} // namespace
