#include "measure/measured_curve.h"

#include "measure/synthetic_recording.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

constexpr unsigned RATE = 48000;
constexpr double SECONDS = 5; // the lead-in and two whole periods

struct Jig : ::testing::Test {
    static void SetUpTestSuite() {
        clean = synthetic::record_steady(synthetic::Jig::plain(),
                                         synthetic::own_stimulus(RATE, SECONDS), RATE);
    }
    static Recording clean;

    static ImpedanceSettings settings(const Recording *calibration = nullptr) {
        ImpedanceSettings s;
        s.rref = synthetic::Jig::plain().rref;
        s.calibration = calibration;
        return s;
    }
    // Input B scaled, as by a gain mismatch between the inputs.
    static void scale_b(Recording &r, double gain) {
        for (double &x : r.right)
            x *= gain;
    }
    static void copy(const Recording &from, Recording &to) {
        to.rate = from.rate;
        to.channels = from.channels;
        ASSERT_TRUE(to.left.resize(from.frames()) && to.right.resize(from.frames()));
        for (std::size_t i = 0; i < from.frames(); ++i) {
            to.left[i] = from.left[i];
            to.right[i] = from.right[i];
        }
    }
    // The largest relative error of |Z| from 20 Hz to 10 kHz against the model.
    static double worst_error(const MeasuredCurve &curve) {
        double worst = 0;
        for (const SweepPoint &p : curve.sweep.points)
            if (p.frequency >= 20 && p.frequency <= 10000)
                worst = std::fmax(
                    worst,
                    std::fabs(p.magnitude / std::abs(synthetic::Jig::plain().z(p.frequency)) - 1));
        return worst;
    }
};
Recording Jig::clean;

TEST_F(Jig, CurveFollowsTheModelAndTheFitReadsItsValues) {
    MeasuredCurve curve;
    MeasureError error;
    ASSERT_TRUE(measure_curve(clean, "fri.wav", settings(), curve, error)) << error.message;
    EXPECT_GT(curve.sweep.points.size(), 300u);
    EXPECT_TRUE(curve.sweep.has_phase);
    EXPECT_GE(curve.averages, 2); // whole periods after the lead-in
    EXPECT_FALSE(curve.calibrated);
    EXPECT_LT(worst_error(curve), 1e-4);
    const synthetic::Driver m = synthetic::Jig::plain().driver;
    ASSERT_TRUE(curve.fitted);
    EXPECT_NEAR(curve.re, m.Re, 0.01 * m.Re);
    EXPECT_NEAR(curve.fs, m.Fs, 0.005 * m.Fs);
    EXPECT_NEAR(curve.qts, m.Qts(), 0.02 * m.Qts());
}

TEST_F(Jig, CalibrationTakesOutTheInputsGainMismatch) {
    Recording mismatched, calibration;
    copy(clean, mismatched);
    scale_b(mismatched, 0.9);
    copy(clean, calibration);
    for (std::size_t i = 0; i < calibration.frames(); ++i)
        calibration.right[i] = 0.9 * calibration.left[i];
    MeasureError error;
    ASSERT_TRUE(check_calibration(calibration, "kalibrering", error)) << error.message;

    MeasuredCurve uncalibrated, calibrated;
    ASSERT_TRUE(measure_curve(mismatched, "fri", settings(), uncalibrated, error));
    ASSERT_TRUE(measure_curve(mismatched, "fri", settings(&calibration), calibrated, error));
    EXPECT_GT(worst_error(uncalibrated), 0.05);
    EXPECT_TRUE(calibrated.calibrated);
    EXPECT_LT(worst_error(calibrated), 1e-4);
}

TEST_F(Jig, ADriverOnTheJigIsNoCalibration) {
    MeasureError error;
    EXPECT_FALSE(check_calibration(clean, "kalibrering", error));
    EXPECT_NE(std::string(error.swedish.c_str()).find("ingen kalibrering"), std::string::npos)
        << error.swedish.c_str();
}

// The faults refuse the recording with a Swedish message, and leave the curve as it was.
TEST_F(Jig, FaultsRefuseTheRecording) {
    struct Fault {
        const char *what;
        void (*make)(Recording &);
        const char *swedish;
    };
    const Fault faults[] = {
        {"swapped", [](Recording &r) { std::swap(r.left, r.right); }, u8"förväxlade"},
        {"one signal on both inputs",
         [](Recording &r) {
             for (std::size_t i = 0; i < r.frames(); ++i)
                 r.right[i] = r.left[i];
         },
         "samma sampel"},
        {"clipping", [](Recording &r) { r.left[1000] = 1; }, u8"överstyrs"},
        {"silence",
         [](Recording &r) {
             for (std::size_t i = 0; i < r.frames(); ++i)
                 r.left[i] = r.right[i] = 0;
         },
         "tysta"},
    };
    for (const Fault &fault : faults) {
        Recording r;
        copy(clean, r);
        fault.make(r);
        MeasuredCurve curve;
        curve.sweep.points.push_back({1, 2, 3, 4});
        MeasureError error;
        EXPECT_FALSE(measure_curve(r, "fri", settings(), curve, error)) << fault.what;
        EXPECT_NE(std::string(error.swedish.c_str()).find(fault.swedish), std::string::npos)
            << fault.what << ": " << error.swedish.c_str();
        EXPECT_EQ(curve.sweep.points.size(), 1u) << fault.what;
    }
}

TEST(RecordingFromSamples, LeftIsInputAAndFullScaleIsOne) {
    const std::int16_t samples[] = {-32768, 16384, 32767, 0};
    Recording r;
    ASSERT_TRUE(recording_from_samples(samples, 2, 44100, r));
    EXPECT_EQ(r.rate, 44100u);
    EXPECT_EQ(r.frames(), 2u);
    EXPECT_EQ(r.left[0], -1.0);
    EXPECT_EQ(r.right[0], 0.5);
    EXPECT_EQ(r.left[1], 32767 / 32768.0);
    EXPECT_EQ(r.right[1], 0.0);
}

} // namespace
