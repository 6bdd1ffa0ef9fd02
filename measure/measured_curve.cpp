#include "measure/measured_curve.h"

#include <cmath>

namespace {

constexpr double FULL_SCALE = 32768;

} // namespace

bool recording_from_samples(const std::int16_t *interleaved, std::size_t frames, unsigned rate,
                            Recording &recording) {
    recording.rate = rate;
    recording.channels = 2;
    recording.bits = 16;
    recording.is_float = false;
    if (!recording.left.resize(frames) || !recording.right.resize(frames))
        return false;
    for (std::size_t i = 0; i < frames; ++i) {
        recording.left[i] = interleaved[2 * i] / FULL_SCALE;
        recording.right[i] = interleaved[2 * i + 1] / FULL_SCALE;
    }
    return true;
}

bool measure_curve(const Recording &recording, const char *name, const ImpedanceSettings &settings,
                   MeasuredCurve &curve, MeasureError &error) {
    curve.fitted = false;
    curve.re = curve.fs = curve.qts = NAN;
    ImpedanceResult result;
    if (!analyse_impedance(recording, name, settings, result, error))
        return false;
    // The analysis corrects swapped inputs; a user at the jig is better told to swap them.
    if (result.swapped) {
        measure_error(error, name, 0,
                      "the inputs are swapped: input A (left) belongs at the output side of "
                      "Rref, input B (right) across the driver",
                      u8"ingångarna är förväxlade: ingång A (vänster) ska sitta före Rref, "
                      u8"ingång B (höger) över elementet; byt plats på dem och mät igen");
        return false;
    }
    if (!result_to_sweep(result, curve.sweep))
        return measure_error(error, name, 0, "out of memory", u8"minnet räcker inte");
    curve.averages = result.averages;
    curve.calibrated = result.calibrated;
    SweepFit fit;
    MeasureError unfitted;
    if (curve.sweep.points.size() >= SWEEP_MIN_POINTS &&
        fit_sweep(curve.sweep, name, FitOptions{}, fit, unfitted)) {
        curve.fitted = true;
        curve.re = fit.Re.value;
        curve.fs = fit.Fs.value;
        curve.qts = fit.Qts.value;
    }
    return true;
}

bool check_calibration(const Recording &recording, const char *name, MeasureError &error) {
    // Analysed against itself, a calibration that passes leaves H = 1 everywhere: the open jig
    // is then the only refusal, and it says that the calibration holds.
    ImpedanceSettings settings;
    settings.rref = 1;
    settings.calibration = &recording;
    settings.calibration_name = name;
    ImpedanceResult result;
    if (analyse_impedance(recording, name, settings, result, error))
        return true;
    for (int i = 0; i < result.finding_count; ++i)
        if (result.findings[i].kind == FindingKind::OPEN_JIG && result.calibrated)
            return true;
    return false;
}
