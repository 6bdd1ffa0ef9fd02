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

namespace {

// A short recording of our stimulus: the lead-in and two periods.
Recording short_recording(const Jig &jig, double peak_dbfs = STIMULUS_DEFAULT_PEAK_DBFS) {
    return record(jig, own_stimulus(RATE, 4, peak_dbfs), RATE);
}

Jig quiet_jig() {
    Jig jig;
    jig.noise_dbfs = -90;
    return jig;
}

void expect_refused(const Analysed &a, FindingKind kind, const std::string &message) {
    EXPECT_FALSE(a.ok);
    EXPECT_TRUE(a.result.refused());
    ASSERT_TRUE(has(a.result, kind)) << findings(a.result);
    EXPECT_EQ(std::string(a.error.message), message);
    for (int i = 0; i < a.result.finding_count; ++i) {
        if (a.result.findings[i].kind == kind) {
            EXPECT_EQ(a.result.findings[i].severity, Severity::REFUSED);
        }
    }
}

TEST(Checks, ClippingIsRefusedNamingTheInput) {
    Jig loud = quiet_jig();
    loud.output_gain = 8; // 18 dB over the stimulus's -12 dBFS peak
    const Analysed a = analyse(short_recording(loud), settings());
    expect_refused(a, FindingKind::CLIPPING, a.error.message);
    const std::string message = a.error.message;
    EXPECT_EQ(message.substr(0, 24), "rec.wav: input A clips: ");
    // A float recording keeps its overshoot: the peak at +6 dBFS is 12 dB over -6 dBFS.
    EXPECT_EQ(message.substr(message.size() - 56),
              "at or near full scale; lower the level by at least 12 dB");
    Jig b_high = quiet_jig();
    b_high.gain_b_db = 20;
    const Analysed b = analyse(short_recording(b_high), settings());
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(std::string(b.error.message).substr(0, 24), "rec.wav: input B clips: ");
}

TEST(Checks, FaultsOfTheJigAreRefused) {
    Jig open = quiet_jig();
    open.wiring = Wiring::OPEN;
    open.rin_b = 1e6;
    const Analysed o = analyse(short_recording(open), settings());
    EXPECT_FALSE(o.ok);
    ASSERT_TRUE(has(o.result, FindingKind::OPEN_JIG)) << findings(o.result);
    EXPECT_EQ(std::string(o.error.message).rfind("rec.wav: no driver connected", 0), 0u)
        << o.error.message;

    Jig shorted = quiet_jig();
    shorted.wiring = Wiring::SHORTED;
    const Analysed s = analyse(short_recording(shorted), settings());
    EXPECT_FALSE(s.ok);
    EXPECT_TRUE(has(s.result, FindingKind::SHORTED)) << findings(s.result);

    Jig mono = quiet_jig();
    mono.wiring = Wiring::IDENTICAL;
    expect_refused(analyse(short_recording(mono), settings()), FindingKind::IDENTICAL,
                   "rec.wav: both inputs carry the same samples: a mono input or a monitor mix, "
                   "not the jig's two inputs");
}

TEST(Checks, NoBroadbandSignal) {
    const Jig jig = quiet_jig();
    const Analysed tone = analyse(record(jig, sine(RATE, 3, 1000), RATE), settings());
    EXPECT_FALSE(tone.ok);
    EXPECT_TRUE(has(tone.result, FindingKind::NO_SIGNAL)) << findings(tone.result);
    Jig silent;
    const Analysed none = analyse(record(silent, std::vector<double>(RATE, 0.0), RATE), settings());
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(has(none.result, FindingKind::NO_SIGNAL)) << findings(none.result);
}

TEST(Checks, SwappedInputsAreExchangedAndSaid) {
    Jig swapped = Jig::impaired();
    const Recording cal = record(swapped.calibration(), own_stimulus(RATE, 4), RATE);
    swapped.wiring = Wiring::SWAPPED;
    const Analysed a = analyse(short_recording(swapped), settings(10, &cal));
    ASSERT_TRUE(a.ok) << a.error.message;
    EXPECT_TRUE(a.result.swapped);
    EXPECT_TRUE(has(a.result, FindingKind::SWAPPED));
    const Deviation d = deviation(a.result, swapped);
    EXPECT_LT(d.magnitude_percent, 0.5);
    EXPECT_LT(d.phase_degrees, 0.5);
}

TEST(Checks, ABandWithoutSignalIsNarrowedAndSaid) {
    const Jig jig = quiet_jig();
    const Analysed a = analyse(record(jig, log_sweep(RATE, 4, 100, 5000), RATE), settings());
    ASSERT_TRUE(a.ok) << a.error.message;
    EXPECT_TRUE(has(a.result, FindingKind::BAND_NARROWED)) << findings(a.result);
    // The sweep's faded ends spread a little below and above it.
    EXPECT_GT(a.result.band_low, 40);
    EXPECT_LT(a.result.band_low, 110);
    EXPECT_GT(a.result.band_high, 4500);
    EXPECT_LT(a.result.band_high, 8000);
    EXPECT_GT(a.result.left_out[LEFT_OUT_LEVEL], 100);
}

TEST(Checks, LowLevelAndHumAreWarnings) {
    Jig jig = quiet_jig();
    const Analysed quiet = analyse(short_recording(jig, -46), settings());
    ASSERT_TRUE(quiet.ok) << quiet.error.message;
    EXPECT_TRUE(has(quiet.result, FindingKind::LOW_LEVEL)) << findings(quiet.result);
    EXPECT_FALSE(quiet.result.refused());
    jig.hum_dbfs = -50;
    const Analysed hum = analyse(record(jig, log_sweep(RATE, 4), RATE), settings());
    ASSERT_TRUE(hum.ok) << hum.error.message;
    EXPECT_EQ(hum.result.hum_hz, 50);
    EXPECT_TRUE(has(hum.result, FindingKind::HUM)) << findings(hum.result);
    EXPECT_GT(hum.result.left_out[LEFT_OUT_HUM], 0);
    const Analysed clean = analyse(record(quiet_jig(), log_sweep(RATE, 4), RATE), settings());
    ASSERT_TRUE(clean.ok) << clean.error.message;
    EXPECT_EQ(clean.result.hum_hz, 0);
    EXPECT_EQ(clean.result.finding_count, 1) << findings(clean.result); // uncalibrated
}

TEST(Checks, ACalibrationMustHaveBothInputsOnOneNode) {
    // A perfect pair of inputs on one node gives the same samples twice: that is a calibration.
    Jig mono = quiet_jig();
    mono.wiring = Wiring::IDENTICAL;
    const Recording same = short_recording(mono);
    const Analysed c = analyse(short_recording(quiet_jig()), settings(10, &same));
    EXPECT_TRUE(c.ok) << c.error.message;
    EXPECT_TRUE(c.result.calibrated);

    const Jig jig = quiet_jig();
    const Recording measured = short_recording(jig);
    const Analysed a = analyse(measured, settings(10, &measured));
    EXPECT_FALSE(a.ok);
    EXPECT_TRUE(has(a.result, FindingKind::NOT_CALIBRATION)) << findings(a.result);
    EXPECT_EQ(std::string(a.error.message).rfind("calibration: not a calibration", 0), 0u)
        << a.error.message;
}

// Input B's loading and the leads' resistance, from recordings of the open and the shorted jig
// or from values.
TEST(Corrections, OpenAndShortFromRecordingsOrValues) {
    Jig jig = quiet_jig();
    jig.rin_b = 10e3, jig.cin_b = 1e-9, jig.rlead = 0.3;
    Jig open = jig, shorted = jig;
    open.wiring = Wiring::OPEN;
    shorted.wiring = Wiring::SHORTED;
    const Recording rec = short_recording(jig), open_rec = short_recording(open),
                    short_rec = short_recording(shorted);
    const Analysed raw = analyse(rec, settings());
    ASSERT_TRUE(raw.ok) << raw.error.message;
    EXPECT_GT(deviation(raw.result, jig).magnitude_percent, 3);
    ImpedanceSettings s = settings();
    s.open = &open_rec;
    s.shorted = &short_rec;
    const Analysed corrected = analyse(rec, s);
    ASSERT_TRUE(corrected.ok) << corrected.error.message;
    EXPECT_TRUE(corrected.result.open_corrected && corrected.result.short_corrected);
    const Deviation d = deviation(corrected.result, jig);
    EXPECT_LT(d.magnitude_percent, 0.05);
    EXPECT_LT(d.phase_degrees, 0.05);

    jig.cin_b = 0;
    jig.noise_dbfs = -INFINITY;
    const Recording resistive = short_recording(jig);
    ImpedanceSettings v = settings();
    v.rin = 10e3;
    v.rlead = 0.3;
    const Analysed by_value = analyse(resistive, v);
    ASSERT_TRUE(by_value.ok) << by_value.error.message;
    const Deviation dv = deviation(by_value.result, jig);
    EXPECT_LT(dv.magnitude_percent, 0.001);
    EXPECT_LT(dv.phase_degrees, 0.001);
}

TEST(Results, ErrorsAreEstimatedOnlyFromEnoughAverages) {
    const Jig jig = quiet_jig();
    const Analysed two = analyse(short_recording(jig), settings());
    ASSERT_TRUE(two.ok) << two.error.message;
    EXPECT_EQ(two.result.averages, 2);
    EXPECT_FALSE(two.result.errors_estimated);
    Sweep sweep;
    ASSERT_TRUE(result_to_sweep(two.result, sweep));
    EXPECT_FALSE(sweep.has_errors);
    const Analysed nine = analyse(record(jig, own_stimulus(RATE), RATE), settings());
    ASSERT_TRUE(nine.ok) << nine.error.message;
    ASSERT_TRUE(nine.result.errors_estimated);
    ASSERT_TRUE(result_to_sweep(nine.result, sweep));
    EXPECT_TRUE(sweep.has_errors);
    // Noise at -90 dBFS: the standard errors are tiny, and they cover the errors found.
    int covered = 0;
    for (const MeasuredPoint &p : nine.result.points) {
        ASSERT_GT(p.magnitude_error, 0);
        covered += std::fabs(std::abs(p.z) - std::abs(jig.z(p.frequency))) < 3 * p.magnitude_error;
    }
    EXPECT_GT(covered, 0.95 * nine.result.points.size());
}

// The fit of a measured curve: Fs within 0.5 % and Qts within 2 % of the model's.
TEST(Results, FitOfARecordedMeasurement) {
    const Jig jig = Jig::impaired();
    const Recording cal = record(jig.calibration(), own_stimulus(RATE), RATE);
    const Analysed a = analyse(record(jig, own_stimulus(RATE), RATE), settings(10, &cal));
    ASSERT_TRUE(a.ok) << a.error.message;
    Sweep sweep;
    ASSERT_TRUE(result_to_sweep(a.result, sweep));
    SweepFit fit{};
    MeasureError error;
    ASSERT_TRUE(fit_sweep(sweep, "rec.wav", {}, fit, error)) << error.message;
    double truth[VALUE_COUNT];
    jig.driver.values(truth);
    EXPECT_NEAR(fit.Fs.value / truth[V_FS], 1, 0.005);
    EXPECT_NEAR(fit.Qts.value / truth[V_QTS], 1, 0.02);
    std::printf("fit of the recorded measurement: Fs %.4f Hz (true %.4f), Qts %.5f (true %.5f)\n",
                fit.Fs.value, truth[V_FS], fit.Qts.value, truth[V_QTS]);
}

} // namespace

namespace {

// What make-recording writes and the other programs play: a 16-bit WAV file of the model's
// recording, analysed after reading it back.
TEST(Results, ThroughA16BitWavFile) {
    Jig jig = quiet_jig();
    jig.pcm16 = true;
    const Recording made = short_recording(jig);
    const std::string path = ::testing::TempDir() + "/model.wav";
    MeasureError error;
    ASSERT_TRUE(write_wav_file(path.c_str(), RATE, made.left.data(), made.right.data(),
                               made.frames(), WavFormat::PCM16, error))
        << error.message;
    Recording read;
    ASSERT_TRUE(read_wav_file(path.c_str(), read, error)) << error.message;
    const Analysed a = analyse(read, settings());
    ASSERT_TRUE(a.ok) << a.error.message;
    const Deviation d = deviation(a.result, jig);
    EXPECT_LT(d.magnitude_percent, 0.1);
    EXPECT_LT(d.phase_degrees, 0.1);
}

} // namespace

namespace {

// Recordings too short, silent on one input, or holding nothing but a constant: a clear
// refusal each, never a crash or a curve; short noise is measured at the resolution it allows
// (the sanitizer tree runs this too).
TEST(Results, DegenerateRecordingsAreRefused) {
    const std::vector<double> lengths_of_noise[] = {noise(RATE, 2.0 / RATE), noise(RATE, 0.002),
                                                    noise(RATE, 0.05), noise(RATE, 0.3)};
    for (const std::vector<double> &x : lengths_of_noise) {
        const bool long_enough = x.size() >= RATE / 20;
        Recording r;
        r.rate = RATE;
        r.left.resize(x.size());
        r.right.resize(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) {
            r.left[i] = x[i];
            r.right[i] = 0.5 * x[(i + 1) % x.size()];
        }
        const Analysed a = analyse(r, settings());
        EXPECT_EQ(a.ok, long_enough) << x.size() << ": " << a.error.message.c_str();
        if (!long_enough) {
            EXPECT_EQ(std::string(a.error.message).rfind("rec.wav: ", 0), 0u) << a.error.message;
        }
    }
    Recording one_sided = record(quiet_jig(), own_stimulus(RATE, 4), RATE);
    for (double &v : one_sided.right)
        v = 0;
    EXPECT_FALSE(analyse(one_sided, settings()).ok);
    Recording constant;
    constant.rate = RATE;
    constant.left.resize(RATE);
    constant.right.resize(RATE);
    for (std::size_t i = 0; i < RATE; ++i)
        constant.left[i] = constant.right[i] = 0.25 + (i % 2) * 1e-9;
    EXPECT_FALSE(analyse(constant, settings()).ok);
    ImpedanceSettings no_rref = settings(0);
    EXPECT_FALSE(analyse(one_sided, no_rref).ok);
}

// The transforms' lengths: multiples of 4 with no prime factor but 2, 3 and 5, the nearest
// above a recording or within a silence, whatever its length.
TEST(Results, QuickLengthsAreTheNearestSmoothOnes) {
    const auto smooth = [](std::size_t n) {
        std::size_t m = n;
        for (std::size_t f : {2, 3, 5})
            while (m > 0 && m % f == 0)
                m /= f;
        return n > 0 && m == 1 && n % 4 == 0;
    };
    EXPECT_EQ(smooth_length_within(3), 0u);
    for (std::size_t size = 1; size < 3000; ++size) {
        const std::size_t above = smooth_length(size), within = smooth_length_within(size);
        ASSERT_TRUE(smooth(above)) << size;
        ASSERT_GE(above, size);
        for (std::size_t n = size; n < above; ++n)
            ASSERT_FALSE(smooth(n)) << size;
        ASSERT_LE(within, size);
        ASSERT_TRUE(within == 0 || smooth(within)) << size;
        for (std::size_t n = within + 1; n <= size; ++n)
            ASSERT_FALSE(smooth(n)) << size;
    }
    // A silence of 100,003 samples less a few is cut to the quick 100,000.
    EXPECT_EQ(smooth_length_within(100012), 100000u);
}

} // namespace
