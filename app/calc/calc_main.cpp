// elemtrix-calc: computes drivers from their data files, or from values on the command line,
// exactly as the window would, and adds checks, uncertainties, formulas and a plot on request.
#include "app/calc/calc_json.h"
#include "app/calc/calc_options.h"
#include "app/calc/calc_plot.h"
#include "app/calc/calc_report.h"
#include "toolkit/number_text.h"
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
constexpr int EXIT_FAILED =
    1; // a file could not be read, the plot not made or the output not written
constexpr int EXIT_USAGE = 2;

static const char USAGE[] = "usage: elemtrix-calc [OPTION...] FILE.spk... | NAME=TEXT...\n"
                            "try elemtrix-calc --help\n";

static const char HELP[] =
    "usage: elemtrix-calc [OPTION...] FILE.spk... | NAME=TEXT...\n"
    "Computes loudspeaker drivers as Elemtrix's \"Kalkylera\" does, from driver data files\n"
    "or from the ten values given as NAME=TEXT (Fs Re Zmax Sd Vas Qms Qes Qts FsAdded\n"
    "AddedMass, and Name for the driver name; a missing value is an empty text).\n"
    "\n"
    "  --csv                one CSV row per driver\n"
    "                         elemtrix-calc --csv *.spk\n"
    "  --json               one JSON document: texts, values, findings, value column,\n"
    "                       plausibility warnings (and what the options below add)\n"
    "                         elemtrix-calc --json worked.spk\n"
    "  --check              warn of values that disagree with each other\n"
    "                         elemtrix-calc --check worked.spk\n"
    "  --tolerance NAME=AMOUNT...\n"
    "                       uncertainty of every result from the inputs' tolerances,\n"
    "                       absolute in the input's unit or relative with %; put it\n"
    "                       after the files and values\n"
    "                         elemtrix-calc worked.spk --tolerance Fs=0.5 FsAdded=0.5 Sd=2%\n"
    "  --explain            each formula, with the numbers put in, and its result\n"
    "                         elemtrix-calc --explain worked.spk\n"
    "  --plot FILE.svg      draw the modelled impedance curve of the one driver given\n"
    "                         elemtrix-calc --plot worked.svg worked.spk\n"
    "  -h, --help           this text\n"
    "  --version            the program's version\n"
    "  --                   the end of the options: what follows are files and values\n"
    "\n"
    "Example: elemtrix-calc Fs=30 Re=6 Zmax=40 Sd=500 Vas=50 Qms=3 Qes=0.45 Qts=0.39 "
    "FsAdded=25 AddedMass=20\n"
    "Exit status: 0 all done, 1 a file not read, the plot not made or the output not\n"
    "written, 2 usage.\n";

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

// On Linux a file name is bytes, shown as UTF-8 where they are.
static std::string utf8(const char *native) {
#ifdef _WIN32
    return cp1252_to_utf8(native); // an ANSI command line
#else
    return valid_utf8(native);
#endif
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
    const std::string svg = impedance_svg(cp1252_to_utf8(d.name), model, d.results.ZF1ZF2, side);
    // As a driver data file is saved: a failed write leaves the earlier plot as it was.
    if (wt_save_whole_file(path.c_str(), svg.data(), svg.size()))
        return true;
    std::fprintf(stderr, "elemtrix-calc: cannot write %s\n", path.c_str());
    return false;
}

static std::string text_output(const CalcOptions &o, const CalcDriver &d, const Uncertainties &u,
                               bool plotted, const SideFrequencies &side) {
    std::string out = text_report(d, o.tolerance ? &u : nullptr);
    if (o.check)
        out += check_report(d);
    if (o.explain)
        out += explain_report(d);
    if (plotted) {
        char f1[WT_NUMBER_TEXT_SIZE], f2[WT_NUMBER_TEXT_SIZE];
        out += "Impedanskurva: " + utf8(o.plot_path.c_str()) +
               "  F1 = " + wt_format_number(f1, side.F1, 2) +
               " Hz  F2 = " + wt_format_number(f2, side.F2, 2) + " Hz\n";
    }
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
        sources.back().driver = calculate_driver(path ? utf8(path) : COMMAND_LINE_SOURCE, lines);
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
        const std::string plot_name = utf8(o.plot_path.c_str());
        switch (o.format) {
        case CalcFormat::Csv: out.write(csv_row(d)); break;
        case CalcFormat::Json:
            out.write((first ? "" : ",\n") +
                      json_driver(d, {o.tolerance ? &u : nullptr, o.explain,
                                      plotted ? plot_name.c_str() : nullptr, side}));
            break;
        case CalcFormat::Text:
            out.write((first ? "" : "\n") + text_output(o, d, u, plotted, side));
            break;
        }
        first = false;
    }
    if (o.format == CalcFormat::Json)
        out.write(json_tail());
    return status;
}

static int usage_error(const std::string &error) {
    std::fprintf(stderr, "elemtrix-calc: %s\n%s", error.c_str(), USAGE);
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
        out.write(HELP);
    } else if (options.version) {
        out.write("elemtrix-calc " ELEMTRIX_VERSION "\n");
    } else {
        std::vector<Source> sources;
        if (std::string error = read_sources(options, sources); !error.empty())
            return usage_error(error);
        status = run(options, sources, out);
    }
    return out.finish() ? status : EXIT_FAILED;
}
