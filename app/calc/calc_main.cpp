// elemtrix-calc: computes drivers from their data files, or from values on the command line,
// exactly as the window would, and adds checks, uncertainties, formulas and a plot on request.
#include "app/calc/calc_json.h"
#include "app/calc/calc_options.h"
#include "app/calc/calc_plot.h"
#include "app/calc/calc_report.h"
#include "app/calc/calc_sweep.h"
#include "toolkit/text_file.h"

#include <cerrno>
#include <cmath>
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

namespace {

// Standard output with every write checked: after the first failure nothing more is written.
struct Output {
    bool failed = false;
    int error = 0; // errno of the failure

    void write(const std::string &text) {
        if (!failed && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
            fail();
    }
    // Flushes what stdio still holds; false, with one message on stderr, when anything was lost.
    bool finish() {
        if (!failed && (std::fflush(stdout) != 0 || std::ferror(stdout)))
            fail();
        if (failed)
            std::fprintf(stderr, "elemtrix-calc: cannot write the output to standard output: %s\n",
                         std::strerror(error));
        return !failed;
    }

  private:
    void fail() {
        failed = true;
        error = errno;
    }
};

// A driver as read, before anything is printed.
struct Source {
    const char *path; // nullptr: the values on the command line
    bool read;
    CalcDriver driver;
};

} // namespace

// Writes the file as a driver data file is saved: a failed write leaves the earlier file as it
// was. False, with a message on stderr, when it cannot.
static bool save_text(const std::string &path, const std::string &text) {
    if (wt_save_whole_file(path.c_str(), text.data(), text.size()))
        return true;
    std::fprintf(stderr, "elemtrix-calc: cannot write %s\n", path.c_str());
    return false;
}

// Writes the impedance plot of the driver; false, with the reason on stderr, when it cannot.
static bool write_plot(const std::string &path, const CalcDriver &d, SideFrequencies &side) {
    ImpedanceModel model;
    if (!make_impedance_model(d.inputs, d.results, model)) {
        std::fputs("elemtrix-calc: no impedance plot: Fs, Re, Qms and Res (Zmax - Re) must be "
                   "finite and above 0\n",
                   stderr);
        return false;
    }
    side = side_frequencies(model, d.results.ZF1ZF2);
    return save_text(path, impedance_svg(cp1252_to_utf8(d.name), model, d.results.ZF1ZF2, side));
}

// The warnings and the formulas that --check and --explain ask for.
static std::string checks_and_formulas(const CalcOptions &o, const CalcDriver &d) {
    return (o.check ? check_report(d) : "") + (o.explain ? explain_report(d) : "");
}

// plot_name is empty when no plot was drawn.
static std::string text_output(const CalcOptions &o, const CalcDriver &d, const Uncertainties &u,
                               const std::string &plot_name, const SideFrequencies &side) {
    std::string out = text_report(d, o.tolerance ? &u : nullptr) + checks_and_formulas(o, d);
    if (!plot_name.empty())
        out += "Impedanskurva: " + plot_name + "  F1 = " + decimal_text(side.F1, 2) +
               " Hz  F2 = " + decimal_text(side.F2, 2) + " Hz\n";
    return out;
}

// Reads every driver first: a tolerance that does not fit a driver's value is a usage error,
// found before anything is printed. Empty when all fit.
static std::string read_sources(const CalcOptions &o, std::vector<Source> &sources) {
    for (const char *path : o.sources) {
        DriverFileLines lines = o.values;
        const bool read = !path || read_driver_file(path, lines);
        sources.push_back({path, read, {}});
        if (!read)
            continue;
        sources.back().driver =
            calculate_driver(path ? path_text(path) : COMMAND_LINE_SOURCE, lines);
        if (o.tolerance) {
            const CalcDriver &d = sources.back().driver;
            if (std::string error = tolerance_error(o.tolerances, d.inputs, d.source);
                !error.empty())
                return error;
        }
    }
    return "";
}

static int run(const CalcOptions &o, const std::vector<Source> &sources, Output &out) {
    int status = EXIT_ALL_DONE;
    if (o.format == CalcFormat::Csv)
        out.write(csv_header());
    if (o.format == CalcFormat::Json)
        out.write(json_head());
    const std::string plot_name = path_text(o.plot_path.c_str());
    bool first = true;
    for (const Source &s : sources) {
        if (out.failed)
            break;
        if (!s.read) {
            std::fprintf(stderr, "elemtrix-calc: cannot read %s\n", s.path);
            status = EXIT_FAILED;
            continue;
        }
        const CalcDriver &d = s.driver;
        Uncertainties u{};
        if (o.tolerance)
            u = propagate_uncertainty(d.inputs, o.tolerances);
        SideFrequencies side = {NAN, NAN};
        const bool plotted = !o.plot_path.empty() && write_plot(o.plot_path, d, side);
        if (!o.plot_path.empty() && !plotted)
            status = EXIT_FAILED;
        switch (o.format) {
        case CalcFormat::Csv: out.write(csv_row(d)); break;
        case CalcFormat::Json:
            out.write((first ? "" : ",\n") +
                      json_driver(d, {o.tolerance ? &u : nullptr, o.explain,
                                      plotted ? plot_name.c_str() : nullptr, side, nullptr}));
            break;
        case CalcFormat::Text:
            out.write((first ? "" : "\n") +
                      text_output(o, d, u, plotted ? plot_name : std::string(), side));
            break;
        }
        first = false;
    }
    if (o.format == CalcFormat::Json)
        out.write(json_tail());
    return status;
}

// The measured points of every sweep over its fitted curve.
static bool write_sweep_plot(const std::string &path, const Measurement &m) {
    std::vector<SweepCurve> curves;
    for (const MeasuredSweep &s : m.sweeps)
        curves.push_back({sweep_label(s), &s.sweep, &s.fit});
    const std::string name = cp1252_to_utf8(m.driver.name);
    return save_text(path, sweep_svg(name.empty() ? m.sweeps.front().shown : name, curves));
}

static bool save_driver(const std::string &path, const Measurement &m) {
    if (save_measured_driver(path.c_str(), m))
        return true;
    std::fprintf(stderr, "elemtrix-calc: cannot write %s\n", path.c_str());
    return false;
}

// --sweep: every sweep is read and fitted, and the driver made, before anything is written.
static int run_sweep(const CalcOptions &o, Output &out) {
    Measurement m{};
    MeasureError error;
    if (!measure_driver(o, m, error)) {
        std::fprintf(stderr, "elemtrix-calc: %s\n", error.message.c_str());
        return EXIT_FAILED;
    }
    const bool save = !o.save_path.empty(), plot = !o.plot_path.empty();
    const bool saved = save && save_driver(o.save_path, m);
    const bool plotted = plot && write_sweep_plot(o.plot_path, m);
    const std::string save_name = path_text(o.save_path.c_str());
    const std::string plot_name = path_text(o.plot_path.c_str());
    const CalcDriver &d = m.driver;
    if (o.format == CalcFormat::Json) {
        const std::string measurement = json_measurement(m, plotted ? plot_name.c_str() : nullptr,
                                                         saved ? save_name.c_str() : nullptr);
        out.write(json_head() +
                  json_driver(
                      d, {&m.uncertainties, o.explain, nullptr, {NAN, NAN}, measurement.c_str()}) +
                  json_tail());
    } else {
        std::string text =
            measurement_report(m) + text_report(d, &m.uncertainties) + checks_and_formulas(o, d);
        if (plotted)
            text += "Impedanskurva: " + plot_name + "\n";
        if (saved)
            text += "Sparad: " + save_name + "\n";
        out.write(text);
    }
    return saved == save && plotted == plot ? EXIT_ALL_DONE : EXIT_FAILED;
}

static int usage_error(const std::string &error) {
    std::fprintf(stderr, "elemtrix-calc: %s\n%s", error.c_str(), usage_text().c_str());
    return EXIT_USAGE;
}

int main(int argc, char **argv) {
#ifdef _WIN32
    // The same bytes as on Linux: UTF-8 with LF line ends.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const CalcOptions options = parse_options(argc, argv);
    if (!options.error.empty())
        return usage_error(options.error);
    Output out;
    int status = EXIT_ALL_DONE;
    if (options.help) {
        out.write(help_text());
    } else if (options.version) {
        out.write("elemtrix-calc " ELEMTRIX_VERSION "\n");
    } else if (options.sweep_path) {
        status = run_sweep(options, out);
    } else {
        std::vector<Source> sources;
        if (std::string error = read_sources(options, sources); !error.empty())
            return usage_error(error);
        status = run(options, sources, out);
    }
    return out.finish() ? status : EXIT_FAILED;
}
