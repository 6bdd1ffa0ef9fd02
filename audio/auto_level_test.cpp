// The level search as a rule, then run with the private sound card of the tests
// (scripts/sound-jig.sh), where the output comes back on both inputs as it was played.
#include "audio/auto_level.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double TWO_PI = 2 * 3.14159265358979323846;

SoundPeaks peaks_of(double a, double b = -HUGE_VAL) {
    SoundPeaks p;
    p.a = a;
    p.b = b;
    p.clipped = a >= LEVEL_CLIP_DBFS || b >= LEVEL_CLIP_DBFS;
    return p;
}

} // namespace

TEST(NextLevel, RaisesAQuietInputStepByStepUpToTheHighestAllowed) {
    LevelSearch s;
    ASSERT_TRUE(next_level(s, peaks_of(-70))); // mostly noise: one step of 20 dB
    EXPECT_DOUBLE_EQ(s.level, LEVEL_START_DBFS + 20);
    ASSERT_TRUE(next_level(s, peaks_of(-40)));
    EXPECT_DOUBLE_EQ(s.level, LEVEL_DEFAULT_MAX_DBFS);
    EXPECT_FALSE(s.done);
    ASSERT_TRUE(next_level(s, peaks_of(-32)));
    EXPECT_TRUE(s.done);
    EXPECT_DOUBLE_EQ(s.level, LEVEL_DEFAULT_MAX_DBFS);
}

TEST(NextLevel, StopsWhereInputAPeaksNearSixBelowFullScale) {
    LevelSearch s;
    s.max = 0;
    ASSERT_TRUE(next_level(s, peaks_of(-24)));
    EXPECT_DOUBLE_EQ(s.level, LEVEL_START_DBFS + 18);
    ASSERT_TRUE(next_level(s, peaks_of(-6.5, -12)));
    EXPECT_TRUE(s.done);
    EXPECT_DOUBLE_EQ(s.level, LEVEL_START_DBFS + 18);
}

TEST(NextLevel, LowersAnInputAboveTheTarget) {
    LevelSearch s;
    s.level = -20;
    ASSERT_TRUE(next_level(s, peaks_of(-1, -2)));
    EXPECT_FALSE(s.done);
    EXPECT_DOUBLE_EQ(s.level, -25);
}

TEST(NextLevel, NeverReturnsToALevelThatClipped) {
    LevelSearch s;
    s.max = 0;
    s.level = -10;
    ASSERT_TRUE(next_level(s, peaks_of(-30, -0.1))); // input B clipped
    EXPECT_DOUBLE_EQ(s.level, -22);
    // Input A quiet, wanting 24 dB more: held below the level that clipped.
    ASSERT_TRUE(next_level(s, peaks_of(-30)));
    EXPECT_DOUBLE_EQ(s.level, -11);
    ASSERT_TRUE(next_level(s, peaks_of(-19)));
    EXPECT_TRUE(s.done);
    EXPECT_DOUBLE_EQ(s.level, -11);
}

TEST(NextLevel, GivesUpWhenEvenTheLowestLevelClips) {
    LevelSearch s;
    int tries = 0;
    while (next_level(s, peaks_of(0)))
        ++tries;
    EXPECT_EQ(tries, 3); // -40, -52, -64, then -76 clips and -88 is too low
}

TEST(Peaks, AreEachInputsLargestSampleAndFullScaleIsClipped) {
    Buffer<std::int16_t> r;
    ASSERT_TRUE(r.resize(6));
    const std::int16_t samples[] = {1000, -16384, -2000, 100, 0, 0};
    for (int i = 0; i < 6; ++i)
        r[i] = samples[i];
    SoundPeaks p = sound_peaks(r);
    EXPECT_NEAR(p.a, 20 * std::log10(2000 / 32768.0), 1e-12);
    EXPECT_NEAR(p.b, -6.0206, 1e-4);
    EXPECT_FALSE(p.clipped);
    r[5] = -32768;
    EXPECT_TRUE(sound_peaks(r).clipped);
    r[5] = 31800; // 0.26 dB below full scale
    EXPECT_TRUE(sound_peaks(r).clipped);
}

namespace {

// A two-tone stimulus, the same on both outputs, in the ratio 1 to 1/2 so that input B of the
// loopback is half of A.
struct Stimulus {
    Buffer<double> samples;
    std::size_t frames = 0;
    explicit Stimulus(double seconds) {
        frames = static_cast<std::size_t>(seconds * SOUND_RATE);
        EXPECT_TRUE(samples.resize(2 * frames));
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / SOUND_RATE;
            samples[2 * i] = 0.7 * std::sin(TWO_PI * 300 * t) + 0.3 * std::sin(TWO_PI * 2100 * t);
            samples[2 * i + 1] = samples[2 * i] / 2;
        }
    }
};

LevelledRun levelled_run(const Stimulus &s, double max_dbfs) {
    LevelledRun l;
    l.margin_seconds = 0.8;
    l.stimulus = s.samples.data();
    l.frames = s.frames;
    l.max_dbfs = max_dbfs;
    l.probe_seconds = 0.2;
    return l;
}

} // namespace

TEST(AutoLevel, EndsAtTheHighestLevelAllowedWhenInputAStaysLow) {
    const Stimulus s(0.5);
    Buffer<std::int16_t> recorded;
    LevelResult result;
    MeasureError error;
    ASSERT_TRUE(sound_record_at_auto_level(levelled_run(s, LEVEL_DEFAULT_MAX_DBFS), recorded,
                                           result, error))
        << error.message;
    EXPECT_DOUBLE_EQ(result.level_dbfs, LEVEL_DEFAULT_MAX_DBFS);
    // The loopback gives the output back as it was played.
    EXPECT_NEAR(result.peaks.a, LEVEL_DEFAULT_MAX_DBFS, 0.1);
    EXPECT_NEAR(result.peaks.b, LEVEL_DEFAULT_MAX_DBFS - 6.02, 0.1);
    EXPECT_EQ(result.tries, 3);
    EXPECT_GE(recorded.size(), 2 * s.frames);
}

TEST(AutoLevel, EndsWhereInputAPeaksNearTheTargetWhenMoreIsAllowed) {
    const Stimulus s(0.5);
    Buffer<std::int16_t> recorded;
    LevelResult result;
    MeasureError error;
    ASSERT_TRUE(sound_record_at_auto_level(levelled_run(s, 0), recorded, result, error))
        << error.message;
    EXPECT_NEAR(result.peaks.a, LEVEL_TARGET_DBFS, 3);
    EXPECT_NEAR(result.level_dbfs, LEVEL_TARGET_DBFS, 3);
    EXPECT_FALSE(result.peaks.clipped);
}

namespace {

// What a window showing the take would see of it.
struct Watcher {
    int levels = 0, blocks = 0;
    double level = 0;
    std::size_t last_frames = 0;
    bool grew = true; // every report holds more than the one before
};

void on_level(void *context, double dbfs) {
    Watcher &w = *static_cast<Watcher *>(context);
    ++w.levels;
    w.level = dbfs;
    w.last_frames = 0;
}

void on_recorded(void *context, const std::int16_t *, std::size_t frames) {
    Watcher &w = *static_cast<Watcher *>(context);
    w.grew = w.grew && frames > w.last_frames;
    w.last_frames = frames;
    ++w.blocks;
}

} // namespace

TEST(AutoLevel, TellsTheWholeTakesLevelAndEachBlockOfItButNotTheTries) {
    const Stimulus s(1.0);
    Buffer<std::int16_t> recorded;
    LevelResult result;
    MeasureError error;
    Watcher watcher;
    const SoundProgress progress = {on_recorded, on_level, &watcher};
    LevelledRun run = levelled_run(s, LEVEL_DEFAULT_MAX_DBFS);
    run.progress = &progress;
    ASSERT_TRUE(sound_record_at_auto_level(run, recorded, result, error)) << error.message;
    EXPECT_EQ(watcher.levels, 1); // the tries are not reported
    EXPECT_DOUBLE_EQ(watcher.level, result.level_dbfs);
    EXPECT_TRUE(watcher.grew);
    // Blocks of 50 ms over a second of signal and the margin; the last report is the whole take.
    EXPECT_GE(watcher.blocks, 15);
    EXPECT_EQ(watcher.last_frames, recorded.size() / SOUND_CHANNELS);
}
