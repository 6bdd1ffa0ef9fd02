#include "app/calc/calc_options.h"

#include "app/calc/calc_report.h"
#include "measure/field_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <cstdlib>
#else
#include <sys/stat.h>
#endif

// After it nothing is an option: a file may be called --json.
static const char END_OF_OPTIONS[] = "--";
// Name= gives the driver name, the first line of a driver data file.
static const char NAME_KEY[] = "Name";
constexpr int NAME_LINE = 0;
constexpr int NOT_A_NAME = -1;
static const char PLOT_EXTENSION[] = ".svg";
static const char DRIVER_FILE_EXTENSION[] = ".spk";
constexpr double PERCENT_LIMIT = 100; // a relative tolerance beyond it is no tolerance

static char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal but for the case of ASCII letters.
static bool same_letters(const char *a, const char *b) {
    for (; *a && *b; ++a, ++b)
        if (lower(*a) != lower(*b))
            return false;
    return *a == *b;
}

static const char *line_key(int line) {
    return line == NAME_LINE ? NAME_KEY : INPUT_DESCRIPTORS[line - 1].name;
}

// The line of a driver data file that a NAME= key fills, or NOT_A_NAME.
static int value_line(const std::string &key) {
    for (int line = 0; line < DRIVER_FILE_LINES; ++line)
        if (key == line_key(line))
            return line;
    return NOT_A_NAME;
}

// "unknown value name fs; did you mean Fs?" when a name differs from one of the lines from
// first_line on only in case.
static std::string unknown_name(const char *what, const std::string &key, int first_line) {
    std::string error = std::string("unknown ") + what + " name " + key;
    for (int line = first_line; line < DRIVER_FILE_LINES; ++line)
        if (same_letters(key.c_str(), line_key(line)))
            return error + "; did you mean " + line_key(line) + "?";
    return error;
}

// NAME=TEXT where NAME is a word; a path such as ./a=b.spk is a file.
static bool is_assignment(const char *arg, std::string &key, const char *&text) {
    const char *equals = std::strchr(arg, '=');
    if (!equals || equals == arg)
        return false;
    for (const char *p = arg; p < equals; ++p)
        if (!((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z')))
            return false;
    key.assign(arg, equals);
    text = equals + 1;
    return true;
}

// "-" alone is a file name, as is everything after "--".
static bool is_option(const char *arg) {
    return arg[0] == '-' && arg[1] != '\0';
}

bool measured_number(const char *text, int limit, double &value) {
    int digits = 0, points = 0;
    for (const char *p = text; *p; ++p) {
        if (*p != '.' && (*p < '0' || *p > '9'))
            return false;
        (*p == '.' ? points : digits)++;
    }
    value = text_to_value(text);
    char field[INPUT_TEXT_SIZE];
    return digits > 0 && points <= 1 && field_text(value, limit, field) && text_to_value(field) > 0;
}

bool parse_tolerance(const char *text, InputTolerance &tolerance) {
    const char *p = text;
    int digits = 0, points = 0;
    for (; (*p >= '0' && *p <= '9') || *p == '.'; ++p)
        (*p == '.' ? points : digits)++;
    tolerance.percent = *p == '%';
    if (tolerance.percent)
        ++p;
    if (digits == 0 || points > 1 || *p != '\0')
        return false;
    tolerance.amount = text_to_value(text);
    return true;
}

// The measurement settings given as NAME=OHM: never driver values.
static const struct {
    const char *name;
    double CalcOptions::*value;
    bool zero_allowed; // a lead of no resistance is one
} SETTINGS[] = {
    {"Rref", &CalcOptions::rref, false},
    {"Rin", &CalcOptions::rin, false},
    {"Rlead", &CalcOptions::rlead, true},
};
constexpr int SETTING_COUNT = static_cast<int>(std::size(SETTINGS));
constexpr int RREF = 0, RIN = 1, RLEAD = 2;
static const char SETTINGS_TEXT[] = "Rref=, Rin= and Rlead=";

static int setting_index(const std::string &key) {
    for (int i = 0; i < SETTING_COUNT; ++i)
        if (key == SETTINGS[i].name)
            return i;
    return -1;
}

// A plain decimal number: digits with at most one point.
static bool plain_decimal(const char *text, double &value) {
    int digits = 0, points = 0;
    for (const char *p = text; *p; ++p) {
        if (*p != '.' && (*p < '0' || *p > '9'))
            return false;
        (*p == '.' ? points : digits)++;
    }
    value = text_to_value(text);
    return digits > 0 && points <= 1 && std::isfinite(value);
}

namespace {

// The options so far and what has been given, to refuse anything given twice.
struct Parse {
    CalcOptions o;
    bool value_given[DRIVER_FILE_LINES] = {};
    bool tolerance_given[INPUT_COUNT] = {};
};

} // namespace

static bool set_value(Parse &p, const std::string &key, const char *text) {
    const int line = value_line(key);
    if (line == NOT_A_NAME)
        return calc_error(p.o.error, unknown_name("value", key, NAME_LINE));
    if (p.value_given[line])
        return calc_error(p.o.error, "value " + key + " given twice");
    p.value_given[line] = true;
    p.o.value_args[line] = text;
#ifdef _WIN32
    const std::string cp1252 = text; // an ANSI command line
#else
    const std::string cp1252 = utf8_to_cp1252(text);
#endif
    char *field = p.o.values.text[line];
    const std::size_t limit = driver_file_line_limit(line);
    std::memset(field, 0, DRIVER_LINE_SIZE);
    std::memcpy(field, cp1252.data(), cp1252.size() < limit ? cp1252.size() : limit);
    return true;
}

static bool set_setting(Parse &p, int index, const char *text) {
    const char *name = SETTINGS[index].name;
    if (p.o.setting_args[index])
        return calc_error(p.o.error, std::string("value ") + name + " given twice");
    p.o.setting_args[index] = text;
    double value;
    if (!plain_decimal(text, value) || value < 0 || (value == 0 && !SETTINGS[index].zero_allowed))
        return calc_error(p.o.error, std::string("bad value ") + name + "=" + text +
                                         " (ohm, a number above 0" +
                                         (SETTINGS[index].zero_allowed ? " or 0)" : ")"));
    p.o.*SETTINGS[index].value = value;
    return true;
}

static bool add_tolerance(Parse &p, const char *arg) {
    std::string key;
    const char *text;
    if (!is_assignment(arg, key, text))
        return calc_error(p.o.error, std::string("bad tolerance ") + arg +
                                         " (NAME=AMOUNT; files and values go before --tolerance)");
    const int line = value_line(key);
    if (line == NOT_A_NAME || line == NAME_LINE)
        return calc_error(p.o.error, unknown_name("tolerance", key, NAME_LINE + 1));
    if (p.tolerance_given[line - 1])
        return calc_error(p.o.error, "tolerance of " + key + " given twice");
    p.tolerance_given[line - 1] = true;
    InputTolerance &t = p.o.tolerances.input[line - 1];
    if (!parse_tolerance(text, t))
        return calc_error(p.o.error,
                          "bad tolerance " + key + "=" + text + " (a number, or a number and %)");
    if (t.percent && t.amount > PERCENT_LIMIT)
        return calc_error(p.o.error, "bad tolerance " + key + "=" + text + " (over 100 %)");
    return true;
}

// An option that takes arguments: they are counted already. False after a usage error.
using TakeOption = bool (*)(Parse &p, char *const *args, int count);

static bool take_format(Parse &p, CalcFormat format) {
    if (p.o.format != CalcFormat::Text)
        return calc_error(p.o.error, "--csv and --json exclude each other");
    p.o.format = format;
    return true;
}

static bool take_csv(Parse &p, char *const *, int) {
    return take_format(p, CalcFormat::Csv);
}

static bool take_json(Parse &p, char *const *, int) {
    return take_format(p, CalcFormat::Json);
}

// A name of more than the extension that ends in it, in any case.
static bool has_extension(const char *path, const char *extension) {
    const std::size_t length = std::strlen(path), size = std::strlen(extension);
    return length > size && same_letters(path + length - size, extension);
}

static const char RECORDING_EXTENSION[] = ".wav";

bool is_recording_path(const char *path) {
    return has_extension(path, RECORDING_EXTENSION);
}

static bool take_plot(Parse &p, char *const *args, int) {
    if (!has_extension(args[0], PLOT_EXTENSION))
        return calc_error(
            p.o.error,
            std::string("--plot writes an SVG file: give a name ending in .svg, not ") + args[0]);
    p.o.plot_path = args[0];
    return true;
}

static bool take_save(Parse &p, char *const *args, int) {
    if (!has_extension(args[0], DRIVER_FILE_EXTENSION))
        return calc_error(
            p.o.error,
            std::string("--save writes a driver data file: give a name ending in .spk, not ") +
                args[0]);
    p.o.save_path = args[0];
    return true;
}

static bool take_sweep(Parse &p, char *const *args, int) {
    p.o.sweep_path = args[0];
    return true;
}

static bool take_added_sweep(Parse &p, char *const *args, int) {
    double grams;
    const int limit = INPUT_DESCRIPTORS[static_cast<int>(InputId::AddedMass)].text_limit;
    if (!measured_number(args[0], limit, grams))
        return calc_error(
            p.o.error,
            std::string("bad mass ") + args[0] +
                " for --added-sweep GRAMS FILE (grams, a number above 0 such as 20 or 12.5)");
    p.o.added_sweeps.push_back({grams, args[1]});
    return true;
}

namespace {

// Whether an option reads the WAV file it names or writes it, as its message says.
enum class WavUse { READ, WRITE };

} // namespace

static bool take_wav(Parse &p, const char *option, WavUse use, const char *CalcOptions::*member,
                     const char *path) {
    if (!is_recording_path(path))
        return calc_error(p.o.error,
                          std::string(option) +
                              (use == WavUse::READ
                                   ? " reads a recording: give a WAV file ending in .wav, not "
                                   : " writes a WAV file: give a name ending in .wav, not ") +
                              path);
    p.o.*member = path;
    return true;
}

static bool take_impedance(Parse &p, char *const *args, int) {
    return take_wav(p, "--impedance", WavUse::READ, &CalcOptions::impedance_path, args[0]);
}

static bool take_calibration(Parse &p, char *const *args, int) {
    return take_wav(p, "--calibration", WavUse::READ, &CalcOptions::calibration_path, args[0]);
}

static bool take_open(Parse &p, char *const *args, int) {
    return take_wav(p, "--open", WavUse::READ, &CalcOptions::open_path, args[0]);
}

static bool take_short(Parse &p, char *const *args, int) {
    return take_wav(p, "--short", WavUse::READ, &CalcOptions::short_path, args[0]);
}

static bool take_play(Parse &p, char *const *args, int) {
    return take_wav(p, "--play", WavUse::READ, &CalcOptions::play_path, args[0]);
}

static bool take_stimulus(Parse &p, char *const *args, int) {
    return take_wav(p, "--stimulus", WavUse::WRITE, &CalcOptions::stimulus_path, args[0]);
}

static bool take_record(Parse &p, char *const *args, int) {
    return take_wav(p, "--record", WavUse::WRITE, &CalcOptions::record_path, args[0]);
}

static bool take_out(Parse &p, char *const *args, int) {
    if (is_recording_path(args[0]) || has_extension(args[0], DRIVER_FILE_EXTENSION) ||
        has_extension(args[0], PLOT_EXTENSION))
        return calc_error(p.o.error, std::string("--out writes a sweep file: give a name such as "
                                                 "SWEEP.zma, not ") +
                                         args[0]);
    p.o.out_path = args[0];
    return true;
}

constexpr double MIN_RATE = 8000, MAX_RATE = 192000;
constexpr double MIN_SECONDS = 3, MAX_SECONDS = 120;
constexpr double LOWEST_MAX_LEVEL = -60;
constexpr int MAX_DEVICE = 99;

static bool take_rate(Parse &p, char *const *args, int) {
    double rate;
    if (!plain_decimal(args[0], rate) || rate != std::floor(rate) || rate < MIN_RATE ||
        rate > MAX_RATE)
        return calc_error(p.o.error, std::string("bad rate ") + args[0] +
                                         " for --rate HZ (a whole number from 8000 to 192000)");
    p.o.rate = static_cast<unsigned>(rate);
    return true;
}

static bool take_seconds(Parse &p, char *const *args, int) {
    if (!plain_decimal(args[0], p.o.seconds) || p.o.seconds < MIN_SECONDS ||
        p.o.seconds > MAX_SECONDS)
        return calc_error(p.o.error, std::string("bad length ") + args[0] +
                                         " for --seconds S (3 to 120 seconds)");
    return true;
}

// N for both, or IN,OUT.
static bool take_device(Parse &p, char *const *args, int) {
    const char *text = args[0];
    const char *comma = std::strchr(text, ',');
    const std::string in(text, comma ? comma : text + std::strlen(text));
    const std::string out = comma ? comma + 1 : in;
    double a, b;
    if (!plain_decimal(in.c_str(), a) || !plain_decimal(out.c_str(), b) || a != std::floor(a) ||
        b != std::floor(b) || a > MAX_DEVICE || b > MAX_DEVICE)
        return calc_error(p.o.error,
                          std::string("bad device ") + text +
                              " for --device N (a number from elemtrix-calc --devices, or "
                              "IN,OUT; 0 is Windows' own choice)");
    p.o.input_device = static_cast<int>(a);
    p.o.output_device = static_cast<int>(b);
    p.o.device_given = true;
    return true;
}

static bool take_max_level(Parse &p, char *const *args, int) {
    const char *text = args[0];
    double level;
    if (!plain_decimal(text[0] == '-' ? text + 1 : text, level) || level > -LOWEST_MAX_LEVEL ||
        (text[0] != '-' && level != 0))
        return calc_error(p.o.error, std::string("bad level ") + text +
                                         " for --max-level DBFS (from -60 to 0, such as -12)");
    p.o.max_level = text[0] == '-' ? -level : level;
    p.o.max_level_given = true;
    return true;
}

static bool take_tolerances(Parse &p, char *const *args, int count) {
    for (int i = 0; i < count; ++i)
        if (!add_tolerance(p, args[i]))
            return false;
    p.o.tolerance = true;
    return true;
}

const char *const BOX_ALIGNMENTS[BOX_ALIGNMENT_COUNT] = {"B4", "QB3", "C4", "SC4", "BB4"};

namespace {

// The values --box takes, and for which box.
struct BoxValue {
    const char *name;
    double BoxArgs::*member;
    bool sealed, vented;
};
const BoxValue BOX_VALUES[] = {
    {"Qtc", &BoxArgs::Qtc, true, false},    {"Vb", &BoxArgs::Vb, true, true},
    {"Fb", &BoxArgs::Fb, false, true},      {"QL", &BoxArgs::QL, false, true},
    {"Port", &BoxArgs::Port, false, true},  {"Ports", &BoxArgs::Ports, false, true},
    {"Xmax", &BoxArgs::Xmax, true, true},   {"Pe", &BoxArgs::Pe, true, true},
    {"Power", &BoxArgs::Power, true, true},
};
const char ALIGNMENT_KEY[] = "Alignment";
constexpr int MAX_PORTS = 16;

} // namespace

// A plain decimal number above 0: digits and at most one point.
static bool positive_number(const char *text, double &value) {
    int digits = 0, points = 0;
    for (const char *p = text; *p; ++p) {
        if (*p != '.' && (*p < '0' || *p > '9'))
            return false;
        (*p == '.' ? points : digits)++;
    }
    value = text_to_value(text);
    return digits > 0 && points <= 1 && value > 0 && std::isfinite(value);
}

static bool take_box_value(Parse &p, const char *arg, bool (&given)[std::size(BOX_VALUES) + 1]) {
    BoxArgs &box = p.o.box;
    const bool vented = box.kind == BoxKind::Vented;
    const char *kind = vented ? "vented" : "sealed";
    std::string key;
    const char *text;
    if (!is_assignment(arg, key, text))
        return calc_error(p.o.error, std::string("bad box value ") + arg +
                                         " (NAME=VALUE; files and values go before --box)");
    if (key == ALIGNMENT_KEY) {
        if (!vented)
            return calc_error(p.o.error, "Alignment is no value of a sealed box");
        if (given[std::size(BOX_VALUES)])
            return calc_error(p.o.error, "box value Alignment given twice");
        given[std::size(BOX_VALUES)] = true;
        for (const char *name : BOX_ALIGNMENTS)
            if (std::strcmp(text, name) == 0)
                box.alignment = name;
        return box.alignment || calc_error(p.o.error, std::string("bad alignment ") + text +
                                                          " (B4, QB3, C4, SC4 or BB4)");
    }
    for (std::size_t i = 0; i < std::size(BOX_VALUES); ++i) {
        const BoxValue &v = BOX_VALUES[i];
        if (key != v.name)
            continue;
        if (!(vented ? v.vented : v.sealed))
            return calc_error(p.o.error, key + " is no value of a " + kind + " box");
        if (given[i])
            return calc_error(p.o.error, "box value " + key + " given twice");
        given[i] = true;
        double &value = box.*v.member;
        if (!positive_number(text, value))
            return calc_error(p.o.error,
                              "bad box value " + key + "=" + text + " (a number above 0)");
        if (v.member == &BoxArgs::Ports && (value != std::floor(value) || value > MAX_PORTS))
            return calc_error(p.o.error, "bad box value " + key + "=" + text +
                                             " (a whole number from 1 to " +
                                             std::to_string(MAX_PORTS) + ")");
        return true;
    }
    std::string error = "unknown box value name " + key;
    for (const BoxValue &v : BOX_VALUES)
        if (same_letters(key.c_str(), v.name))
            return calc_error(p.o.error, error + "; did you mean " + v.name + "?");
    if (same_letters(key.c_str(), ALIGNMENT_KEY))
        return calc_error(p.o.error, error + "; did you mean " + ALIGNMENT_KEY + "?");
    return calc_error(p.o.error, error);
}

// The values that exclude or need each other.
static bool check_box(const BoxArgs &box, MeasureError &error) {
    const bool vb = !std::isnan(box.Vb), fb = !std::isnan(box.Fb);
    if (box.kind == BoxKind::Sealed && vb && !std::isnan(box.Qtc))
        return calc_error(error, "--box sealed takes Qtc= or Vb=, not both");
    if (box.kind == BoxKind::Vented && box.alignment && (vb || fb))
        return calc_error(error, "--box vented takes Alignment= or Vb= and Fb=, not both");
    if (vb != fb && box.kind == BoxKind::Vented)
        return calc_error(error, "--box vented needs Vb= and Fb= together");
    if (!std::isnan(box.Ports) && std::isnan(box.Port))
        return calc_error(error, "Ports= needs Port=CM, the diameter of each port");
    return true;
}

static bool take_box(Parse &p, char *const *args, int count) {
    const std::string kind = args[0];
    if (kind != "sealed" && kind != "vented")
        return calc_error(p.o.error, "--box needs sealed or vented first, not " + kind);
    p.o.box.kind = kind == "sealed" ? BoxKind::Sealed : BoxKind::Vented;
    bool given[std::size(BOX_VALUES) + 1] = {};
    for (int i = 1; i < count; ++i)
        if (!take_box_value(p, args[i], given))
            return false;
    return check_box(p.o.box, p.o.error);
}

// Arguments up to the next option, at least one.
constexpr int UP_TO_NEXT_OPTION = -1;

static const struct {
    const char *name;
    const char *short_name;  // nullptr: none
    int arguments;           // how many follow the option, or UP_TO_NEXT_OPTION
    const char *takes;       // what they are, for the help and the message when they are missing
    bool CalcOptions::*flag; // a switch sets it; other options have
    TakeOption take;         // this to take their arguments
    bool repeatable;         // may be given more than once
    const char *help;        // lines for --help
    const char *example;     // the arguments of an example in --help; nullptr: none
} OPTIONS[] = {
    {"--csv", nullptr, 0, nullptr, nullptr, take_csv, false, "one CSV row per driver",
     "--csv *.spk"},
    {"--json", nullptr, 0, nullptr, nullptr, take_json, false,
     "one JSON document: texts, values, findings, value column,\n"
     "plausibility warnings (and what the options below add)",
     "--json worked.spk"},
    {"--check", nullptr, 0, nullptr, &CalcOptions::check, nullptr, false,
     "warn of values that disagree with each other", "--check worked.spk"},
    {"--tolerance", nullptr, UP_TO_NEXT_OPTION, "NAME=AMOUNT", nullptr, take_tolerances, false,
     "uncertainty of every result from the inputs' tolerances,\n"
     "absolute in the input's unit or relative with %; put it\n"
     "after the files and values",
     "worked.spk --tolerance Fs=0.5 FsAdded=0.5 Sd=2%"},
    {"--explain", nullptr, 0, nullptr, &CalcOptions::explain, nullptr, false,
     "each formula, with the numbers put in, and its result", "--explain worked.spk"},
    {"--plot", nullptr, 1, "FILE.svg", nullptr, take_plot, false,
     "draw the modelled impedance curve of the one driver given\n"
     "(with --sweep: the measured sweeps over the fitted curves)",
     "--plot worked.svg worked.spk"},
    {"--sweep", nullptr, 1, "FREE.zma", nullptr, take_sweep, false,
     "fit the driver to an impedance sweep measured in free air\n"
     "(frequency, |Z| and phase, as measurement programs export\n"
     "them): its values with their standard errors, the texts\n"
     "for the fields and the value column with uncertainties;\n"
     "Re is best measured with an ohmmeter and given",
     "--sweep free.zma --added-sweep 20 added.zma Sd=132"},
    {"--added-sweep", nullptr, 2, "GRAMS ADDED.zma", nullptr, take_added_sweep, true,
     "the driver measured again with GRAMS added to the cone,\n"
     "for FsAdded, Mms and Vas; may be given more than once",
     nullptr},
    {"--save", nullptr, 1, "FILE.spk", nullptr, take_save, false,
     "with --sweep: write the driver as a driver data file",
     "--sweep free.zma Sd=132 Re=6 --save fitted.spk"},
    {"--box", nullptr, UP_TO_NEXT_OPTION, "sealed|vented [NAME=VALUE]", nullptr, take_box, false,
     "design the driver's box: every figure with its standard\n"
     "error and the parameter that dominates it, from\n"
     "--tolerance or the fit; put it after the files and\n"
     "values. sealed: Qtc=Q (0.707) or Vb=LITRE. vented: the\n"
     "flattest alignment the driver allows, or\n"
     "Alignment=B4|QB3|C4|SC4|BB4, or Vb=LITRE Fb=HZ; QL=7,\n"
     "Port=CM, Ports=N. Both: Xmax=MM, Pe=W, Power=W (1 W).\n"
     "--plot draws the box instead of the impedance",
     "worked.spk --box vented Port=7 --tolerance Vas=10%"},
    {"--impedance", nullptr, 1, "RECORDING.wav", nullptr, take_impedance, false,
     "the driver's impedance from a two-channel recording of the\n"
     "jig (input A before Rref, input B across the driver), with\n"
     "Rref=OHM: band, resolution, points, levels, coherence,\n"
     "corrections and warnings",
     "--impedance free.wav Rref=10 --out free.zma"},
    {"--calibration", nullptr, 1, "CAL.wav", nullptr, take_calibration, false,
     "both inputs on the same node: matches the inputs' gains", nullptr},
    {"--open", nullptr, 1, "OPEN.wav", nullptr, take_open, false,
     "the jig open: the inputs' loading (or give Rin=OHM)", nullptr},
    {"--short", nullptr, 1, "SHORT.wav", nullptr, take_short, false,
     "the driver's clips shorted: the leads (or give Rlead=OHM)", nullptr},
    {"--out", nullptr, 1, "SWEEP.zma", nullptr, take_out, false,
     "with --impedance or --measure: write the measured sweep", nullptr},
    {"--stimulus", nullptr, 1, "FILE.wav", nullptr, take_stimulus, false,
     "write our measuring signal, to play with any program", "--stimulus stimulus.wav"},
    {"--rate", nullptr, 1, "HZ", nullptr, take_rate, false,
     "with --stimulus: its sample rate (48000 unless given)", nullptr},
    {"--seconds", nullptr, 1, "S", nullptr, take_seconds, false,
     "the stimulus's length (14 unless given)", nullptr},
    {"--devices", nullptr, 0, nullptr, &CalcOptions::devices, nullptr, false,
     "list the sound card's inputs and outputs (Windows)", nullptr},
    {"--record", nullptr, 1, "OUT.wav", nullptr, take_record, false,
     "play the stimulus (or --play FILE.wav as it is) and record\n"
     "both inputs (Windows)",
     nullptr},
    {"--device", nullptr, 1, "N", nullptr, take_device, false,
     "with --record or --measure: the device, or IN,OUT", nullptr},
    {"--play", nullptr, 1, "FILE.wav", nullptr, take_play, false,
     "with --record: a stereo file to play instead of the stimulus", nullptr},
    {"--measure", nullptr, 0, nullptr, &CalcOptions::measure, nullptr, false,
     "record and analyse in one, with Rref=OHM (Windows)", "--measure Rref=10 --out free.zma"},
    {"--max-level", nullptr, 1, "DBFS", nullptr, take_max_level, false,
     "the output's highest peak for the automatic level (-12)", nullptr},
    {"--help", "-h", 0, nullptr, &CalcOptions::help, nullptr, false, "this text", nullptr},
    {"--version", nullptr, 0, nullptr, &CalcOptions::version, nullptr, false,
     "the program's version", nullptr},
};
constexpr int OPTION_COUNT = static_cast<int>(std::size(OPTIONS));

static const char USAGE[] =
    "usage: elemtrix-calc [OPTION...] FILE.spk... | NAME=TEXT...\n"
    "       elemtrix-calc --sweep FREE.zma [--added-sweep GRAMS ADDED.zma]... Sd=CM2\n"
    "                     [Re=OHM] [Vas=LITRE] [Name=TEXT] [OPTION...]\n"
    "       elemtrix-calc --impedance RECORDING.wav Rref=OHM [--calibration CAL.wav]\n"
    "                     [--open OPEN.wav] [--short SHORT.wav] [--out SWEEP.zma] [--json]\n"
    "       elemtrix-calc --stimulus FILE.wav [--rate HZ] [--seconds S]\n"
    "       elemtrix-calc --devices | --record OUT.wav [--device N] [--play FILE.wav]\n"
    "       elemtrix-calc --measure Rref=OHM [--device N] [--out SWEEP.zma] [--json]\n";

static const char HELP_INTRO[] =
    "Computes loudspeaker drivers as Elemtrix's \"Kalkylera\" does, from driver data files\n"
    "or from the ten values given as NAME=TEXT (Fs Re Zmax Sd Vas Qms Qes Qts FsAdded\n"
    "AddedMass, and Name for the driver name; a missing value is an empty text), or\n"
    "fits the driver to impedance sweeps measured on it.\n"
    "\n";

static const char HELP_END[] =
    "\n"
    "Example: elemtrix-calc Fs=30 Re=6 Zmax=40 Sd=500 Vas=50 Qms=3 Qes=0.45 Qts=0.39 "
    "FsAdded=25 AddedMass=20\n"
    "Exit status: 0 all done, 1 a file not read or a sweep not usable, the plot or the\n"
    "driver data file not made, the output not written or no box for a driver, 2 usage.\n"
    "A recording refused (clipped, no driver, no signal...) or the sound card failing\n"
    "is 1; a warning leaves 0. Rref=, Rin= and Rlead= (ohm) are measurement settings.\n";

static const char EXAMPLE_PROGRAM[] = "elemtrix-calc ";
constexpr std::size_t HELP_COLUMN = 23;    // where the lines of an option's help start
constexpr std::size_t EXAMPLE_COLUMN = 25; // and its example

// The option and its arguments, then its help lines, beside it where it leaves room.
static std::string help_entry(const std::string &option, const char *help, const char *example) {
    std::string out = "  " + option;
    out += out.size() < HELP_COLUMN ? std::string(HELP_COLUMN - out.size(), ' ')
                                    : "\n" + std::string(HELP_COLUMN, ' ');
    for (const char *c = help; *c; ++c)
        out += *c == '\n' ? "\n" + std::string(HELP_COLUMN, ' ') : std::string(1, *c);
    out += "\n";
    if (example)
        out += std::string(EXAMPLE_COLUMN, ' ') + EXAMPLE_PROGRAM + example + "\n";
    return out;
}

std::string usage_text() {
    return std::string(USAGE) + "try elemtrix-calc --help\n";
}

std::string help_text() {
    std::string out = std::string(USAGE) + HELP_INTRO;
    for (const auto &rule : OPTIONS) {
        std::string option = rule.name;
        if (rule.short_name)
            option = std::string(rule.short_name) + ", " + option;
        if (rule.takes)
            option +=
                std::string(" ") + rule.takes + (rule.arguments == UP_TO_NEXT_OPTION ? "..." : "");
        out += help_entry(option, rule.help, rule.example);
    }
    return out +
           help_entry(END_OF_OPTIONS, "the end of the options: what follows are files and values",
                      nullptr) +
           HELP_END;
}

// Takes the option at args[0] with the arguments it needs from the count - 1 after it, and
// says how many it took; false after a usage error.
static bool take_option(Parse &p, char *const *args, int count, bool (&seen)[OPTION_COUNT],
                        int &taken) {
    const char *arg = args[0];
    for (int k = 0; k < OPTION_COUNT; ++k) {
        const auto &rule = OPTIONS[k];
        if (std::strcmp(arg, rule.name) != 0 &&
            !(rule.short_name && std::strcmp(arg, rule.short_name) == 0))
            continue;
        if (seen[k] && !rule.repeatable)
            return calc_error(p.o.error, std::string(rule.name) + " given twice");
        seen[k] = true;
        taken = rule.arguments;
        if (taken == UP_TO_NEXT_OPTION)
            for (taken = 0; taken + 1 < count && !is_option(args[taken + 1]);)
                ++taken;
        if (taken + 1 > count || (taken == 0 && rule.arguments != 0))
            return calc_error(p.o.error,
                              std::string(rule.name) + " needs " + rule.takes +
                                  (rule.arguments == UP_TO_NEXT_OPTION ? " arguments" : ""));
        if (!rule.flag)
            return rule.take(p, args + 1, taken);
        p.o.*rule.flag = true;
        return true;
    }
    return calc_error(p.o.error, std::string("unknown option ") + arg);
}

// Whether two paths name the same file: the same text, or one existing file reached two ways.
static bool same_file(const char *a, const char *b) {
#ifdef _WIN32
    char full_a[_MAX_PATH], full_b[_MAX_PATH];
    return same_letters(a, b) ||
           (_fullpath(full_a, a, sizeof full_a) && _fullpath(full_b, b, sizeof full_b) &&
            same_letters(full_a, full_b));
#else
    struct stat sa, sb;
    return std::strcmp(a, b) == 0 || (stat(a, &sa) == 0 && stat(b, &sb) == 0 &&
                                      sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
#endif
}

namespace {

// A file the command line names.
struct NamedFile {
    const char *what;
    const char *path;
};

} // namespace

// The files written must not replace any file named on the command line (their extensions keep
// them apart from each other), and no sweep is given twice.
static bool check_files(const CalcOptions &o, MeasureError &error) {
    std::vector<NamedFile> named;
    for (const char *source : o.sources)
        if (source)
            named.push_back({"the driver data file", source});
    if (o.sweep_path)
        named.push_back({"the sweep", o.sweep_path});
    for (const AddedSweepArg &a : o.added_sweeps)
        named.push_back({"the sweep", a.path});
    const NamedFile recordings[] = {{"the recording", o.impedance_path},
                                    {"the recording", o.calibration_path},
                                    {"the recording", o.open_path},
                                    {"the recording", o.short_path},
                                    {"the file", o.play_path}};
    for (const NamedFile &r : recordings)
        if (r.path)
            named.push_back(r);
    // Driver data files may be given twice; sweeps and recordings are measurements of their own.
    const bool measurements = o.sweep_path || o.impedance_path || o.measure || o.record_path;
    for (std::size_t i = 0; measurements && i < named.size(); ++i)
        for (std::size_t k = 0; k < i; ++k)
            if (same_file(named[i].path, named[k].path))
                return calc_error(error, std::string(named[i].what) + " " + named[i].path +
                                             " is given twice");
    const NamedFile written[] = {{"--plot", o.plot_path.c_str()},
                                 {"--save", o.save_path.c_str()},
                                 {"--out", o.out_path.c_str()},
                                 {"--record", o.record_path},
                                 {"--stimulus", o.stimulus_path}};
    for (const NamedFile &w : written) {
        if (!w.path || !*w.path)
            continue;
        for (const NamedFile &n : named)
            if (same_file(n.path, w.path))
                return calc_error(error, std::string(w.what) + " " + w.path + " would replace " +
                                             n.what + " " + n.path);
    }
    return true;
}

// Values that the sweeps do not give, as --sweep takes them.
static const InputId GIVEN_WITH_SWEEP[] = {InputId::Sd, InputId::Re, InputId::Vas};

static bool given_with_sweep(int line) {
    for (InputId id : GIVEN_WITH_SWEEP)
        if (line == static_cast<int>(id) + 1)
            return true;
    return false;
}

static bool check_sweep(const CalcOptions &o, MeasureError &error) {
    for (const char *source : o.sources)
        if (source)
            return calc_error(error, std::string("--sweep takes no driver data file (") + source +
                                         "); an added-mass sweep is given as --added-sweep "
                                         "GRAMS FILE");
    if (o.format == CalcFormat::Csv)
        return calc_error(
            error, "--sweep takes no --csv or --tolerance: its tolerances come from the fit");
    // The typed values may have tolerances; the fitted ones have their errors from the fit.
    DriverInputs typed{};
    for (int i = 0; i < INPUT_COUNT; ++i) {
        const char *text = o.value_args[i + 1];
        if (o.tolerances.input[i].amount > 0 && (!text || !given_with_sweep(i + 1)))
            return calc_error(error, std::string("the tolerance of ") + line_key(i + 1) +
                                         " comes from the fit: with --sweep, --tolerance names "
                                         "only the typed values Sd, Re and Vas");
        typed.entry[i].value = text ? text_to_value(text) : 0;
    }
    for (int line = NAME_LINE + 1; line < DRIVER_FILE_LINES; ++line)
        if (o.value_args[line] && !given_with_sweep(line))
            return calc_error(error, std::string(line_key(line)) +
                                         " comes from the sweeps: with --sweep give only Sd, Re, "
                                         "Vas and Name, and with a recording (.wav) Rref, Rin "
                                         "and Rlead");
    if (!o.value_args[static_cast<int>(InputId::Sd) + 1])
        return calc_error(error, "--sweep needs Sd=CM2, the cone area in cm2");
    for (InputId id : GIVEN_WITH_SWEEP) {
        const InputDescriptor &input = INPUT_DESCRIPTORS[static_cast<int>(id)];
        const char *text = o.value_args[static_cast<int>(id) + 1];
        double value;
        if (text && !measured_number(text, input.text_limit, value))
            return calc_error(error, std::string("bad value ") + input.name + "=" + text +
                                         " for --sweep (a number above 0 that its field of " +
                                         std::to_string(input.text_limit) + " characters holds)");
    }
    return !o.tolerance || tolerances_fit(o.tolerances, typed, path_text(o.sweep_path), error);
}

static bool any_setting(const CalcOptions &o) {
    for (const char *given : o.setting_args)
        if (given)
            return true;
    return false;
}

static bool sweep_has_recording(const CalcOptions &o) {
    if (o.sweep_path && is_recording_path(o.sweep_path))
        return true;
    for (const AddedSweepArg &a : o.added_sweeps)
        if (is_recording_path(a.path))
            return true;
    return false;
}

// Whatever makes a run one of its own kind; at most one is given.
static int modes_given(const CalcOptions &o) {
    const bool modes[] = {o.sweep_path != nullptr,    o.impedance_path != nullptr,
                          o.stimulus_path != nullptr, o.devices,
                          o.record_path != nullptr,   o.measure};
    int count = 0;
    for (bool given : modes)
        count += given;
    return count;
}

// Where Rref=, Rin=, Rlead= and the corrections' recordings belong, and what they need.
static bool check_settings(const CalcOptions &o, MeasureError &error) {
    const bool analyses = o.impedance_path || o.measure || sweep_has_recording(o);
    const bool corrections = o.calibration_path || o.open_path || o.short_path;
    if (!analyses && (any_setting(o) || corrections))
        return calc_error(error, std::string(any_setting(o) ? SETTINGS_TEXT
                                                            : "--calibration, --open and --short") +
                                     " go with a recording: give --impedance RECORDING.wav, "
                                     "--measure, or a recording (.wav) to --sweep");
    if (analyses && !o.setting_args[RREF])
        return calc_error(error, "a recording needs Rref=OHM, the reference resistor in ohm");
    if (o.open_path && o.setting_args[RIN])
        return calc_error(error, "--open and Rin= both give the inputs' loading: give one");
    if (o.short_path && o.setting_args[RLEAD])
        return calc_error(error, "--short and Rlead= both give the leads' resistance: give one");
    if (!o.out_path.empty() && !o.impedance_path && !o.measure)
        return calc_error(error, "--out writes the sweep measured with --impedance or --measure");
    return true;
}

// --stimulus, --devices, --record, --measure, --impedance: the sound card's options only where
// they belong, and no drivers.
static bool check_recording_modes(const CalcOptions &o, MeasureError &error) {
    const bool records = o.record_path || o.measure;
    if ((o.rate) && !o.stimulus_path)
        return calc_error(error, "--rate goes with --stimulus");
    if (o.seconds > 0 && !o.stimulus_path && !records)
        return calc_error(error, "--seconds goes with --stimulus, --record or --measure");
    if ((o.device_given || o.max_level_given) && !records)
        return calc_error(error, "--device and --max-level go with --record or --measure");
    if (o.play_path && !o.record_path)
        return calc_error(error, "--play goes with --record");
    if (o.play_path && o.seconds > 0)
        return calc_error(error, "--play plays the file as it is: give no --seconds");
    if (o.sweep_path || (!o.impedance_path && !o.stimulus_path && !o.devices && !records))
        return true;
    for (const char *source : o.sources)
        return calc_error(error, std::string("the sound card's options take no driver data file "
                                             "or values (") +
                                     (source ? source : "NAME=TEXT") + ")");
    if (o.format == CalcFormat::Csv || o.check || o.explain || o.tolerance ||
        !o.plot_path.empty() || !o.save_path.empty())
        return calc_error(error, "--impedance, --measure, --record, --devices and --stimulus "
                                 "take no --csv, --check, --explain, --tolerance, --plot or "
                                 "--save");
    if (o.format == CalcFormat::Json && !o.impedance_path && !o.measure)
        return calc_error(error, "--json goes with --impedance or --measure");
    return true;
}

// The checks between options, once all are known.
static bool check_combination(const CalcOptions &o, MeasureError &error) {
    if (modes_given(o) > 1)
        return calc_error(error, "--sweep, --impedance, --stimulus, --devices, --record and "
                                 "--measure exclude each other");
    if (!check_settings(o, error) || !check_recording_modes(o, error))
        return false;
    if (o.impedance_path || o.stimulus_path || o.devices || o.record_path || o.measure)
        return check_files(o, error);
    if (o.sweep_path)
        return check_sweep(o, error) && check_files(o, error);
    if (!o.added_sweeps.empty())
        return calc_error(error, "--added-sweep needs --sweep FREE.zma");
    if (!o.save_path.empty())
        return calc_error(error,
                          "--save writes a driver fitted with --sweep: give --sweep FREE.zma");
    if (o.sources.empty())
        return calc_error(error, "no driver: give FILE.spk or NAME=TEXT values");
    if (o.format == CalcFormat::Csv && o.box.kind != BoxKind::None)
        return calc_error(error, "--csv takes no --box");
    if (o.format == CalcFormat::Csv &&
        (o.check || o.explain || o.tolerance || !o.plot_path.empty()))
        return calc_error(error, "--csv takes no --check, --explain, --tolerance or --plot");
    if (!o.plot_path.empty() && o.sources.size() != 1)
        return calc_error(error, "--plot draws one driver: give exactly one");
    return check_files(o, error);
}

CalcOptions parse_options(int argc, char **argv) {
    Parse p;
    bool seen[OPTION_COUNT] = {};
    bool options_ended = false;
    bool has_values = false;
    bool usable = true;
    for (int i = 1; i < argc && usable; ++i) {
        std::string key;
        const char *text;
        int taken = 0;
        if (!options_ended && std::strcmp(argv[i], END_OF_OPTIONS) == 0) {
            options_ended = true;
        } else if (!options_ended && is_option(argv[i])) {
            usable = take_option(p, argv + i, argc - i, seen, taken);
            i += taken;
        } else if (is_assignment(argv[i], key, text) && setting_index(key) >= 0) {
            usable = set_setting(p, setting_index(key), text);
        } else if (is_assignment(argv[i], key, text)) {
            usable = set_value(p, key, text);
            if (!has_values)
                p.o.sources.push_back(nullptr);
            has_values = true;
        } else {
            p.o.sources.push_back(argv[i]);
        }
    }
    p.o.values.count = DRIVER_FILE_LINES; // a value not given is an empty field
    if (usable && !p.o.help && !p.o.version)
        check_combination(p.o, p.o.error);
    return p.o;
}

// %g, as the tolerance was given.
static std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool tolerances_fit(const Tolerances &tolerances, const DriverInputs &inputs,
                    const std::string &source, MeasureError &error) {
    for (int i = 0; i < INPUT_COUNT; ++i) {
        const InputTolerance &t = tolerances.input[i];
        const double value = inputs.entry[i].value;
        if (tolerance_fits(t, value))
            continue;
        const std::string name = INPUT_DESCRIPTORS[i].name;
        const std::string reason =
            absolute_tolerance(t, value) > std::fabs(value)
                ? "the tolerance of " + name + " (" + number_text(t.amount) +
                      (t.percent ? " %" : "") + ") is larger than " + name + " itself (" +
                      number_text(value) + ")"
                : name + " (" + number_text(value) +
                      ") takes no tolerance: it must be finite and away from 0";
        return calc_error(error, reason + " in " + source);
    }
    return true;
}
