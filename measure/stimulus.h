// Our own measuring signal: a periodic multitone, log-spaced tones on the bins of one period.
//
// Why a multitone rather than a sweep: analysed over whole periods, every tone sits on a bin,
// so that the ratio of the two inputs' spectra is exact for a linear system, with no window and
// no leakage; every period is one average, which gives the coherence and a standard error; and
// the tones can be kept off the mains harmonics. The period lasts STIMULUS_PERIOD_SECONDS, a
// whole number of cycles of 50 Hz and of 60 Hz, so that hum falls on bins of its own and does
// not leak onto the tones. The tones stand 1/48 octave apart (every bin where that is finer than
// the bins), all of one amplitude, which spreads the energy evenly over the octaves as the log
// grid of the result does. Their phases start from a log sweep's, each tone entering at the
// time the sweep would pass it, and are then flattened by repeated clipping: a crest factor of
// about 3.2 (10 dB) against 4 to 4.5 for random phases, so more of the level goes into the
// tones for the same peak.
//
// A recording opens with a lead-in period, faded in over its first half, during which the jig's
// high-passes and the driver settle; then whole periods, then a short fade-out.
#pragma once

#include "measure/buffer.h"

#include <cstddef>

constexpr double STIMULUS_PERIOD_SECONDS = 1.4; // 70 cycles of 50 Hz, 84 of 60 Hz
constexpr double STIMULUS_LOW_HZ = 10;
constexpr double STIMULUS_HIGH_HZ = 20000; // or 0.45 times the rate, whichever is lower
constexpr double STIMULUS_TONES_PER_OCTAVE = 48;
// Bins closer than this to a harmonic of 50 or 60 Hz up to MAINS_LAST_HARMONIC carry no tone:
// the hum line and its nearest neighbours on either side stay free.
constexpr double MAINS_GUARD_HZ = 1.5;
constexpr int MAINS_LAST_HARMONIC = 24;
// A peak of -12 dBFS: the level a sound card's headphone output gives into the jig without
// moving a driver beyond its small-signal range; through an amplifier the user sets the volume.
constexpr double STIMULUS_DEFAULT_PEAK_DBFS = -12;
constexpr double STIMULUS_DEFAULT_SECONDS = 14; // a lead-in and nine periods: nine averages
constexpr double STIMULUS_FADE_OUT_SECONDS = 0.1;
constexpr unsigned STIMULUS_MIN_RATE = 8000;
constexpr unsigned STIMULUS_MAX_RATE = 192000;

// The period in samples at a rate: the nearest whole number to rate·STIMULUS_PERIOD_SECONDS.
std::size_t stimulus_period(unsigned rate);

// The bins of one period that carry a tone, rising; false when memory runs out or the rate is
// outside STIMULUS_MIN_RATE to STIMULUS_MAX_RATE.
bool stimulus_tone_bins(unsigned rate, Buffer<int> &bins);

// One period, its highest peak at peak_dbfs.
bool make_stimulus_period(unsigned rate, double peak_dbfs, Buffer<double> &period);

// The whole signal for about `seconds`: the lead-in, at least two whole periods, the fade-out.
bool make_stimulus(unsigned rate, double seconds, double peak_dbfs, Buffer<double> &samples);
