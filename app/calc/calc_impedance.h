// elemtrix-calc's measurements through the sound card's jig: the analysis of a recording with
// its corrections, its report as text or JSON, the sweep it gives, and our stimulus as a file.
#pragma once

#include "app/calc/calc_json.h"
#include "app/calc/calc_options.h"
#include "measure/impedance_analysis.h"

#include <string>

// The corrections' recordings named by --calibration, --open and --short, read once for every
// recording analysed in a run.
struct Corrections {
    Recording calibration, open, shorted;
    std::string calibration_shown, open_shown, short_shown; // UTF-8; empty when not given
};

bool read_corrections(const CalcOptions &o, Corrections &c, MeasureError &error);

// One recording analysed: false when it cannot be read or is refused, error saying why.
struct AnalysedRecording {
    std::string shown; // UTF-8
    Recording recording;
    ImpedanceResult result;
    const Corrections *corrections = nullptr; // as applied
    double output_level_dbfs = 0;             // --measure: the level the stimulus was played at
    bool levelled = false;
};

bool analyse_recording(const CalcOptions &o, const Corrections &c, AnalysedRecording &a,
                       MeasureError &error);
// The same from a file.
bool analyse_recording_file(const char *path, const CalcOptions &o, const Corrections &c,
                            AnalysedRecording &a, MeasureError &error);

// The warnings, Swedish, each "OBS: ..." on a line.
std::string recording_warnings(const ImpedanceResult &r);

// The report: the method, levels, band, points kept and left out and why, coherence, errors,
// corrections and warnings; saved names the sweep file written, when one was.
std::string impedance_report(const CalcOptions &o, const AnalysedRecording &a,
                             const std::string &saved);
// The same as a JSON document, the curve included.
std::string impedance_json(const CalcOptions &o, const AnalysedRecording &a,
                           const std::string &saved);

// Writes the measured curve as a sweep file (frequency, |Z|, phase, and the standard error of
// |Z| where estimated).
bool write_measured_sweep(const std::string &path, const ImpedanceResult &r, MeasureError &error);

// The rate of the stimulus file when none is given: what sound cards take first.
constexpr unsigned STIMULUS_FILE_RATE = 48000;

// Our stimulus on both channels at its default level, as --stimulus writes it.
bool make_stimulus_pair(unsigned rate, double seconds, Buffer<double> &samples);
// Writes it as 16-bit PCM, the same on both channels; seconds_written says how long it is.
bool write_stimulus_file(const char *path, unsigned rate, double seconds, double &seconds_written,
                         MeasureError &error);
