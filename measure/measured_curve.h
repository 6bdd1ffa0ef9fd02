// What the window's measuring dialog makes of a two-channel recording of the jig: the curve for
// the plot, the sweep file and the fit, with Re, Fs and Qts read from it, or the fault that
// refuses it. The analysis is measure/impedance_analysis's; the dialog is stricter only in that
// swapped inputs refuse the recording rather than being corrected, so that the user sees them.
#pragma once

#include "measure/impedance_analysis.h"
#include "measure/sweep_fit.h"

#include <cstddef>
#include <cstdint>

// A recording as the sound card gives it, interleaved 16-bit A (left) and B (right) samples, in
// the form the analysis reads. False when memory runs out.
bool recording_from_samples(const std::int16_t *interleaved, std::size_t frames, unsigned rate,
                            Recording &recording);

struct MeasuredCurve {
    Sweep sweep;
    int averages;       // of the analysis
    bool calibrated;    // divided by a channel-match calibration
    bool fitted;        // the fit found a resonance in it; re, fs and qts are its values
    double re, fs, qts; // ohm, Hz and a factor; NaN when not fitted
};

// The impedance of the recording and the fit's Re, Fs and Qts. False with a Swedish (and
// English) message when the analysis refuses the recording, cannot analyse it, or finds the
// inputs swapped. A curve whose resonance the fit cannot find is still a curve, not fitted.
bool measure_curve(const Recording &recording, const char *name, const ImpedanceSettings &settings,
                   MeasuredCurve &curve, MeasureError &error);

// The calibration: the recording with both inputs on the same node, checked to be one. False
// with the analysis's message when it is not.
bool check_calibration(const Recording &recording, const char *name, MeasureError &error);
