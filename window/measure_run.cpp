#include "window/measure_run.h"

#include "audio/auto_level.h"
#include "measure/stimulus.h"

#include <cmath>

namespace {

constexpr double RADIAN_DEGREES = 180 / 3.14159265358979323846;

class Lock {
  public:
    explicit Lock(CRITICAL_SECTION &section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

  private:
    CRITICAL_SECTION &section_;
};

const char *recording_name(MeasureKind kind) {
    switch (kind) {
    case MeasureKind::CALIBRATION: return u8"kalibreringen";
    case MeasureKind::FREE_AIR: return u8"fri luft";
    case MeasureKind::ADDED_MASS: return u8"med massa";
    }
    return "";
}

ImpedanceSettings settings_of(const MeasureRun &run) {
    ImpedanceSettings s;
    s.rref = run.rref;
    s.calibration = run.calibration;
    s.calibration_name = u8"kalibreringen";
    return s;
}

bool copy_buffer(const Buffer<double> &from, Buffer<double> &to) {
    if (!to.resize(from.size()))
        return false;
    for (std::size_t i = 0; i < from.size(); ++i)
        to[i] = from[i];
    return true;
}

// The curve in the plot's units; false when memory runs out.
bool set_live_curve(LiveCurve &live, const MeasuredCurve &curve) {
    const std::size_t n = curve.sweep.points.size();
    if (!live.frequency.resize(n) || !live.magnitude.resize(n) || !live.phase.resize(n))
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const SweepPoint &p = curve.sweep.points[i];
        live.frequency[i] = p.frequency;
        live.magnitude[i] = p.magnitude;
        live.phase[i] = p.phase * RADIAN_DEGREES;
    }
    live.averages = curve.averages;
    live.fitted = curve.fitted;
    live.re = curve.re;
    live.fs = curve.fs;
    live.qts = curve.qts;
    return true;
}

void clear_live_curve(LiveCurve &live) {
    live.frequency.clear();
    live.magnitude.clear();
    live.phase.clear();
    live.averages = 0;
    live.fitted = false;
    live.re = live.fs = live.qts = NAN;
}

void on_level(void *context, double dbfs) {
    MeasureRun &run = *static_cast<MeasureRun *>(context);
    {
        Lock held(run.lock);
        run.frames = 0;
        clear_live_curve(run.live);
        run.live.level_dbfs = dbfs;
    }
    PostMessageA(run.dialog, WM_MEASURE_LEVEL, 0, 0);
}

void on_recorded(void *context, const std::int16_t *samples, std::size_t frames) {
    MeasureRun &run = *static_cast<MeasureRun *>(context);
    {
        Lock held(run.lock);
        const std::size_t from = run.frames * SOUND_CHANNELS, to = frames * SOUND_CHANNELS;
        if (!run.samples.resize(to))
            return; // the live curve stops growing; the recording itself goes on
        for (std::size_t i = from; i < to; ++i)
            run.samples[i] = samples[i];
        run.frames = frames;
    }
    SetEvent(run.fresh);
}

// After each new period, the curve of everything recorded so far.
DWORD WINAPI analyse_live(void *context) {
    MeasureRun &run = *static_cast<MeasureRun *>(context);
    const std::size_t period = stimulus_period(static_cast<unsigned>(run.rate));
    std::size_t analysed = 0;
    Recording recording;
    MeasuredCurve curve;
    for (;;) {
        WaitForSingleObject(run.fresh, INFINITE);
        bool copied;
        {
            Lock held(run.lock);
            if (run.recording_done)
                return 0;
            if (run.frames < analysed + period) {
                if (run.frames < analysed)
                    analysed = 0; // a take again lower, after one that clipped
                continue;
            }
            analysed = run.frames;
            copied = recording_from_samples(run.samples.data(), run.frames,
                                            static_cast<unsigned>(run.rate), recording);
        }
        MeasureError ignored; // the end of the take says what is wrong with it
        if (!copied ||
            !measure_curve(recording, recording_name(run.kind), settings_of(run), curve, ignored))
            continue;
        {
            Lock held(run.lock);
            if (!set_live_curve(run.live, curve))
                continue;
        }
        PostMessageA(run.dialog, WM_MEASURE_LIVE, 0, 0);
    }
}

bool take(MeasureRun &run) {
    if (!sound_choose_rate(run.devices, run.rate, run.error))
        return false;
    Buffer<double> mono, stereo;
    if (!make_stimulus(static_cast<unsigned>(run.rate), run.seconds, STIMULUS_DEFAULT_PEAK_DBFS,
                       mono) ||
        !stereo.resize(2 * mono.size()))
        return sound_card_error(run.error, "out of memory for the stimulus",
                                u8"slut på minne för stimulit");
    // The right output carries the same: a jig wired to either output works.
    for (std::size_t i = 0; i < mono.size(); ++i)
        stereo[2 * i] = stereo[2 * i + 1] = mono[i];

    const SoundProgress progress = {on_recorded, on_level, &run};
    LevelledRun levelled;
    levelled.devices = run.devices;
    levelled.rate = run.rate;
    levelled.cancel = run.cancel;
    levelled.stimulus = stereo.data();
    levelled.frames = mono.size();
    levelled.progress = &progress;
    run.recording_done = false;
    run.analyst = CreateThread(nullptr, 0, analyse_live, &run, 0, nullptr);
    Buffer<std::int16_t> recorded;
    LevelResult level;
    const bool recorded_ok = sound_record_at_auto_level(levelled, recorded, level, run.error);
    {
        Lock held(run.lock);
        run.recording_done = true;
    }
    SetEvent(run.fresh);
    if (run.analyst) {
        WaitForSingleObject(run.analyst, INFINITE);
        CloseHandle(run.analyst);
        run.analyst = nullptr;
    }
    if (!recorded_ok)
        return false;
    if (!recording_from_samples(recorded.data(), recorded.size() / SOUND_CHANNELS,
                                static_cast<unsigned>(run.rate), run.recording))
        return sound_card_error(run.error, "out of memory for the recording",
                                u8"slut på minne för inspelningen");
    if (run.kind == MeasureKind::CALIBRATION)
        return check_calibration(run.recording, recording_name(run.kind), run.error);
    return measure_curve(run.recording, recording_name(run.kind), settings_of(run), run.curve,
                         run.error);
}

DWORD WINAPI record(void *context) {
    MeasureRun &run = *static_cast<MeasureRun *>(context);
    run.ok = take(run);
    run.cancelled = !run.ok && sound_cancelled(run.error);
    PostMessageA(run.dialog, WM_MEASURE_DONE, 0, 0);
    return 0;
}

} // namespace

bool init_measure_run(MeasureRun &run) {
    if (run.cancel)
        return true;
    InitializeCriticalSection(&run.lock);
    run.cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    run.fresh = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return run.cancel && run.fresh;
}

bool start_measure_run(MeasureRun &run) {
    ResetEvent(run.cancel);
    ResetEvent(run.fresh);
    run.samples.clear();
    run.frames = 0;
    clear_live_curve(run.live);
    run.live.level_dbfs = NAN;
    run.ok = run.cancelled = false;
    run.thread = CreateThread(nullptr, 0, record, &run, 0, nullptr);
    return run.thread || sound_card_error(run.error, "no thread to record on (error %lu)",
                                          u8"ingen tråd att spela in på (fel %lu)", GetLastError());
}

bool measure_running(const MeasureRun &run) {
    return run.thread != nullptr;
}

void cancel_measure_run(MeasureRun &run) {
    SetEvent(run.cancel);
}

void end_measure_run(MeasureRun &run) {
    if (!run.thread)
        return;
    WaitForSingleObject(run.thread, INFINITE);
    CloseHandle(run.thread);
    run.thread = nullptr;
}

bool copy_live_curve(MeasureRun &run, LiveCurve &to) {
    Lock held(run.lock);
    to.averages = run.live.averages;
    to.level_dbfs = run.live.level_dbfs;
    to.fitted = run.live.fitted;
    to.re = run.live.re;
    to.fs = run.live.fs;
    to.qts = run.live.qts;
    return copy_buffer(run.live.frequency, to.frequency) &&
           copy_buffer(run.live.magnitude, to.magnitude) && copy_buffer(run.live.phase, to.phase);
}
