#include "app/calc/calc_sweep.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
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

} // namespace
