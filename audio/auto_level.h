// The automatic level: the stimulus is played short and low first, then raised until input A
// peaks near -6 dBFS or the output reaches the highest level the user allows, whichever comes
// first; a level at which either input clips is never used. The whole stimulus is then played
// and recorded at the level found.
#pragma once

#include "audio/sound_card.h"

constexpr double LEVEL_START_DBFS = -40;
constexpr double LEVEL_TARGET_DBFS = -6;       // input A's peak
constexpr double LEVEL_DEFAULT_MAX_DBFS = -12; // the output's peak, unless the user allows more
constexpr double LEVEL_LOWEST_DBFS = -80;
// A peak this close to full scale counts as clipped: converters compress just below it.
constexpr double LEVEL_CLIP_DBFS = -0.3;

// Peaks in dBFS (full scale 32768), -inf for silence.
struct SoundPeaks {
    double a = 0, b = 0;
    bool clipped = false; // either input at or near full scale
};
SoundPeaks sound_peaks(const Buffer<std::int16_t> &recorded);

// The search so far: the output level to try next, and the lowest level found to clip.
struct LevelSearch {
    double level = LEVEL_START_DBFS; // the output's peak, dBFS
    double max = LEVEL_DEFAULT_MAX_DBFS;
    double ceiling = 0; // below every level that clipped
    bool done = false;
};
// Takes the peaks recorded at search.level: either done (search.level is the one to use) or a
// new level to try. False when even the lowest level clips.
bool next_level(LevelSearch &search, const SoundPeaks &peaks);

struct LevelledRun {
    SoundDevices devices;
    int rate = SOUND_RATE;
    void *cancel = nullptr; // as for SoundSession::open
    // The stimulus, interleaved left and right, any scale: played with its peak at the level.
    const double *stimulus = nullptr;
    std::size_t frames = 0;
    double max_dbfs = LEVEL_DEFAULT_MAX_DBFS;
    double probe_seconds = 0.5;  // of the stimulus, for each try,
    std::size_t probe_start = 0; // from this frame on: past a fade-in
    double margin_seconds = 1;               // after the signal, for the output's latency
    const SoundProgress *progress = nullptr; // of the whole take, not of the tries
};

struct LevelResult {
    double level_dbfs = 0; // the output's peak in the recording kept
    SoundPeaks peaks;      // of the recording kept
    int tries = 0;         // short runs to find the level
};

bool sound_record_at_auto_level(const LevelledRun &levelled, Buffer<std::int16_t> &recorded,
                                LevelResult &result, MeasureError &error);
