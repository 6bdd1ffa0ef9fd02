#include "app/calc/calc_impedance.h"

#include "app/calc/calc_report.h"
#include "base/charset.h"
#include "measure/stimulus.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double DEGREES_PER_RADIAN = 180 / 3.14159265358979323846;

const char *method_name(AnalysisMethod m) {
    switch (m) {
    case AnalysisMethod::PERIODIC: return "periodic";
    case AnalysisMethod::WHOLE: return "whole";
    case AnalysisMethod::WELCH: return "welch";
    }
    return "";
}

// How the method is told in the report.
const char *method_text(AnalysisMethod m) {
    switch (m) {
    case AnalysisMethod::PERIODIC: return u8"periodiskt stimulus över hela perioder";
    case AnalysisMethod::WHOLE: return u8"en transient (svep) över hela inspelningen";
    case AnalysisMethod::WELCH: return u8"stadig signal, medelvärden av fönstrade block";
    }
    return "";
}

const char *const FINDING_NAMES[] = {
    "clipping", "identical", "no_signal",     "open_jig", "shorted",      "not_calibration",
    "swapped",  "low_level", "band_narrowed", "hum",      "uncalibrated",
};

const char *const LEFT_OUT_NAMES[LEFT_OUT_REASONS] = {"level", "coherence", "hum"};
const char *const LEFT_OUT_TEXTS[LEFT_OUT_REASONS] = {u8"för nivå", u8"för koherens", u8"för brum"};

std::string number(double value, int decimals) {
    return decimal_text(value, decimals);
}

// The lowest and the median coherence of the points kept.
void coherence_of(const ImpedanceResult &r, double &lowest, double &median) {
    std::vector<double> c;
    for (std::size_t i = 0; i < r.points.size(); ++i)
        c.push_back(r.points[i].coherence);
    lowest = median = 0;
    if (c.empty())
        return;
    std::sort(c.begin(), c.end());
    lowest = c.front();
    median = c[c.size() / 2];
}

int left_out_total(const ImpedanceResult &r) {
    int total = 0;
    for (int n : r.left_out)
        total += n;
    return total;
}

bool read_one(const char *path, Recording &recording, std::string &shown, MeasureError &error) {
    if (!path)
        return true;
    shown = path_text(path);
    return read_wav_file(path, recording, error);
}

ImpedanceSettings settings_of(const CalcOptions &o, const Corrections &c) {
    ImpedanceSettings s;
    s.rref = o.rref;
    if (o.calibration_path) {
        s.calibration = &c.calibration;
        s.calibration_name = c.calibration_shown.c_str();
    }
    if (o.open_path) {
        s.open = &c.open;
        s.open_name = c.open_shown.c_str();
    }
    if (o.short_path) {
        s.shorted = &c.shorted;
        s.short_name = c.short_shown.c_str();
    }
    s.rin = o.rin;
    s.rlead = o.rlead;
    return s;
}

std::string corrections_text(const CalcOptions &o, const Corrections &c, const ImpedanceResult &r) {
    std::vector<std::string> applied;
    if (r.calibrated)
        applied.push_back(u8"kanalkalibrering (" + c.calibration_shown + ")");
    if (r.open_corrected)
        applied.push_back(o.open_path
                              ? u8"ingångarnas belastning (" + c.open_shown + ")"
                              : u8"ingångarnas belastning Rin " + number(o.rin, 0) + " ohm");
    if (r.short_corrected)
        applied.push_back(o.short_path ? u8"ledningarna (" + c.short_shown + ")"
                                       : u8"ledningarna Rlead " + number(o.rlead, 3) + " ohm");
    if (applied.empty())
        return "inga";
    std::string out;
    for (const std::string &a : applied)
        out += (out.empty() ? "" : ", ") + a;
    return out;
}

} // namespace

bool read_corrections(const CalcOptions &o, Corrections &c, MeasureError &error) {
    return read_one(o.calibration_path, c.calibration, c.calibration_shown, error) &&
           read_one(o.open_path, c.open, c.open_shown, error) &&
           read_one(o.short_path, c.shorted, c.short_shown, error);
}

bool analyse_recording(const CalcOptions &o, const Corrections &c, AnalysedRecording &a,
                       MeasureError &error) {
    a.corrections = &c;
    return analyse_impedance(a.recording, a.shown.c_str(), settings_of(o, c), a.result, error);
}

bool analyse_recording_file(const char *path, const CalcOptions &o, const Corrections &c,
                            AnalysedRecording &a, MeasureError &error) {
    a.shown = path_text(path);
    return read_wav_file(path, a.recording, error) && analyse_recording(o, c, a, error);
}

std::string recording_warnings(const ImpedanceResult &r) {
    std::string out;
    for (int i = 0; i < r.finding_count; ++i)
        if (r.findings[i].severity == Severity::WARNING)
            out += "OBS: " + std::string(r.findings[i].text.swedish) + "\n";
    return out;
}

std::string impedance_report(const CalcOptions &o, const AnalysedRecording &a,
                             const std::string &saved) {
    const ImpedanceResult &r = a.result;
    const Recording &rec = a.recording;
    std::string out = "Inspelning: " + a.shown + " (" + std::to_string(rec.rate) + " Hz, " +
                      std::to_string(rec.bits) + (rec.is_float ? " bitar flyttal, " : " bitar, ") +
                      number(rec.seconds(), 1) + " s)\n";
    if (a.levelled)
        out += u8"Utnivå: topp " + number(a.output_level_dbfs, 1) + " dBFS\n";
    out += "Metod: " + std::string(method_text(r.method)) + ", " + std::to_string(r.averages) +
           u8" medelvärden, upplösning " + number(r.resolution_hz, 3) + " Hz\n";
    out += u8"Nivåer: ingång A topp " + number(r.a.peak, 1) + " dBFS (rms " + number(r.a.rms, 1) +
           u8"), ingång B topp " + number(r.b.peak, 1) + " dBFS (rms " + number(r.b.rms, 1) + ")\n";
    const int kept = static_cast<int>(r.points.size());
    out += "Band: " + number(r.band_low, 1) + " till " + number(r.band_high, 1) + " Hz, " +
           std::to_string(kept) + u8" punkter på 1/" + number(DEFAULT_POINTS_PER_OCTAVE, 0) +
           " oktav av " + std::to_string(r.grid_points);
    const int left = left_out_total(r);
    if (left > 0) {
        out += u8"; utelämnade " + std::to_string(left) + ":";
        const char *separator = " ";
        for (int k = 0; k < LEFT_OUT_REASONS; ++k)
            if (r.left_out[k] > 0) {
                out += separator + std::to_string(r.left_out[k]) + " " + LEFT_OUT_TEXTS[k];
                separator = ", ";
            }
    }
    out += "\n";
    double lowest, median;
    coherence_of(r, lowest, median);
    out += u8"Koherens: lägst " + number(lowest, 4) + ", median " + number(median, 5) + "\n";
    out += r.errors_estimated
               ? u8"Medelfel för |Z|: ur koherensen, med " + std::to_string(r.averages) +
                     u8" medelvärden\n"
               : u8"Medelfel för |Z|: inte uppskattade (det behövs ett stadigt stimulus och "
                 u8"minst " +
                     std::to_string(MIN_AVERAGES_FOR_ERRORS) + u8" medelvärden)\n";
    out += "Rref " + number(o.rref, 3) +
           " ohm; korrektioner: " + corrections_text(o, *a.corrections, r) + "\n";
    out += recording_warnings(r);
    if (!saved.empty())
        out += "Svep: " + saved + "\n";
    return out;
}

std::string impedance_json(const CalcOptions &o, const AnalysedRecording &a,
                           const std::string &saved) {
    using Layout = JsonWriter::Layout;
    const ImpedanceResult &r = a.result;
    const Corrections &c = *a.corrections;
    JsonWriter json;
    json.begin_object(Layout::Lines);
    json.key("impedance").begin_object(Layout::Lines);
    json.key("recording").string(a.shown);
    json.key("rate").number(a.recording.rate);
    json.key("seconds").number(a.recording.seconds(), FITTED_DIGITS);
    if (a.levelled)
        json.key("output_level_dbfs").number(a.output_level_dbfs, FITTED_DIGITS);
    json.key("method").string(method_name(r.method));
    json.key("averages").number(r.averages);
    json.key("resolution_hz").number(r.resolution_hz, FITTED_DIGITS);
    json.key("rref").number(o.rref);
    json.key("levels").begin_object(Layout::Lines);
    const InputLevel *levels[] = {&r.a, &r.b};
    const char *inputs[] = {"a", "b"};
    for (int i = 0; i < 2; ++i) {
        json.key(inputs[i]).begin_object();
        json.key("peak_dbfs").number(levels[i]->peak, FITTED_DIGITS);
        json.key("rms_dbfs").number(levels[i]->rms, FITTED_DIGITS);
        json.end_object();
    }
    json.end_object();
    json.key("band").begin_object();
    json.key("low_hz").number(r.band_low, FITTED_DIGITS);
    json.key("high_hz").number(r.band_high, FITTED_DIGITS);
    json.end_object();
    json.key("points").begin_object();
    json.key("grid").number(r.grid_points);
    json.key("kept").number(static_cast<double>(r.points.size()));
    json.key("left_out").begin_object();
    for (int k = 0; k < LEFT_OUT_REASONS; ++k)
        json.key(LEFT_OUT_NAMES[k]).number(r.left_out[k]);
    json.end_object();
    json.end_object();
    double lowest, median;
    coherence_of(r, lowest, median);
    json.key("coherence").begin_object();
    json.key("lowest").number(lowest, FITTED_DIGITS);
    json.key("median").number(median, FITTED_DIGITS);
    json.end_object();
    json.key("errors_estimated").boolean(r.errors_estimated);
    json.key("corrections").begin_object(Layout::Lines);
    json.key("calibration").string_or_null(r.calibrated ? c.calibration_shown : "");
    json.key("open").string_or_null(r.open_corrected && o.open_path ? c.open_shown : "");
    json.key("rin");
    r.open_corrected && !o.open_path ? json.number(o.rin) : json.null();
    json.key("short").string_or_null(r.short_corrected && o.short_path ? c.short_shown : "");
    json.key("rlead");
    r.short_corrected && !o.short_path ? json.number(o.rlead) : json.null();
    json.end_object();
    json.key("swapped").boolean(r.swapped);
    json.key("hum_hz").number(r.hum_hz);
    json.key("findings").begin_array(Layout::Lines);
    for (int i = 0; i < r.finding_count; ++i) {
        const Finding &f = r.findings[i];
        json.begin_object();
        json.key("kind").string(FINDING_NAMES[static_cast<int>(f.kind)]);
        json.key("severity").string(f.severity == Severity::WARNING ? "warning" : "refused");
        json.key("message").string(f.text.message);
        json.end_object();
    }
    json.end_array();
    json.key("sweep").string_or_null(saved);
    // Frequency, |Z|, phase in degrees, the standard error of |Z| (null where not estimated),
    // coherence.
    json.key("curve").begin_array(Layout::Lines);
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        const MeasuredPoint &p = r.points[i];
        json.begin_array();
        json.number(p.frequency, FITTED_DIGITS);
        json.number(std::abs(p.z), FITTED_DIGITS);
        json.number(std::arg(p.z) * DEGREES_PER_RADIAN, FITTED_DIGITS);
        r.errors_estimated ? json.number(p.magnitude_error, FITTED_DIGITS) : json.null();
        json.number(p.coherence, FITTED_DIGITS);
        json.end_array();
    }
    json.end_array();
    json.end_object();
    json.end_object();
    return json.take();
}

bool write_measured_sweep(const std::string &path, const ImpedanceResult &r, MeasureError &error) {
    Sweep sweep;
    if (!result_to_sweep(r, sweep))
        return calc_error(error, "out of memory for the sweep " + path);
    return write_sweep_file(path.c_str(), sweep, error);
}

bool make_stimulus_pair(unsigned rate, double seconds, Buffer<double> &samples) {
    Buffer<double> mono;
    if (!make_stimulus(rate ? rate : STIMULUS_FILE_RATE,
                       seconds > 0 ? seconds : STIMULUS_DEFAULT_SECONDS, STIMULUS_DEFAULT_PEAK_DBFS,
                       mono) ||
        !samples.resize(2 * mono.size()))
        return false;
    for (std::size_t i = 0; i < mono.size(); ++i)
        samples[2 * i] = samples[2 * i + 1] = mono[i];
    return true;
}

bool write_stimulus_file(const char *path, unsigned rate, double seconds, double &seconds_written,
                         MeasureError &error) {
    Buffer<double> mono;
    if (!rate)
        rate = STIMULUS_FILE_RATE;
    if (!make_stimulus(rate, seconds > 0 ? seconds : STIMULUS_DEFAULT_SECONDS,
                       STIMULUS_DEFAULT_PEAK_DBFS, mono))
        return calc_error(error, "out of memory for the stimulus");
    seconds_written = static_cast<double>(mono.size()) / rate;
    // The same on both outputs: played through the jig, either may drive it.
    return write_wav_file(path, rate, mono.data(), mono.data(), mono.size(), WavFormat::PCM16,
                          error);
}
