// Recordings of the jig made from the circuit model, through elemtrix-calc's analysis, report,
// sweep file and fit: from two recordings to the fitted driver in one run.
#include "app/calc/calc_impedance.h"
#include "app/calc/calc_sweep.h"
#include "measure/synthetic_recording.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr unsigned RATE = 48000;
constexpr double MMS_GRAMS = 22; // the model's moving mass, for the added-mass recording

CalcOptions parse(std::vector<const char *> args) {
    args.insert(args.begin(), "elemtrix-calc");
    return parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()));
}

// The jig with every impairment, its driver loaded with grams on the cone: the resonance falls
// by √(Mms/(Mms + m)), and both Q's rise by its inverse.
synthetic::Jig jig_with(double grams) {
    synthetic::Jig jig = synthetic::Jig::impaired();
    const double k = std::sqrt(MMS_GRAMS / (MMS_GRAMS + grams));
    jig.driver.Fs *= k;
    jig.driver.Qms /= k;
    jig.driver.Qes /= k;
    return jig;
}

void write(const char *path, const Recording &r) {
    MeasureError error;
    ASSERT_TRUE(write_wav_file(path, r.rate, r.left.data(), r.right.data(), r.frames(),
                               WavFormat::PCM16, error))
        << error.message;
}

// The free-air, added-mass and calibration recordings, made once for all the tests.
class Recordings : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::vector<double> stimulus = synthetic::own_stimulus(RATE, 8);
        write("calc-free.wav", synthetic::record(jig_with(0), stimulus, RATE));
        write("calc-added.wav", synthetic::record(jig_with(20), stimulus, RATE));
        write("calc-calibration.wav", synthetic::record(jig_with(0).calibration(), stimulus, RATE));
    }
};

} // namespace

TEST_F(Recordings, GoFromTheRecordingsToTheFittedDriverInOneRun) {
    const CalcOptions o =
        parse({"--sweep", "calc-free.wav", "--added-sweep", "20", "calc-added.wav", "Rref=10",
               "Sd=132", "--calibration", "calc-calibration.wav"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    Measurement m;
    MeasureError error;
    ASSERT_TRUE(measure_driver(o, m, error)) << error.message;
    ASSERT_EQ(m.sweeps.size(), 2u);
    for (const MeasuredSweep &s : m.sweeps) {
        double truth[VALUE_COUNT];
        jig_with(s.mass).driver.values(truth);
        EXPECT_NEAR(s.fit.Fs.value, truth[V_FS], 0.005 * truth[V_FS]) << s.shown;
        EXPECT_NEAR(s.fit.Qts.value, truth[V_QTS], 0.02 * truth[V_QTS]) << s.shown;
        EXPECT_TRUE(s.sweep.has_phase);
        // Calibrated: the warnings say nothing of it.
        EXPECT_EQ(s.notes.find("okalibrerad"), std::string::npos) << s.notes;
    }
    EXPECT_NEAR(m.joint.Mms.value, MMS_GRAMS, 0.02 * MMS_GRAMS);
    EXPECT_NE(measurement_report(m).find("Fri luft: calc-free.wav\n"), std::string::npos);
}

TEST_F(Recordings, WithoutCalibrationTheSweepSaysSoAndStillFits) {
    const CalcOptions o = parse({"--sweep", "calc-free.wav", "Rref=10", "Sd=132"});
    Measurement m;
    MeasureError error;
    ASSERT_TRUE(measure_driver(o, m, error)) << error.message;
    EXPECT_NE(m.sweeps[0].notes.find("OBS: calc-free.wav: okalibrerad"), std::string::npos)
        << m.sweeps[0].notes;
    EXPECT_NE(
        measurement_report(m).find("Fri luft: calc-free.wav\nOBS: calc-free.wav: okalibrerad"),
        std::string::npos);
}

TEST_F(Recordings, ReportJsonAndSweepFileAgree) {
    const CalcOptions o = parse({"--impedance", "calc-free.wav", "Rref=10", "--calibration",
                                 "calc-calibration.wav", "--out", "calc-free.zma"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    Corrections c;
    AnalysedRecording a;
    MeasureError error;
    ASSERT_TRUE(read_corrections(o, c, error)) << error.message;
    ASSERT_TRUE(analyse_recording_file(o.impedance_path, o, c, a, error)) << error.message;
    const std::string report = impedance_report(o, a, "calc-free.zma");
    EXPECT_NE(report.find(u8"Metod: periodiskt stimulus över hela perioder, 5 medelvärden"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("korrektioner: kanalkalibrering (calc-calibration.wav)"),
              std::string::npos);
    EXPECT_NE(report.find("Svep: calc-free.zma\n"), std::string::npos);
    const std::string json = impedance_json(o, a, "calc-free.zma");
    EXPECT_NE(json.find("\"calibration\": \"calc-calibration.wav\""), std::string::npos);
    EXPECT_NE(json.find("\"sweep\": \"calc-free.zma\""), std::string::npos);
    EXPECT_NE(json.find("\"method\": \"periodic\""), std::string::npos);

    // The sweep file reads back to the points, the phase in degrees and back.
    ASSERT_TRUE(write_measured_sweep("calc-free.zma", a.result, error)) << error.message;
    Sweep sweep;
    ASSERT_TRUE(read_sweep_file("calc-free.zma", sweep, error)) << error.message;
    ASSERT_EQ(sweep.points.size(), a.result.points.size());
    for (std::size_t i = 0; i < sweep.points.size(); ++i) {
        const MeasuredPoint &p = a.result.points[i];
        EXPECT_NEAR(sweep.points[i].magnitude, std::abs(p.z), 1e-9 * std::abs(p.z));
        EXPECT_NEAR(sweep.points[i].phase, std::arg(p.z), 1e-9);
    }
}

TEST(StimulusFile, HoldsOurStimulusOnBothChannelsAtTheRateAsked) {
    double seconds = 0;
    MeasureError error;
    ASSERT_TRUE(write_stimulus_file("calc-stimulus.wav", 44100, 5, seconds, error))
        << error.message;
    Recording r;
    ASSERT_TRUE(read_wav_file("calc-stimulus.wav", r, error)) << error.message;
    EXPECT_EQ(r.rate, 44100u);
    EXPECT_EQ(r.bits, 16);
    EXPECT_DOUBLE_EQ(seconds, r.seconds());
    Buffer<double> made;
    ASSERT_TRUE(make_stimulus(44100, 5, STIMULUS_DEFAULT_PEAK_DBFS, made));
    ASSERT_EQ(r.frames(), made.size());
    double worst = 0;
    for (std::size_t i = 0; i < made.size(); ++i) {
        worst = std::max(worst, std::abs(r.left[i] - made[i]));
        EXPECT_EQ(r.left[i], r.right[i]);
    }
    EXPECT_LE(worst, 0.5 / 32768); // rounded to 16 bits, nothing more
}
