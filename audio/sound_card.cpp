#include "audio/sound_card.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

#include <windows.h>

#include <mmsystem.h>

static const char SOUND_CARD_NAME[] = "sound card";
static const char SOUND_CARD_SWEDISH[] = u8"ljudkortet";

static const char CANCELLED[] = "stopped";

bool sound_card_error(MeasureError &error, const char *english, const char *swedish, ...) {
    std::va_list args, again;
    va_start(args, swedish);
    va_copy(again, args);
    MeasureError in_swedish;
    set_measure_error(error, SOUND_CARD_NAME, 0, english, swedish, args);
    set_measure_error(in_swedish, SOUND_CARD_SWEDISH, 0, english, swedish, again);
    error.swedish = in_swedish.swedish;
    va_end(again);
    va_end(args);
    return false;
}

constexpr int BYTES_PER_FRAME = SOUND_CHANNELS * 2;
// Captured in blocks of 50 ms, sixteen of them queued: the card has most of a second in hand
// while a block is copied away and queued again.
constexpr int BLOCKS_PER_SECOND = 20;
constexpr int CAPTURE_BLOCKS = 16;
// A device that gives back no captured block for this long has stopped answering. Wine's first
// block takes up to two seconds.
constexpr DWORD BLOCK_TIMEOUT_MS = 5000;
// Beyond its own length, what the played signal may take before the device counts as stuck.
constexpr DWORD PLAY_SLACK_MS = 5000;

namespace {

struct Direction {
    SoundDirection which;
    const char *english; // "input", "output"
    const char *swedish;
};

const Direction CAPTURE = {SoundDirection::Input, "input", u8"ingången"};
const Direction PLAYBACK = {SoundDirection::Output, "output", u8"utgången"};

} // namespace

int sound_device_count(SoundDirection direction) {
    return static_cast<int>(direction == SoundDirection::Input ? waveInGetNumDevs()
                                                               : waveOutGetNumDevs());
}

// winmm's number for ours: 0 is the mapper, Windows' own choice.
static UINT winmm_id(int device) {
    return device == SOUND_DEFAULT_DEVICE ? WAVE_MAPPER : static_cast<UINT>(device - 1);
}

bool sound_device_name(SoundDirection direction, int device, char (&name)[SOUND_NAME_SIZE]) {
    if (device < 0 || device > sound_device_count(direction))
        return false;
    MMRESULT result;
    const char *found;
    WAVEINCAPSA in;
    WAVEOUTCAPSA out;
    if (direction == SoundDirection::Input) {
        result = waveInGetDevCapsA(winmm_id(device), &in, sizeof in);
        found = in.szPname;
    } else {
        result = waveOutGetDevCapsA(winmm_id(device), &out, sizeof out);
        found = out.szPname;
    }
    if (result != MMSYSERR_NOERROR)
        return false;
    std::strncpy(name, found, SOUND_NAME_SIZE - 1);
    name[SOUND_NAME_SIZE - 1] = '\0';
    return true;
}

static WAVEFORMATEX pcm_format(int rate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = SOUND_CHANNELS;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nAvgBytesPerSec = static_cast<DWORD>(rate * BYTES_PER_FRAME);
    format.nBlockAlign = BYTES_PER_FRAME;
    format.wBitsPerSample = 16;
    return format;
}

// The device exists, or the error says which there are.
static bool check_device(const Direction &d, int device, MeasureError &error) {
    const int count = sound_device_count(d.which);
    if (count == 0 && d.which == SoundDirection::Input)
        return sound_card_error(error, "no sound input: Windows lists no device to record from",
                                u8"ingen ljudingång: Windows visar ingen enhet att spela in från");
    if (count == 0)
        return sound_card_error(error, "no sound output: Windows lists no device to play on",
                                u8"ingen ljudutgång: Windows visar ingen enhet att spela på");
    if (device < 0 || device > count)
        return sound_card_error(error,
                                "there is no %s%.0s device %d: 0 is Windows' own choice, 1 to %d "
                                "the devices",
                                u8"%.0s%s har ingen enhet %d: 0 är Windows eget val, 1 till %d "
                                u8"enheterna",
                                d.english, d.swedish, device, count);
    return true;
}

// What winmm said when a device would not open, in words a user can act on.
static bool open_failed(const Direction &d, int device, int rate, MMRESULT result,
                        MeasureError &error) {
    char name[SOUND_NAME_SIZE];
    if (!sound_device_name(d.which, device, name))
        std::strcpy(name, SOUND_CARD_NAME);
    if (result == MMSYSERR_ALLOCATED)
        return measure_error(error, name, 0,
                             "the %s%.0s is busy: another program is using it; close that "
                             "program",
                             u8"%.0s%s är upptagen: ett annat program använder den; stäng det",
                             d.english, d.swedish);
    if (result == WAVERR_BADFORMAT)
        return measure_error(error, name, 0, "the %s%.0s does not take 16-bit stereo at %d Hz",
                             u8"%.0s%s tar inte 16-bitars stereo med %d Hz", d.english, d.swedish,
                             rate);
    return measure_error(error, name, 0, "the %s%.0s could not be opened (winmm error %u)",
                         u8"%.0s%s kunde inte öppnas (winmm-fel %u)", d.english, d.swedish,
                         static_cast<unsigned>(result));
}

static bool takes_rate(const SoundDevices &devices, int rate) {
    const WAVEFORMATEX format = pcm_format(rate);
    return waveInOpen(nullptr, winmm_id(devices.input), &format, 0, 0, WAVE_FORMAT_QUERY) ==
               MMSYSERR_NOERROR &&
           waveOutOpen(nullptr, winmm_id(devices.output), &format, 0, 0, WAVE_FORMAT_QUERY) ==
               MMSYSERR_NOERROR;
}

bool sound_choose_rate(const SoundDevices &devices, int &rate, MeasureError &error) {
    if (!check_device(CAPTURE, devices.input, error) ||
        !check_device(PLAYBACK, devices.output, error))
        return false;
    for (int candidate : {SOUND_RATE, SOUND_FALLBACK_RATE})
        if (takes_rate(devices, candidate)) {
            rate = candidate;
            return true;
        }
    return sound_card_error(error, "the devices take 16-bit stereo neither at %d Hz nor at %d Hz",
                            u8"enheterna tar 16-bitars stereo varken med %d Hz eller med %d Hz",
                            SOUND_RATE, SOUND_FALLBACK_RATE);
}

bool sound_cancelled(const MeasureError &error) {
    return std::strcmp(error.message.c_str(), CANCELLED) == 0;
}

static bool cancelled(MeasureError &error) {
    error.line = 0;
    error.message.clear();
    error.message.append(CANCELLED);
    error.swedish.clear();
    error.swedish.append(u8"avbruten");
    return false;
}

// Both devices open, their blocks queued.
struct SoundSession::State {
    HWAVEIN input = nullptr;
    HWAVEOUT output = nullptr;
    HANDLE events[3] = {};
    DWORD event_count = 0;
    int rate = 0;
    Buffer<std::int16_t> blocks;
    WAVEHDR headers[CAPTURE_BLOCKS] = {};
    // Opened for each signal: left open and idle between signals, Wine's output gathers
    // latency (PulseAudio lengthens a stream's buffer after each underrun) until the end of a
    // signal is still on its way when the margin after it has been recorded.
    int output_device = SOUND_DEFAULT_DEVICE;
    // The signal, then a stretch of silence: Wine may report a signal played while its last
    // milliseconds are still on their way, and may drop them when the output runs dry.
    WAVEHDR output_headers[2] = {};
    int prepared_outputs = 0;
    Buffer<std::int16_t> silence;
    int next_block = 0;
    int prepared_blocks = 0;

    bool open(const SoundDevices &devices, void *cancel, MeasureError &error);
    void close();
    // Waits for either device, or the cancel event; false on cancel.
    bool wait(DWORD timeout_ms);
    // The next captured block, when it is back: its samples are added to recorded (unless
    // null) and it is queued again.
    bool take_block(Buffer<std::int16_t> *recorded, bool &taken, MeasureError &error);
    bool play(const std::int16_t *samples, std::size_t frames, MeasureError &error);
    bool played() const { return (output_headers[1].dwFlags & WHDR_DONE) != 0; }
    bool open_output(MeasureError &error);
    void end_playing(bool at_once);
};

bool SoundSession::State::open(const SoundDevices &devices, void *cancel, MeasureError &error) {
    if (!check_device(CAPTURE, devices.input, error) ||
        !check_device(PLAYBACK, devices.output, error))
        return false;
    for (int i = 0; i < 2; ++i)
        if (!(events[event_count++] = CreateEventA(nullptr, FALSE, FALSE, nullptr)))
            return sound_card_error(error, "no event to wait on (error %lu)",
                                    u8"ingen händelse att vänta på (fel %lu)", GetLastError());
    if (cancel)
        events[event_count++] = static_cast<HANDLE>(cancel);
    const WAVEFORMATEX format = pcm_format(rate);
    MMRESULT result = waveInOpen(&input, winmm_id(devices.input), &format,
                                 reinterpret_cast<DWORD_PTR>(events[0]), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        input = nullptr;
        return open_failed(CAPTURE, devices.input, rate, result, error);
    }
    // Opened now, so that a busy or unfitting device is found before anything is played, and
    // kept for the first signal.
    output_device = devices.output;
    if (!open_output(error))
        return false;
    const std::size_t block_samples =
        static_cast<std::size_t>(rate / BLOCKS_PER_SECOND) * SOUND_CHANNELS;
    if (!blocks.resize(block_samples * CAPTURE_BLOCKS) || !silence.resize(block_samples * 4))
        return sound_card_error(error, "out of memory", u8"slut på minne");
    std::memset(silence.data(), 0, silence.size() * sizeof(std::int16_t));
    for (WAVEHDR &h : headers) {
        h.lpData = reinterpret_cast<LPSTR>(blocks.data() + block_samples * prepared_blocks);
        h.dwBufferLength = static_cast<DWORD>(block_samples * sizeof(std::int16_t));
        result = waveInPrepareHeader(input, &h, sizeof h);
        if (result == MMSYSERR_NOERROR) {
            ++prepared_blocks;
            result = waveInAddBuffer(input, &h, sizeof h);
        }
        if (result != MMSYSERR_NOERROR)
            return open_failed(CAPTURE, devices.input, rate, result, error);
    }
    result = waveInStart(input);
    return result == MMSYSERR_NOERROR || open_failed(CAPTURE, devices.input, rate, result, error);
}

bool SoundSession::State::open_output(MeasureError &error) {
    const WAVEFORMATEX format = pcm_format(rate);
    const MMRESULT result = waveOutOpen(&output, winmm_id(output_device), &format,
                                        reinterpret_cast<DWORD_PTR>(events[1]), 0, CALLBACK_EVENT);
    if (result == MMSYSERR_NOERROR)
        return true;
    output = nullptr;
    return open_failed(PLAYBACK, output_device, rate, result, error);
}

void SoundSession::State::end_playing(bool at_once) {
    if (!output)
        return;
    // A reset stops the device at once, and drops what Wine's mixer still holds of the signal.
    if (at_once)
        waveOutReset(output);
    for (int i = 0; i < prepared_outputs; ++i)
        waveOutUnprepareHeader(output, &output_headers[i], sizeof output_headers[i]);
    prepared_outputs = 0;
    waveOutClose(output);
    output = nullptr;
}

void SoundSession::State::close() {
    // Reset first: it stops the device at once and marks every queued block done.
    end_playing(true);
    if (input) {
        waveInReset(input);
        for (int i = 0; i < prepared_blocks; ++i)
            waveInUnprepareHeader(input, &headers[i], sizeof headers[i]);
        waveInClose(input);
    }
    for (int i = 0; i < 2 && events[i]; ++i)
        CloseHandle(events[i]);
}

bool SoundSession::State::wait(DWORD timeout_ms) {
    WaitForMultipleObjects(event_count, events, FALSE, timeout_ms);
    // The cancel event first, whichever woke the wait.
    return event_count < 3 || WaitForSingleObject(events[2], 0) != WAIT_OBJECT_0;
}

bool SoundSession::State::take_block(Buffer<std::int16_t> *recorded, bool &taken,
                                     MeasureError &error) {
    WAVEHDR &h = headers[next_block];
    taken = (h.dwFlags & WHDR_DONE) != 0;
    if (!taken)
        return true;
    const std::size_t samples = h.dwBytesRecorded / sizeof(std::int16_t);
    const std::size_t at = recorded ? recorded->size() : 0;
    if (recorded && !recorded->resize(at + samples))
        return sound_card_error(error, "out of memory for the recording",
                                u8"slut på minne för inspelningen");
    if (recorded)
        std::memcpy(recorded->data() + at, h.lpData, samples * sizeof(std::int16_t));
    h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    const MMRESULT result = waveInAddBuffer(input, &h, sizeof h);
    if (result != MMSYSERR_NOERROR)
        return sound_card_error(error, "recording stopped (winmm error %u)",
                                u8"inspelningen stannade (winmm-fel %u)",
                                static_cast<unsigned>(result));
    next_block = (next_block + 1) % CAPTURE_BLOCKS;
    return true;
}

bool SoundSession::State::play(const std::int16_t *samples, std::size_t frames,
                               MeasureError &error) {
    if (!output && !open_output(error))
        return false;
    const std::int16_t *data[2] = {samples, silence.data()};
    const std::size_t lengths[2] = {frames, silence.size() / SOUND_CHANNELS};
    MMRESULT result = MMSYSERR_NOERROR;
    for (int i = 0; i < 2 && result == MMSYSERR_NOERROR; ++i) {
        WAVEHDR &h = output_headers[i];
        h = WAVEHDR{};
        h.lpData = reinterpret_cast<LPSTR>(const_cast<std::int16_t *>(data[i]));
        h.dwBufferLength = static_cast<DWORD>(lengths[i] * BYTES_PER_FRAME);
        result = waveOutPrepareHeader(output, &h, sizeof h);
        if (result == MMSYSERR_NOERROR) {
            ++prepared_outputs;
            result = waveOutWrite(output, &h, sizeof h);
        }
    }
    return result == MMSYSERR_NOERROR ||
           sound_card_error(error, "the signal could not be played (winmm error %u)",
                            u8"signalen kunde inte spelas (winmm-fel %u)",
                            static_cast<unsigned>(result));
}

static bool stuck(const char *what_english, const char *what_swedish, MeasureError &error) {
    return sound_card_error(error, "stopped answering: %s%.0s; is another program using it?",
                            u8"slutade svara: %.0s%s; använder ett annat program det?",
                            what_english, what_swedish);
}

constexpr std::size_t MAX_PLAY_FRAMES = 0x7fffffff / BYTES_PER_FRAME; // one winmm block

bool SoundSession::open(const SoundDevices &devices, int rate, void *cancel, MeasureError &error) {
    close();
    // From malloc, as the window program's other blocks: the library's nothrow new would link
    // its exceptions.
    void *memory = std::malloc(sizeof(State));
    if (!memory)
        return sound_card_error(error, "out of memory", u8"slut på minne");
    state_ = new (memory) State;
    state_->rate = rate;
    if (state_->open(devices, cancel, error))
        return true;
    close();
    return false;
}

void SoundSession::close() {
    if (!state_)
        return;
    state_->close();
    state_->~State();
    std::free(state_);
    state_ = nullptr;
}

bool SoundSession::play_and_record(const std::int16_t *play, std::size_t frames,
                                   double margin_seconds, Buffer<std::int16_t> &recorded,
                                   MeasureError &error, const SoundProgress *progress) {
    recorded.resize(0);
    if (!state_)
        return sound_card_error(error, "not open", u8"inte öppnat");
    if (!play || frames == 0 || frames > MAX_PLAY_FRAMES)
        return sound_card_error(error, "nothing to play", u8"inget att spela");
    State &s = *state_;
    const std::size_t margin_frames = static_cast<std::size_t>(margin_seconds * s.rate);
    const ULONGLONG play_ms = frames * 1000ull / static_cast<unsigned>(s.rate);
    // What was captured before this call is not this recording's.
    for (bool taken = true; taken;)
        if (!s.take_block(nullptr, taken, error))
            return false;
    ULONGLONG play_deadline = 0, last_block = GetTickCount64();
    std::size_t frames_at_end = 0; // recorded when the output was done
    bool playing = false, done_playing = false;
    for (;;) {
        if (!s.wait(BLOCK_TIMEOUT_MS)) {
            s.end_playing(true);
            return cancelled(error);
        }
        bool grown = false;
        for (bool taken = true; taken;) {
            if (!s.take_block(&recorded, taken, error))
                return false;
            if (taken)
                last_block = GetTickCount64();
            grown = grown || taken;
        }
        if (progress && playing && grown)
            progress->recorded(progress->context, recorded.data(),
                               recorded.size() / SOUND_CHANNELS);
        const ULONGLONG now = GetTickCount64();
        if (now - last_block > BLOCK_TIMEOUT_MS)
            return stuck("no sound recorded", u8"inget ljud spelades in", error);
        const std::size_t recorded_frames = recorded.size() / SOUND_CHANNELS;
        if (!playing && recorded_frames > 0) {
            // Capture is running: from here on the recording holds whatever is played.
            if (!s.play(play, frames, error))
                return false;
            playing = true;
            play_deadline = now + play_ms + PLAY_SLACK_MS;
        }
        if (playing && !done_playing && s.played()) {
            done_playing = true;
            frames_at_end = recorded_frames;
        }
        if (playing && !done_playing && now > play_deadline)
            return stuck("the signal did not finish playing", u8"signalen spelades inte klart",
                         error);
        if (done_playing && recorded_frames >= frames_at_end + margin_frames) {
            s.end_playing(false);
            return true;
        }
    }
}

bool sound_play_and_record(const SoundRun &run, Buffer<std::int16_t> &recorded,
                           MeasureError &error) {
    recorded.resize(0);
    if (!run.play || run.play_frames == 0)
        return sound_card_error(error, "nothing to play", u8"inget att spela");
    SoundSession session;
    return session.open(run.devices, run.rate, run.cancel, error) &&
           session.play_and_record(run.play, run.play_frames, run.margin_seconds, recorded, error);
}
