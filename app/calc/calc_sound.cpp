#include "app/calc/calc_sound.h"

#include "app/calc/calc_report.h"
#include "base/charset.h"
#include "measure/stimulus.h"

#include <cmath>

#ifdef _WIN32
#include "audio/auto_level.h"
#endif

#ifndef _WIN32

static std::string recording_elsewhere(const char *option) {
    return std::string(option) +
           ": the sound card is driven by the Windows build of elemtrix-calc; here another "
           "program records. With PulseAudio or PipeWire:\n"
           "  elemtrix-calc --stimulus stimulus.wav\n"
           "  parecord --channels=2 --rate=48000 --format=s16le --file-format=wav "
           "recording.wav &\n"
           "  paplay stimulus.wav; sleep 1; kill $!\n"
           "or with ALSA alone: arecord -c 2 -r 48000 -f S16_LE recording.wav & "
           "aplay stimulus.wav; sleep 1; kill $!\n"
           "then: elemtrix-calc --impedance recording.wav Rref=OHM";
}

bool list_devices(std::string &, MeasureError &error) {
    return calc_error(error, recording_elsewhere("--devices"));
}

bool record_to_file(const CalcOptions &, std::string &, MeasureError &error) {
    return calc_error(error, recording_elsewhere("--record"));
}

bool measure_through_sound_card(const CalcOptions &, const Corrections &, AnalysedRecording &,
                                MeasureError &error) {
    return calc_error(error, recording_elsewhere("--measure"));
}

#else

namespace {

constexpr double FULL_SCALE = 32768;

SoundDevices devices_of(const CalcOptions &o) {
    SoundDevices d;
    d.input = o.input_device;
    d.output = o.output_device;
    return d;
}

// The recording as the analysis and the WAV writer take it: full scale ±1.
bool to_recording(const Buffer<std::int16_t> &samples, int rate, Recording &r) {
    const std::size_t frames = samples.size() / SOUND_CHANNELS;
    r.rate = static_cast<unsigned>(rate);
    r.channels = SOUND_CHANNELS;
    r.bits = 16;
    r.is_float = false;
    if (!r.left.resize(frames) || !r.right.resize(frames))
        return false;
    for (std::size_t i = 0; i < frames; ++i) {
        r.left[i] = samples[2 * i] / FULL_SCALE;
        r.right[i] = samples[2 * i + 1] / FULL_SCALE;
    }
    return true;
}

// --play's file as it is, in 16-bit samples; its first two channels.
bool played_file(const char *path, Recording &file, Buffer<std::int16_t> &samples,
                 MeasureError &error) {
    if (!read_wav_file(path, file, error))
        return false;
    if (!samples.resize(2 * file.frames()))
        return calc_error(error, std::string("out of memory for ") + path);
    const Buffer<double> *channels[] = {&file.left, &file.right};
    for (std::size_t i = 0; i < file.frames(); ++i)
        for (int c = 0; c < SOUND_CHANNELS; ++c) {
            const double v = std::nearbyint((*channels[c])[i] * FULL_SCALE);
            samples[2 * i + c] = static_cast<std::int16_t>(v > 32767    ? 32767
                                                           : v < -32768 ? -32768
                                                                        : v);
        }
    return true;
}

bool sound_error(const MeasureError &sound, MeasureError &error) {
    return calc_error(error, std::string(sound.message));
}

// Our stimulus at the automatic level.
bool record_stimulus(const CalcOptions &o, Buffer<std::int16_t> &recorded, int &rate,
                     LevelResult &level, MeasureError &error) {
    MeasureError sound;
    if (!sound_choose_rate(devices_of(o), rate, sound))
        return sound_error(sound, error);
    Buffer<double> stimulus;
    if (!make_stimulus_pair(static_cast<unsigned>(rate), o.seconds, stimulus))
        return calc_error(error, "out of memory for the stimulus");
    LevelledRun run;
    run.devices = devices_of(o);
    run.rate = rate;
    run.stimulus = stimulus.data();
    run.frames = stimulus.size() / SOUND_CHANNELS;
    run.max_dbfs = o.max_level;
    // One whole period past the lead-in holds the stimulus's full peak.
    run.probe_seconds = STIMULUS_PERIOD_SECONDS;
    run.probe_start = stimulus_period(static_cast<unsigned>(rate));
    return sound_record_at_auto_level(run, recorded, level, sound) || sound_error(sound, error);
}

std::string peaks_text(const SoundPeaks &p) {
    return u8"ingång A topp " + decimal_text(p.a, 1) + u8" dBFS, ingång B topp " +
           decimal_text(p.b, 1) + " dBFS";
}

} // namespace

bool list_devices(std::string &out, MeasureError &) {
    const struct {
        SoundDirection direction;
        const char *title;
    } lists[] = {{SoundDirection::Input, u8"Ingångar"}, {SoundDirection::Output, u8"Utgångar"}};
    for (const auto &list : lists) {
        out += std::string(list.title) + ":\n";
        const int count = sound_device_count(list.direction);
        char name[SOUND_NAME_SIZE];
        for (int device = count ? 0 : 1; device <= count; ++device)
            if (sound_device_name(list.direction, device, name))
                out += "  " + std::to_string(device) + "  " + cp1252_to_utf8(name) +
                       (device == SOUND_DEFAULT_DEVICE ? u8" (Windows eget val)" : "") + "\n";
        if (count == 0)
            out += "  (inga)\n";
    }
    return true;
}

bool record_to_file(const CalcOptions &o, std::string &out, MeasureError &error) {
    Buffer<std::int16_t> recorded;
    int rate = 0;
    std::string level_text;
    if (o.play_path) {
        Recording file;
        Buffer<std::int16_t> samples;
        if (!played_file(o.play_path, file, samples, error))
            return false;
        SoundRun run;
        run.devices = devices_of(o);
        run.rate = rate = static_cast<int>(file.rate);
        run.play = samples.data();
        run.play_frames = file.frames();
        MeasureError sound;
        if (!sound_play_and_record(run, recorded, sound))
            return sound_error(sound, error);
        level_text = "spelade " + path_text(o.play_path) + u8" som den är";
    } else {
        LevelResult level;
        if (!record_stimulus(o, recorded, rate, level, error))
            return false;
        level_text = u8"utnivå topp " + decimal_text(level.level_dbfs, 1) + " dBFS (" +
                     std::to_string(level.tries) + u8" försök)";
    }
    Recording r;
    if (!to_recording(recorded, rate, r))
        return calc_error(error, "out of memory for the recording");
    if (!write_wav_file(o.record_path, r.rate, r.left.data(), r.right.data(), r.frames(),
                        WavFormat::PCM16, error))
        return false;
    out = "Inspelad: " + path_text(o.record_path) + " (" + std::to_string(rate) + " Hz, " +
          decimal_text(r.seconds(), 1) + " s), " + level_text + ", " +
          peaks_text(sound_peaks(recorded)) + "\n";
    return true;
}

bool measure_through_sound_card(const CalcOptions &o, const Corrections &c, AnalysedRecording &a,
                                MeasureError &error) {
    Buffer<std::int16_t> recorded;
    int rate = 0;
    LevelResult level;
    if (!record_stimulus(o, recorded, rate, level, error))
        return false;
    if (!to_recording(recorded, rate, a.recording))
        return calc_error(error, "out of memory for the recording");
    a.shown = "(ljudkortet)";
    a.levelled = true;
    a.output_level_dbfs = level.level_dbfs;
    return analyse_recording(o, c, a, error);
}

#endif
