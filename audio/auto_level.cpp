#include "audio/auto_level.h"

#include <cmath>
#include <cstdlib>

constexpr double FULL_SCALE = 32768;
constexpr int16_t LARGEST = 32767;
// How far from the target input A's peak may be; how far one try may raise the level, in case
// the first tries heard only noise; how far a clipped try lowers it.
constexpr double LEVEL_NEAR_DB = 3;
constexpr double LEVEL_MAX_RAISE_DB = 20;
constexpr double LEVEL_CLIP_DROP_DB = 12;
constexpr double LEVEL_CEILING_GAP_DB = 1;
constexpr int LEVEL_MAX_TRIES = 12;
constexpr int LEVEL_MAX_TAKES = 2; // of the whole stimulus

static double dbfs(int peak) {
    return peak > 0 ? 20 * std::log10(peak / FULL_SCALE) : -HUGE_VAL;
}

SoundPeaks sound_peaks(const Buffer<std::int16_t> &recorded) {
    int peak[SOUND_CHANNELS] = {};
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const int magnitude = std::abs(static_cast<int>(recorded[i]));
        int &p = peak[i % SOUND_CHANNELS];
        if (magnitude > p)
            p = magnitude;
    }
    SoundPeaks peaks;
    peaks.a = dbfs(peak[0]);
    peaks.b = dbfs(peak[1]);
    peaks.clipped = peaks.a >= LEVEL_CLIP_DBFS || peaks.b >= LEVEL_CLIP_DBFS;
    return peaks;
}

bool next_level(LevelSearch &search, const SoundPeaks &peaks) {
    if (peaks.clipped) {
        search.ceiling = search.level - LEVEL_CEILING_GAP_DB;
        search.level -= LEVEL_CLIP_DROP_DB;
        return search.level >= LEVEL_LOWEST_DBFS;
    }
    const double highest = std::fmin(search.max, search.ceiling);
    const double wanted = search.level + LEVEL_TARGET_DBFS - peaks.a;
    if (std::fabs(peaks.a - LEVEL_TARGET_DBFS) <= LEVEL_NEAR_DB ||
        (wanted >= search.level && search.level >= highest)) {
        search.done = true;
        return true;
    }
    search.level = std::fmin(std::fmin(wanted, search.level + LEVEL_MAX_RAISE_DB), highest);
    return true;
}

// The stimulus scaled so that its peak is at level dBFS, into 16-bit samples.
static bool scale(const double *stimulus, std::size_t samples, std::size_t start, std::size_t count,
                  double level, Buffer<std::int16_t> &out) {
    double peak = 0;
    for (std::size_t i = 0; i < samples; ++i)
        peak = std::fmax(peak, std::fabs(stimulus[i]));
    if (!out.resize(count))
        return false;
    const double gain = peak > 0 ? std::pow(10, level / 20) * LARGEST / peak : 0;
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(stimulus[start + i] * gain));
    return true;
}

// The stimulus's frames from start on, scaled so that the whole stimulus peaks at level.
static bool record_at(SoundSession &session, const LevelledRun &levelled, std::size_t start,
                      std::size_t frames, double level, Buffer<std::int16_t> &played,
                      Buffer<std::int16_t> &recorded, MeasureError &error,
                      const SoundProgress *progress = nullptr) {
    if (!scale(levelled.stimulus, levelled.frames * SOUND_CHANNELS, start * SOUND_CHANNELS,
               frames * SOUND_CHANNELS, level, played))
        return sound_card_error(error, "out of memory for the stimulus",
                                u8"slut på minne för stimulit");
    if (progress && progress->level)
        progress->level(progress->context, level);
    return session.play_and_record(played.data(), frames, levelled.margin_seconds, recorded, error,
                                   progress);
}

bool sound_record_at_auto_level(const LevelledRun &levelled, Buffer<std::int16_t> &recorded,
                                LevelResult &result, MeasureError &error) {
    if (!levelled.stimulus || levelled.frames == 0)
        return sound_card_error(error, "nothing to play", u8"inget att spela");
    LevelSearch search;
    search.max = levelled.max_dbfs;
    search.level = std::fmin(LEVEL_START_DBFS, search.max);
    SoundSession session;
    if (!session.open(levelled.devices, levelled.rate, levelled.cancel, error))
        return false;
    const std::size_t probe = static_cast<std::size_t>(levelled.probe_seconds * levelled.rate);
    const std::size_t start = levelled.probe_start < levelled.frames ? levelled.probe_start : 0;
    const std::size_t left = levelled.frames - start;
    const std::size_t probe_frames = probe < left ? probe : left;
    Buffer<std::int16_t> played;
    for (result.tries = 1; !search.done; ++result.tries) {
        if (result.tries > LEVEL_MAX_TRIES)
            return sound_card_error(error,
                                    "no steady level found in %d tries: is the input's level "
                                    "changing?",
                                    u8"ingen stadig nivå efter %d försök: ändras ingångens nivå?",
                                    LEVEL_MAX_TRIES);
        if (!record_at(session, levelled, start, probe_frames, search.level, played, recorded,
                       error))
            return false;
        if (!next_level(search, sound_peaks(recorded)))
            return sound_card_error(error,
                                    "the inputs clip even with the output at %.0f dBFS: turn "
                                    "their gain down",
                                    u8"ingångarna klipper även med utgången på %.0f dBFS: sänk "
                                    u8"deras förstärkning",
                                    LEVEL_LOWEST_DBFS);
    }
    --result.tries;
    // The whole stimulus may peak higher than its start: a clipped recording is made again lower.
    for (int take = 0; take < LEVEL_MAX_TAKES; ++take) {
        if (!record_at(session, levelled, 0, levelled.frames, search.level, played, recorded,
                       error, levelled.progress))
            return false;
        result.level_dbfs = search.level;
        result.peaks = sound_peaks(recorded);
        if (!result.peaks.clipped || !next_level(search, result.peaks))
            break;
    }
    return true;
}
