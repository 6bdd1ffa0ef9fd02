// elemtrix-calc: computes drivers from their data files, or from values on the command line,
// exactly as the window would, and adds checks, uncertainties, formulas and a plot on request.
#include "app/calc/calc_box.h"
#include "app/calc/calc_options.h"
#include "app/calc/calc_output.h"
#include "app/calc/calc_plot.h"
#include "app/calc/calc_sound.h"
#include "app/calc/calc_sweep.h"
#include "base/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

constexpr int EXIT_ALL_DONE = 0;
// A file could not be read or fitted, the plot or the driver data file not written, or the output
// not written.
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

static const char COMMAND_LINE_SOURCE[] = "(kommandorad)";

// Every error reaches the user here, one line each, as it happens.
static void report(const MeasureError &error) {
    std::fprintf(stderr, "elemtrix-calc: %s\n", error.message.c_str());
}

static int usage_error(const MeasureError &error) {
    report(error);
    std::fputs(usage_text().c_str(), stderr);
    return EXIT_USAGE;
}

namespace {

// Standard output with every write checked: after the first failure nothing more is written.
struct Output {
    bool failed = false;
    int error = 0; // errno of the failure

    void write(const std::string &text) {
        if (!failed && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
            fail();
    }
    // Flushes what stdio still holds; false when anything was lost.
    bool finish(MeasureError &lost) {
        if (!failed && (std::fflush(stdout) != 0 || std::ferror(stdout)))
            fail();
        if (!failed)
            return true;
        const std::string reason = std::strerror(error);
        return calc_error(lost, "cannot write the output to standard output: " + reason);
    }

  private:
    void fail() {
        failed = true;
        error = errno;
    }
};

// A driver as read, before anything is printed.
struct Source {
    const char *path;   // nullptr: the values on the command line
    MeasureError error; // why it could not be read, when it has a message
    CalcDriver driver;
};

} // namespace

// Writes the file as a driver data file is saved: a failed write leaves the earlier file as it
// was.
static bool save_text(const std::string &path, const std::string &text, MeasureError &error) {
    return wt_save_whole_file(path.c_str(), text.data(), text.size()) ||
           calc_error(error, "cannot write " + path);
}

// Writes the impedance plot of the driver and finds where its curve crosses ZF1/ZF2.
static bool write_plot(const std::string &path, const CalcDriver &d, SideFrequencies &side,
                       MeasureError &error) {
    ImpedanceModel model;
    if (!make_impedance_model(d.inputs, d.results, model))
        return calc_error(error, "no impedance plot: Fs, Re, Qms and Res (Zmax - Re) must be "
                                 "finite and above 0");
    side = side_frequencies(model, d.results.ZF1ZF2);
    return save_text(path, impedance_svg(cp1252_to_utf8(d.name), model, d.results.ZF1ZF2, side),
                     error);
}

// The name of a file asked for, as printed once it is written; empty when it could not be, which
// is reported and leaves the run undone.
static std::string written(bool ok, const std::string &path, const MeasureError &error,
                           bool &done) {
    if (ok)
        return path_text(path.c_str());
    report(error);
    done = false;
    return "";
}

static bool write_box_plot(const std::string &path, const std::string &title, const CalcBox &box,
                           MeasureError &error) {
    return save_text(path, box_svg(title, box), error);
}

// The box asked for, and its drawing when a plot is asked for; false, reported, when the box
// means nothing for the driver, and then no plot is written.
static bool box_for(const CalcOptions &o, const CalcDriver &d, const CovariedDriver *fitted,
                    std::shared_ptr<const CalcBox> &box, CalcResult &r, bool &done) {
    MeasureError error;
    if (!design_calc_box(o.box, d, o.tolerance ? &o.tolerances : nullptr, fitted, box, error)) {
        report(error);
        done = false;
        return false;
    }
    r.box = box.get();
    if (!o.plot_path.empty()) {
        const std::string name = cp1252_to_utf8(d.name);
        r.plot = written(write_box_plot(o.plot_path, name.empty() ? d.source : name, *box, error),
                         o.plot_path, error, done);
    }
    return true;
}

// Reads every driver first: a tolerance that does not fit a driver's value is a usage error,
// found before anything is printed.
static bool read_sources(const CalcOptions &o, std::vector<Source> &sources, MeasureError &error) {
    for (const char *path : o.sources) {
        sources.push_back({path, {}, {}});
        Source &s = sources.back();
        DriverFileLines lines = o.values;
        if (path && !read_driver_file(path, lines)) {
            calc_error(s.error, std::string("cannot read ") + path);
            continue;
        }
        s.driver = calculate_driver(path ? path_text(path) : COMMAND_LINE_SOURCE, lines);
        if (o.tolerance && !tolerances_fit(o.tolerances, s.driver.inputs, s.driver.source, error))
            return false;
    }
    return true;
}

// False when anything was left undone; what was is reported.
static bool run(const CalcOptions &o, const std::vector<Source> &sources, Output &out) {
    bool done = true;
    CalcOutput output(o.format);
    out.write(output.begin());
    for (const Source &s : sources) {
        if (out.failed)
            break;
        if (!s.error.message.empty()) {
            report(s.error);
            done = false;
            continue;
        }
        CalcResult r;
        r.driver = &s.driver;
        r.check = o.check;
        r.explain = o.explain;
        Uncertainties u;
        if (o.tolerance) {
            u = propagate_uncertainty(s.driver.inputs, o.tolerances);
            r.uncertainties = &u;
        }
        MeasureError error;
        std::shared_ptr<const CalcBox> box;
        if (o.box.kind != BoxKind::None)
            box_for(o, s.driver, nullptr, box, r, done);
        else if (!o.plot_path.empty())
            r.plot =
                written(write_plot(o.plot_path, s.driver, r.side, error), o.plot_path, error, done);
        out.write(output.add(r));
    }
    out.write(output.end());
    return done;
}

// The measured points of every sweep over its fitted curve.
static bool write_sweep_plot(const std::string &path, const Measurement &m, MeasureError &error) {
    std::vector<SweepCurve> curves;
    for (const MeasuredSweep &s : m.sweeps)
        curves.push_back({sweep_label(s), &s.sweep, &s.fit});
    const std::string name = cp1252_to_utf8(m.driver.name);
    return save_text(path, sweep_svg(name.empty() ? m.sweeps.front().shown : name, curves), error);
}

static bool save_driver(const std::string &path, const Measurement &m, MeasureError &error) {
    return save_measured_driver(path.c_str(), m) || calc_error(error, "cannot write " + path);
}

// --sweep: every sweep is read and fitted, and the driver made, before anything is written.
// False when anything was left undone; what was is reported.
static bool run_sweep(const CalcOptions &o, Output &out) {
    Measurement m{};
    MeasureError error;
    if (!measure_driver(o, m, error)) {
        report(error);
        return false;
    }
    CalcResult r;
    r.driver = &m.driver;
    r.uncertainties = &m.uncertainties;
    r.measurement = &m;
    r.check = o.check;
    r.explain = o.explain;
    bool done = true;
    if (!o.save_path.empty())
        r.saved = written(save_driver(o.save_path, m, error), o.save_path, error, done);
    std::shared_ptr<const CalcBox> box;
    if (o.box.kind != BoxKind::None)
        box_for(o, m.driver, &m.covaried, box, r, done);
    else if (!o.plot_path.empty())
        r.plot = written(write_sweep_plot(o.plot_path, m, error), o.plot_path, error, done);
    CalcOutput output(o.format);
    out.write(output.begin());
    out.write(output.add(r));
    out.write(output.end());
    return done;
}

// --stimulus: our measuring signal as a file.
static bool run_stimulus(const CalcOptions &o, Output &out) {
    MeasureError error;
    double seconds = 0;
    const unsigned rate = o.rate ? o.rate : STIMULUS_FILE_RATE;
    if (!write_stimulus_file(o.stimulus_path, rate, o.seconds, seconds, error)) {
        report(error);
        return false;
    }
    out.write("Stimulus: " + path_text(o.stimulus_path) + " (" + std::to_string(rate) + " Hz, " +
              decimal_text(seconds, 1) + " s)\n");
    return true;
}

// --impedance and --measure: a recording analysed, its report, and its sweep with --out. A
// refused recording leaves nothing written.
static bool run_impedance(const CalcOptions &o, Output &out) {
    Corrections c;
    AnalysedRecording a;
    MeasureError error;
    if (!read_corrections(o, c, error) ||
        !(o.measure ? measure_through_sound_card(o, c, a, error)
                    : analyse_recording_file(o.impedance_path, o, c, a, error))) {
        report(error);
        return false;
    }
    bool done = true;
    std::string saved;
    if (!o.out_path.empty())
        saved = written(write_measured_sweep(o.out_path, a.result, error), o.out_path, error, done);
    out.write(o.format == CalcFormat::Json ? impedance_json(o, a, saved)
                                           : impedance_report(o, a, saved));
    return done;
}

// --devices and --record.
static bool run_sound_card(const CalcOptions &o, Output &out) {
    std::string text;
    MeasureError error;
    if (!(o.devices ? list_devices(text, error) : record_to_file(o, text, error))) {
        report(error);
        return false;
    }
    out.write(text);
    return true;
}

int main(int argc, char **argv) {
#ifdef _WIN32
    // The same bytes as on Linux: UTF-8 with LF line ends.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const CalcOptions options = parse_options(argc, argv);
    if (!options.error.message.empty())
        return usage_error(options.error);
    Output out;
    bool done = true;
    if (options.help) {
        out.write(help_text());
    } else if (options.version) {
        out.write("elemtrix-calc " ELEMTRIX_VERSION "\n");
    } else if (options.stimulus_path) {
        done = run_stimulus(options, out);
    } else if (options.impedance_path || options.measure) {
        done = run_impedance(options, out);
    } else if (options.devices || options.record_path) {
        done = run_sound_card(options, out);
    } else if (options.sweep_path) {
        done = run_sweep(options, out);
    } else {
        std::vector<Source> sources;
        MeasureError error;
        if (!read_sources(options, sources, error))
            return usage_error(error);
        done = run(options, sources, out);
    }
    MeasureError lost;
    if (!out.finish(lost)) {
        report(lost);
        return EXIT_FAILED;
    }
    return done ? EXIT_ALL_DONE : EXIT_FAILED;
}
