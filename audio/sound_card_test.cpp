// Run with the private sound card of the tests (scripts/sound-jig.sh): what is played comes back
// on the recording, both channels from one stream; WithoutDevices runs with Wine's audio
// drivers turned off.
#include "audio/sound_card.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// Wine's mixer on a busy machine now and then drops a few milliseconds, as a sound card on a
// busy PC can: a comparison of every sample that shows it is made again, up to this many times.
constexpr int TRIES = 3;
// Recorded after each signal: well beyond the jig's latency.
constexpr double MARGIN = 0.8;
// Wine may drop the first milliseconds played: compared from here on.
constexpr double SKIP = 0.2;
constexpr double TWO_PI = 2 * 3.14159265358979323846;

// Left a chord of three tones with a random phase each, right half of it: the ratio tells
// whether both channels came from one stream.
Buffer<std::int16_t> chord(int rate, double seconds) {
    Buffer<std::int16_t> out;
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    EXPECT_TRUE(out.resize(frames * SOUND_CHANNELS));
    const double tones[] = {211, 1013, 4111};
    for (std::size_t i = 0; i < frames; ++i) {
        double x = 0;
        for (double f : tones)
            x += 3000 * std::sin(TWO_PI * f * i / rate + f);
        out[2 * i] = static_cast<std::int16_t>(std::lround(x));
        out[2 * i + 1] = static_cast<std::int16_t>(std::lround(x / 2));
    }
    return out;
}

// Where the played left channel starts in the recorded one: the best match of a stretch from
// its middle. Wine may drop the first milliseconds played (silence in their place), so the
// start itself is no mark.
std::size_t offset_of(const Buffer<std::int16_t> &played, const Buffer<std::int16_t> &recorded) {
    const std::size_t length = 1000, from = played.size() / 4;
    std::size_t best_at = 0;
    double best = HUGE_VAL;
    for (std::size_t at = 0; 2 * (at + from + length) <= recorded.size(); ++at) {
        double distance = 0;
        for (std::size_t i = 0; i < length && distance < best; ++i) {
            const double d = recorded[2 * (at + from + i)] - played[2 * (from + i)];
            distance += d * d;
        }
        if (distance < best) {
            best = distance;
            best_at = at;
        }
    }
    return best_at;
}

// The largest difference between the played and the recorded left channel, from skip frames
// on, and between the recorded right one and half the left. The played signal is found block by
// block, each where it fits at or a little after the end of the one before: a Wine thread that
// is late leaves a few samples of silence in what is played, and the blocks across such a gap,
// at most gaps_allowed of them, are left out of worst.
void compare(const Buffer<std::int16_t> &played, const Buffer<std::int16_t> &recorded, double skip,
             int &worst, int &worst_ratio, int gaps_allowed = 2) {
    const std::size_t frames = played.size() / 2, block = 480, slack = 480;
    std::size_t at = offset_of(played, recorded);
    worst = worst_ratio = 0;
    for (std::size_t i = 0; i < recorded.size(); i += 2)
        worst_ratio = std::max(worst_ratio, std::abs(2 * recorded[i + 1] - recorded[i]));
    int gaps = 0;
    for (std::size_t start = static_cast<std::size_t>(skip); start + block <= frames;
         start += block) {
        int best = INT_MAX;
        std::size_t best_at = at;
        for (std::size_t d = 0; d <= slack && best > 2; ++d) {
            if (2 * (at + d + start + block) > recorded.size())
                break;
            int w = 0;
            for (std::size_t i = 0; i < block && w < best; ++i)
                w = std::max(
                    w, std::abs(recorded[2 * (at + d + start + i)] - played[2 * (start + i)]));
            if (w < best) {
                best = w;
                best_at = at + d;
            }
        }
        at = best_at;
        if (best > 2 && gaps < gaps_allowed)
            ++gaps;
        else
            worst = std::max(worst, best);
    }
}

SoundRun run_of(const Buffer<std::int16_t> &played, int rate) {
    SoundRun run;
    run.rate = rate;
    run.play = played.data();
    run.play_frames = played.size() / SOUND_CHANNELS;
    run.margin_seconds = MARGIN;
    return run;
}

} // namespace

TEST(Devices, AreListedByNumberWithWindowsOwnChoiceAsZero) {
    for (SoundDirection d : {SoundDirection::Input, SoundDirection::Output}) {
        const int count = sound_device_count(d);
        ASSERT_GE(count, 1);
        char name[SOUND_NAME_SIZE];
        for (int device = 0; device <= count; ++device) {
            ASSERT_TRUE(sound_device_name(d, device, name));
            EXPECT_GT(std::strlen(name), 0u);
        }
        EXPECT_FALSE(sound_device_name(d, count + 1, name));
        EXPECT_FALSE(sound_device_name(d, -1, name));
    }
}

TEST(Devices, TakeFortyEightKilohertzFirst) {
    int rate = 0;
    MeasureError error;
    ASSERT_TRUE(sound_choose_rate({}, rate, error)) << error.message;
    EXPECT_EQ(rate, SOUND_RATE);
}

TEST(Devices, BeyondTheListAreRefusedByNumber) {
    int rate = 0;
    MeasureError error;
    SoundDevices devices;
    devices.output = 99;
    EXPECT_FALSE(sound_choose_rate(devices, rate, error));
    const std::string count = std::to_string(sound_device_count(SoundDirection::Output));
    EXPECT_EQ(error.message, "sound card: there is no output device 99: 0 is Windows' own "
                             "choice, 1 to " +
                                 count + " the devices");
    EXPECT_EQ(error.swedish, u8"ljudkortet: utgången har ingen enhet 99: 0 är Windows eget val, 1 "
                             u8"till " +
                                 count + " enheterna");
}

TEST(PlayAndRecord, GivesBackTheWholeSignalWithBothChannelsFromOneStream) {
    const Buffer<std::int16_t> played = chord(SOUND_RATE, 1.0);
    int worst = 0, worst_ratio = 0;
    for (int attempt = 1; attempt <= TRIES && (attempt == 1 || worst > 2); ++attempt) {
        Buffer<std::int16_t> recorded;
        MeasureError error;
        ASSERT_TRUE(sound_play_and_record(run_of(played, SOUND_RATE), recorded, error))
            << error.message;
        ASSERT_GE(recorded.size() / 2, played.size() / 2 + MARGIN * SOUND_RATE);
        compare(played, recorded, SKIP * SOUND_RATE, worst, worst_ratio);
    }
    // Through Wine's mixer the samples may be rounded again, never more.
    EXPECT_LE(worst, 2);
    EXPECT_LE(worst_ratio, 2);
}

TEST(PlayAndRecord, AtTheFallbackRate) {
    const Buffer<std::int16_t> played = chord(SOUND_FALLBACK_RATE, 0.3);
    Buffer<std::int16_t> recorded;
    MeasureError error;
    ASSERT_TRUE(sound_play_and_record(run_of(played, SOUND_FALLBACK_RATE), recorded, error))
        << error.message;
    // Resampled to the sink's 48 kHz and back: the ratio of the channels still holds.
    int worst = 0, worst_ratio = 0;
    compare(played, recorded, SKIP * SOUND_FALLBACK_RATE, worst, worst_ratio);
    EXPECT_LE(worst_ratio, 8);
}

TEST(Session, PlaysOneSignalAfterAnotherEachRecordedWhole) {
    SoundSession session;
    MeasureError error;
    ASSERT_TRUE(session.open({}, SOUND_RATE, nullptr, error)) << error.message;
    int worst = 0, worst_ratio = 0;
    for (int attempt = 1; attempt <= TRIES && (attempt == 1 || worst > 2); ++attempt) {
        worst = worst_ratio = 0;
        for (double seconds : {0.3, 0.6}) {
            const Buffer<std::int16_t> played = chord(SOUND_RATE, seconds);
            Buffer<std::int16_t> recorded;
            ASSERT_TRUE(
                session.play_and_record(played.data(), played.size() / 2, MARGIN, recorded, error))
                << error.message;
            int w = 0, r = 0;
            compare(played, recorded, SKIP * SOUND_RATE, w, r);
            worst = std::max(worst, w);
            worst_ratio = std::max(worst_ratio, r);
        }
    }
    EXPECT_LE(worst, 2);
    EXPECT_LE(worst_ratio, 2);
    session.close();
    const Buffer<std::int16_t> played = chord(SOUND_RATE, 0.1);
    Buffer<std::int16_t> recorded;
    EXPECT_FALSE(session.play_and_record(played.data(), 1, 0.2, recorded, error));
    EXPECT_EQ(error.message, "sound card: not open");
}

// A timer's callback is stdcall on i686, which no lambda converts to.
VOID CALLBACK set_event(void *event, BOOLEAN) {
    SetEvent(static_cast<HANDLE>(event));
}

TEST(PlayAndRecord, StopsAtOnceWhenCancelled) {
    const Buffer<std::int16_t> played = chord(SOUND_RATE, 20.0);
    HANDLE cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(cancel);
    HANDLE timer = nullptr;
    // Set from another thread, as a dialog's button would.
    ASSERT_TRUE(
        CreateTimerQueueTimer(&timer, nullptr, set_event, cancel, 300, 0, WT_EXECUTEONLYONCE));
    SoundRun run = run_of(played, SOUND_RATE);
    run.cancel = cancel;
    Buffer<std::int16_t> recorded;
    MeasureError error;
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(sound_play_and_record(run, recorded, error));
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_TRUE(sound_cancelled(error)) << error.message;
    // Far from the 20 s of the signal: the wait ended with the event.
    EXPECT_LT(took, 3000u);
    DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    CloseHandle(cancel);
}

TEST(PlayAndRecord, RefusesNothingToPlay) {
    Buffer<std::int16_t> recorded;
    MeasureError error;
    EXPECT_FALSE(sound_play_and_record(SoundRun{}, recorded, error));
    EXPECT_EQ(error.message, "sound card: nothing to play");
}

TEST(WithoutDevices, RecordingSaysThereIsNoInput) {
    EXPECT_EQ(sound_device_count(SoundDirection::Input), 0);
    int rate = 0;
    MeasureError error;
    EXPECT_FALSE(sound_choose_rate({}, rate, error));
    EXPECT_EQ(error.message, "sound card: no sound input: Windows lists no device to record from");
    const Buffer<std::int16_t> played = chord(SOUND_RATE, 0.1);
    Buffer<std::int16_t> recorded;
    EXPECT_FALSE(sound_play_and_record(run_of(played, SOUND_RATE), recorded, error));
    EXPECT_EQ(error.swedish,
              u8"ljudkortet: ingen ljudingång: Windows visar ingen enhet att spela in från");
}
