#include "measure/impedance_analysis.h"

#include "measure/sweep_fit.h"
#include "measure/synthetic_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace synthetic;

constexpr unsigned RATE = 48000;
constexpr double LOW_HZ = 20, HIGH_HZ = 10000;

// How far the result lies from the model between LOW_HZ and HIGH_HZ.
struct Deviation {
    int points = 0;
    double magnitude_percent = 0; // the largest
    double phase_degrees = 0;
    double within_share = 0; // of the points within the limits given to deviation()
};

Deviation deviation(const ImpedanceResult &r, const Jig &jig, double percent = 1,
                    double degrees = 1) {
    Deviation d;
    int within = 0;
    for (const MeasuredPoint &p : r.points) {
        if (p.frequency < LOW_HZ || p.frequency > HIGH_HZ)
            continue;
        const Complex truth = jig.z(p.frequency);
        const double m = 100 * std::fabs(std::abs(p.z) / std::abs(truth) - 1);
        const double a = std::fabs(std::arg(p.z / truth)) * 180 / PI;
        d.magnitude_percent = std::max(d.magnitude_percent, m);
        d.phase_degrees = std::max(d.phase_degrees, a);
        within += m <= percent && a <= degrees;
        ++d.points;
    }
    d.within_share = d.points ? double(within) / d.points : 0;
    return d;
}

struct Analysed {
    bool ok;
    ImpedanceResult result;
    MeasureError error;
};

Analysed analyse(const Recording &r, const ImpedanceSettings &s) {
    Analysed a;
    a.ok = analyse_impedance(r, "rec.wav", s, a.result, a.error);
    return a;
}

ImpedanceSettings settings(double rref = 10, const Recording *calibration = nullptr) {
    ImpedanceSettings s;
    s.rref = rref;
    s.calibration = calibration;
    return s;
}

bool has(const ImpedanceResult &r, FindingKind kind) {
    for (int i = 0; i < r.finding_count; ++i)
        if (r.findings[i].kind == kind)
            return true;
    return false;
}

std::string findings(const ImpedanceResult &r) {
    std::string all;
    for (int i = 0; i < r.finding_count; ++i)
        all += std::string(r.findings[i].text.message) + "\n";
    return all;
}

// Band and grid: enough points over 20 Hz to 10 kHz for a 1/48-octave grid.
void expect_covers_band(const ImpedanceResult &r, const Deviation &d) {
    EXPECT_LE(r.band_low, LOW_HZ);
    EXPECT_GE(r.band_high, HIGH_HZ);
    EXPECT_GT(d.points, 300);
}

TEST(OwnStimulus, NoiseFreeIsExact) {
    const Jig jig;
    const Analysed a = analyse(record(jig, own_stimulus(RATE), RATE), settings());
    ASSERT_TRUE(a.ok) << a.error.message;
    EXPECT_EQ(a.result.method, AnalysisMethod::PERIODIC);
    EXPECT_EQ(a.result.averages, 9);
    EXPECT_TRUE(a.result.errors_estimated);
    const Deviation d = deviation(a.result, jig);
    EXPECT_LT(d.magnitude_percent, 0.01);
    EXPECT_LT(d.phase_degrees, 0.01);
    expect_covers_band(a.result, d);
    // The only finding on a clean recording is that it has no calibration.
    ASSERT_EQ(a.result.finding_count, 1) << findings(a.result);
    EXPECT_EQ(a.result.findings[0].kind, FindingKind::UNCALIBRATED);
    EXPECT_EQ(a.result.findings[0].severity, Severity::WARNING);
    EXPECT_FALSE(a.result.refused());
    std::printf("own stimulus, noise-free: %d points, |Z| within %.5f %%, phase within %.5f deg\n",
                d.points, d.magnitude_percent, d.phase_degrees);
}

TEST(OwnStimulus, EveryImpairmentWithCalibration) {
    const Jig jig = Jig::impaired();
    const Recording cal = record(jig.calibration(), own_stimulus(RATE), RATE);
    const Recording rec = record(jig, own_stimulus(RATE), RATE);
    const Analysed a = analyse(rec, settings(10, &cal));
    ASSERT_TRUE(a.ok) << a.error.message;
    EXPECT_TRUE(a.result.calibrated);
    const Deviation d = deviation(a.result, jig);
    EXPECT_LT(d.magnitude_percent, 0.5);
    EXPECT_LT(d.phase_degrees, 0.5);
    expect_covers_band(a.result, d);
    EXPECT_EQ(a.result.hum_hz, 50);
    std::printf("own stimulus, impaired, calibrated: %d points, |Z| within %.4f %%, phase within "
                "%.4f deg\n",
                d.points, d.magnitude_percent, d.phase_degrees);
    // The same without the calibration is off by the inputs' mismatch, and says so.
    const Analysed raw = analyse(rec, settings());
    ASSERT_TRUE(raw.ok) << raw.error.message;
    EXPECT_TRUE(has(raw.result, FindingKind::UNCALIBRATED));
    const Deviation u = deviation(raw.result, jig);
    EXPECT_GT(u.magnitude_percent, 5);
    std::printf("own stimulus, impaired, uncalibrated: |Z| within %.2f %%, phase within %.2f deg\n",
                u.magnitude_percent, u.phase_degrees);
}

TEST(Sweep, CleanOverTheWholeRecording) {
    const Jig jig;
    const Analysed a = analyse(record(jig, log_sweep(RATE), RATE), settings());
    ASSERT_TRUE(a.ok) << a.error.message;
    EXPECT_EQ(a.result.method, AnalysisMethod::WHOLE);
    EXPECT_FALSE(a.result.errors_estimated);
    const Deviation d = deviation(a.result, jig);
    EXPECT_LT(d.magnitude_percent, 0.5);
    EXPECT_LT(d.phase_degrees, 0.5);
    expect_covers_band(a.result, d);
    std::printf("sweep, clean: %d points, |Z| within %.4f %%, phase within %.4f deg\n", d.points,
                d.magnitude_percent, d.phase_degrees);
}

TEST(Sweep, EveryImpairmentWithCalibration) {
    const Jig jig = Jig::impaired();
    const Recording cal = record(jig.calibration(), log_sweep(RATE), RATE);
    const Analysed a = analyse(record(jig, log_sweep(RATE), RATE), settings(10, &cal));
    ASSERT_TRUE(a.ok) << a.error.message;
    const Deviation d = deviation(a.result, jig);
    EXPECT_LT(d.magnitude_percent, 1);
    EXPECT_LT(d.phase_degrees, 1);
    expect_covers_band(a.result, d);
    std::printf("sweep, impaired, calibrated: %d points, |Z| within %.4f %%, phase within %.4f "
                "deg; %d left out for hum\n",
                d.points, d.magnitude_percent, d.phase_degrees, a.result.left_out[LEFT_OUT_HUM]);
}

TEST(Noise, TwentySecondsAveraged) {
    const Jig jig = Jig::impaired();
    const Recording cal = record(jig.calibration(), noise(RATE, 20, -22, 3), RATE);
    const Analysed a = analyse(record(jig, noise(RATE, 20), RATE), settings(10, &cal));
    ASSERT_TRUE(a.ok) << a.error.message;
    EXPECT_EQ(a.result.method, AnalysisMethod::WELCH);
    EXPECT_TRUE(a.result.errors_estimated);
    const Deviation d = deviation(a.result, jig);
    EXPECT_GE(d.within_share, 0.95);
    expect_covers_band(a.result, d);
    std::printf("noise 20 s, impaired, calibrated: %d points, %.1f %% within 1 %% and 1 deg; "
                "largest %.3f %% and %.3f deg\n",
                d.points, 100 * d.within_share, d.magnitude_percent, d.phase_degrees);
}

} // namespace
