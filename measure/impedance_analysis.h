// A driver's impedance from a two-channel recording of the jig: the sound card's output drives
// Rref and the driver in series, input A (left) sees the output side of Rref, input B (right)
// the driver. With H = B/A, Z = Rref·H/(1 − H).
//
// H is estimated as S_AB/S_AA from the cross- and auto-spectra, summed over the bins of each
// point of a logarithmic grid, so that it works with any stimulus that excites the band. How
// the spectra are taken depends on what the recording holds:
//   - our own multitone (measure/stimulus.h): frames of whole periods from the lead-in's
//     steady half on, no window: exact for a linear system, each period one average; hum's
//     leakage onto the tones is taken out, and a drift between the output's and the inputs'
//     clocks is measured and the frames read again at the output's clock;
//   - a transient that starts and ends in silence (a swept sine from another program): one
//     transform of the whole recording, whose silent ends only are tapered; exact too, but a
//     single average, so its errors are not estimated;
//   - anything steady (random noise): Welch's averages of Hann-windowed 2.8 s segments with
//     half overlap. Near a sharp resonance the random error of a few tens of averages, and the
//     window's smoothing over one segment's resolution, are what limit it.
// Per point the coherence γ² is kept; where the stimulus is steady and there are at least
// MIN_AVERAGES_FOR_ERRORS averages, the standard error of |Z| follows from it,
// σ(|H|)/|H| = √((1 − γ²)/(2·n·γ²)); otherwise the result says errors are not estimated.
//
// Nothing here throws or uses std containers: the window program will measure too.
#pragma once

#include "measure/buffer.h"
#include "measure/measure_error.h"
#include "measure/sweep_file.h"
#include "measure/wav_file.h"

#include <complex>

constexpr double DEFAULT_POINTS_PER_OCTAVE = 48;
constexpr int MIN_AVERAGES_FOR_ERRORS = 8;
constexpr double MIN_COHERENCE = 0.9;      // γ² below this: the point is left out
constexpr double LEVEL_FLOOR_DB = -40;     // a point's input A level below the median point's
constexpr double CLIP_LEVEL = 0.989;       // -0.1 dBFS: a sample this high counts as clipped
constexpr double TARGET_PEAK_DBFS = -6;    // where input A should peak
constexpr double LOW_LEVEL_DBFS = -40;     // input A peaking below this: a warning
constexpr int MIN_POINTS = 20;             // fewer points with signal: no broadband signal
constexpr double OPEN_LIMIT = 0.002;       // median |1 − H| below this: no driver connected
constexpr double SHORT_LIMIT = 0.002;      // median |H| below this: the driver is shorted
constexpr double CALIBRATION_LIMIT_DB = 3; // a calibration's inputs differ by no more
constexpr double CALIBRATION_LIMIT_DEGREES = 20;

enum class AnalysisMethod {
    PERIODIC, // our own multitone over whole periods
    WHOLE,    // one transient (a sweep) taken over the whole recording
    WELCH,    // a steady signal, averaged
};

// What a recording is for: the measurement itself, or one of the corrections' recordings.
enum class RecordingRole { MEASUREMENT, CALIBRATION, OPEN, SHORT };

enum class Severity { WARNING, REFUSED };

enum class FindingKind {
    CLIPPING,        // refused: input and how much lower
    IDENTICAL,       // refused: both inputs carry the same samples
    NO_SIGNAL,       // refused: no broadband signal
    OPEN_JIG,        // refused: "no driver connected"
    SHORTED,         // refused: H ≈ 0
    NOT_CALIBRATION, // refused: a calibration whose inputs differ
    SWAPPED,         // warning: A and B exchanged, corrected
    LOW_LEVEL,       // warning: input A peaks low
    BAND_NARROWED,   // warning: points at the band's ends left out for level or coherence
    HUM,             // warning: mains hum found, its points left out
    UNCALIBRATED,    // warning: no channel-match calibration
};

struct Finding {
    FindingKind kind;
    Severity severity;
    MeasureError text; // English in message, Swedish in swedish; line 0
};

enum LeftOutReason { LEFT_OUT_LEVEL, LEFT_OUT_COHERENCE, LEFT_OUT_HUM, LEFT_OUT_REASONS };

struct MeasuredPoint {
    double frequency;       // Hz: the power-weighted middle of the point's bins
    std::complex<double> z; // ohm
    double magnitude_error; // standard error of |Z| in ohm; 0 where not estimated
    double coherence;       // γ² of the point, 0 to 1
};

// Per input, dBFS.
struct InputLevel {
    double peak;
    double rms;
};

// The corrections' recordings are analysed as the measurement is, on their own, and their H
// interpolated to its points. A null recording, rin 0 and rlead below 0: not applied.
struct ImpedanceSettings {
    double rref = 0; // ohm, above 0
    double points_per_octave = DEFAULT_POINTS_PER_OCTAVE;
    const Recording *calibration = nullptr;
    const char *calibration_name = "calibration";
    const Recording *open = nullptr; // the jig open: input B's loading
    const char *open_name = "open";
    double rin = 0; // input B's resistance, ohm, when given instead of a recording; 0: none
    const Recording *shorted = nullptr; // the driver's clips shorted: the leads' resistance
    const char *short_name = "short";
    double rlead = -1; // ohm, when given instead of a recording; below 0: none
};

constexpr int MAX_FINDINGS = 16;

struct ImpedanceResult {
    AnalysisMethod method;
    int averages;          // periods, segments, or 1
    double resolution_hz;  // of the transform
    bool errors_estimated; // magnitude_error holds standard errors
    bool swapped;          // A and B were exchanged
    bool calibrated, open_corrected, short_corrected;
    double hum_hz;              // 50 or 60 when mains hum was found, 0 otherwise
    InputLevel a, b;            // of the measurement recording
    double band_low, band_high; // Hz, of the points kept; 0 when none
    int grid_points;            // points of the grid with any bin
    int left_out[LEFT_OUT_REASONS];
    Buffer<MeasuredPoint> points;
    Finding findings[MAX_FINDINGS];
    int finding_count;

    bool refused() const;
};

// The impedance from the measurement recording and the settings' corrections. False when it is
// refused or cannot be analysed: error then says why (the findings too, for a refusal), and
// the result holds what was found up to then. True otherwise, warnings in findings. Each
// recording's name is used in its messages.
bool analyse_impedance(const Recording &recording, const char *name,
                       const ImpedanceSettings &settings, ImpedanceResult &result,
                       MeasureError &error);

// The points as a sweep for the fit and the sweep file: |Z|, the phase, and the standard error
// of |Z| where estimated. False when memory runs out.
bool result_to_sweep(const ImpedanceResult &result, Sweep &sweep);

// The smallest n ≥ size, a multiple of 4 with no prime factor but 2, 3 and 5: the length a
// recording's transform is taken over, as FFTs of it are quick.
std::size_t smooth_length(std::size_t size);
// The largest such n ≤ size; 0 when there is none.
std::size_t smooth_length_within(std::size_t size);
