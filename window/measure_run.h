// A measurement through the sound card beside the message loop. One thread plays the stimulus
// and records both inputs at the automatic level; a second analyses what has come in so far
// after each new period, so that the dialog can show the curve growing with its averages. The
// recording thread only copies each block and wakes the analysis: the card's queue never waits
// on a transform or a fit. The dialog hears of everything by posted messages and reads what
// they announce under the run's lock.
#pragma once

#include "audio/sound_card.h"
#include "measure/measured_curve.h"

#include <windows.h>

// Posted to the dialog: the level of the whole take is chosen; a new live curve; the end.
constexpr UINT WM_MEASURE_LEVEL = WM_APP + 1;
constexpr UINT WM_MEASURE_LIVE = WM_APP + 2;
constexpr UINT WM_MEASURE_DONE = WM_APP + 3;

enum class MeasureKind { CALIBRATION, FREE_AIR, ADDED_MASS };

// The curve so far, in the plot's units: Hz, ohm and degrees.
struct LiveCurve {
    Buffer<double> frequency, magnitude, phase;
    int averages;
    double level_dbfs; // the output's peak; NaN until chosen
    bool fitted;
    double re, fs, qts;
};

struct MeasureRun {
    // What to measure, set before start_measure_run.
    HWND dialog;
    MeasureKind kind;
    SoundDevices devices;
    double rref;
    const Recording *calibration; // null: uncalibrated
    double seconds;               // of the stimulus

    // Private to the threads and the functions below.
    HANDLE thread, analyst, cancel, fresh;
    CRITICAL_SECTION lock;
    Buffer<std::int16_t> samples; // the take so far, under the lock
    std::size_t frames;
    bool recording_done;
    int rate;
    LiveCurve live; // under the lock

    // The outcome, once WM_MEASURE_DONE has come and end_measure_run has returned.
    bool ok, cancelled;
    MeasureError error;
    Recording recording;
    MeasuredCurve curve;
};

// Makes the run's lock and events once, for every run after.
bool init_measure_run(MeasureRun &run);
// Starts the threads; false with run.error set when they cannot be started.
bool start_measure_run(MeasureRun &run);
bool measure_running(const MeasureRun &run);
// Stops the sound card at once; WM_MEASURE_DONE follows with run.cancelled.
void cancel_measure_run(MeasureRun &run);
// Waits for both threads to end and lets them go.
void end_measure_run(MeasureRun &run);
// A copy of the live curve; false when memory runs out.
bool copy_live_curve(MeasureRun &run, LiveCurve &to);
