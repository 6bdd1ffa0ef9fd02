// Plays a stereo signal through the sound card while recording both inputs, with winmm's
// waveOut and waveIn: plain 16-bit PCM stereo, which every card and driver takes. Both inputs
// come from one capture stream, so latency, clock drift and resampling are the same in both and
// cancel in their ratio. Nothing here throws or holds a standard container: the window program
// runs it from a dialog beside its message loop, and every wait ends on its timeout or at once
// when the caller's cancel event is set.
#pragma once

#include "measure/buffer.h"
#include "measure/measure_error.h"

#include <cstddef>
#include <cstdint>

constexpr int SOUND_CHANNELS = 2;
constexpr int SOUND_RATE = 48000;
constexpr int SOUND_FALLBACK_RATE = 44100;
// Windows' own choice of device, listed and given as number 0.
constexpr int SOUND_DEFAULT_DEVICE = 0;
constexpr int SOUND_NAME_SIZE = 64;

enum class SoundDirection { Input, Output };

// The devices are numbered from 1 as winmm lists them; 0 is Windows' default.
int sound_device_count(SoundDirection direction);
// The device's name as its driver gives it (the ANSI code page), cut to the buffer; false for
// a number beyond the list.
bool sound_device_name(SoundDirection direction, int device, char (&name)[SOUND_NAME_SIZE]);

struct SoundDevices {
    int input = SOUND_DEFAULT_DEVICE;
    int output = SOUND_DEFAULT_DEVICE;
};

// The first of 48 kHz and 44.1 kHz that both devices take as 16-bit stereo; a clear error when
// there is no device or neither rate is taken.
bool sound_choose_rate(const SoundDevices &devices, int &rate, MeasureError &error);

// Told of a recording as it grows, on the thread that records, after each captured block: the
// interleaved samples so far. It must return quickly, as the card's queue of blocks lasts less
// than a second: a window that shows the recording copies what it needs and analyses elsewhere.
struct SoundProgress {
    void (*recorded)(void *context, const std::int16_t *samples, std::size_t frames);
    void (*level)(void *context, double dbfs); // the output level of the whole take to come
    void *context;
};

// Both devices open and capturing, for one signal after another: opening costs Wine up to two
// seconds, a level search plays several. Closing, or the end of the session, stops both devices
// at once.
class SoundSession {
  public:
    SoundSession() = default;
    SoundSession(const SoundSession &) = delete;
    SoundSession &operator=(const SoundSession &) = delete;
    ~SoundSession() { close(); }

    // cancel: a manual-reset event (a HANDLE) that ends any wait at once when set; nullptr for
    // none.
    bool open(const SoundDevices &devices, int rate, void *cancel, MeasureError &error);
    // Waits for a block captured after this call, so that the recording surely holds the start,
    // then queues the whole signal (interleaved left, right) for playing, and records until it
    // has played and margin_seconds after, for the output's own latency. recorded holds
    // interleaved left (input A) and right (input B) samples. False with the reason on a device
    // error, a device that stops answering, or cancel. progress, unless null, is told of each
    // block from the start of playing.
    bool play_and_record(const std::int16_t *play, std::size_t frames, double margin_seconds,
                         Buffer<std::int16_t> &recorded, MeasureError &error,
                         const SoundProgress *progress = nullptr);
    void close();

  private:
    struct State;
    State *state_ = nullptr;
};

struct SoundRun {
    SoundDevices devices;
    int rate = SOUND_RATE;
    const std::int16_t *play = nullptr; // interleaved left, right
    std::size_t play_frames = 0;
    double margin_seconds = 1; // after the signal, for the output's latency
    void *cancel = nullptr;    // as for SoundSession::open
};

// One signal in a session of its own.
bool sound_play_and_record(const SoundRun &run, Buffer<std::int16_t> &recorded,
                           MeasureError &error);

// An error of the sound card as a whole: "sound card: ..." and "ljudkortet: ..."; false.
bool sound_card_error(MeasureError &error, const char *english, const char *swedish, ...)
    MEASURE_PRINTF(2);
// The message that a cancelled run leaves, so that callers can tell it from a failure.
bool sound_cancelled(const MeasureError &error);
