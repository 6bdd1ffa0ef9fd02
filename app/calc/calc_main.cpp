// elemtrix-calc: computes drivers from their data files, or from values on the command line,
// exactly as the window would, and adds checks, uncertainties, formulas and a plot on request.
#include "app/calc/calc_options.h"
#include "app/calc/calc_output.h"
#include "app/calc/calc_plot.h"
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
    CalcOutput output(o.format);
    out.write(output.begin());
    for (const Source &s : sources) {
        if (out.failed)
            break;
        if (!s.read) {
            std::fprintf(stderr, "elemtrix-calc: cannot read %s\n", s.path);
            status = EXIT_FAILED;
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
        if (!o.plot_path.empty()) {
            if (write_plot(o.plot_path, s.driver, r.side))
                r.plot = path_text(o.plot_path.c_str());
            else
                status = EXIT_FAILED;
        }
        out.write(output.add(r));
    }
    out.write(output.end());
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
    CalcResult r;
    r.driver = &m.driver;
    r.uncertainties = &m.uncertainties;
    r.measurement = &m;
    r.check = o.check;
    r.explain = o.explain;
    if (plotted)
        r.plot = path_text(o.plot_path.c_str());
    if (saved)
        r.saved = path_text(o.save_path.c_str());
    CalcOutput output(o.format);
    out.write(output.begin());
    out.write(output.add(r));
    out.write(output.end());
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
