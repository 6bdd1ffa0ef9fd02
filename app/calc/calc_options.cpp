#include "app/calc/calc_options.h"

#include "app/calc/calc_report.h"

#include <cstring>

// Name= gives the driver name, the first line of a driver data file.
static const char NAME_KEY[] = "Name";
constexpr int NAME_LINE = 0;
constexpr int NOT_A_NAME = -1;

// The line of a driver data file that a NAME= key fills, or NOT_A_NAME.
static int value_line(const std::string &key) {
    if (key == NAME_KEY)
        return NAME_LINE;
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (key == INPUT_DESCRIPTORS[i].name)
            return i + 1;
    return NOT_A_NAME;
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

static void set_value(CalcOptions &o, int line, const char *text) {
#ifdef _WIN32
    const std::string cp1252 = text; // an ANSI command line
#else
    const std::string cp1252 = utf8_to_cp1252(text);
#endif
    char *field = o.values.text[line];
    const std::size_t limit = driver_file_line_limit(line);
    std::memset(field, 0, DRIVER_LINE_SIZE);
    std::memcpy(field, cp1252.data(), cp1252.size() < limit ? cp1252.size() : limit);
}

static bool add_tolerance(CalcOptions &o, const std::string &key, const char *text) {
    const int line = value_line(key);
    if (line == NOT_A_NAME || line == NAME_LINE) {
        o.error = "unknown tolerance name " + key;
        return false;
    }
    if (!parse_tolerance(text, o.tolerances.input[line - 1])) {
        o.error = "bad tolerance " + key + "=" + text + " (a number, or a number and %)";
        return false;
    }
    o.tolerance = true;
    return true;
}

static const struct {
    const char *option;
    bool CalcOptions::*flag;
} FLAGS[] = {
    {"--check", &CalcOptions::check},
    {"--explain", &CalcOptions::explain},
    {"--help", &CalcOptions::help},
    {"--version", &CalcOptions::version},
};

static const struct {
    const char *option;
    CalcFormat format;
} FORMATS[] = {{"--csv", CalcFormat::Csv}, {"--json", CalcFormat::Json}};

// Parses one option at argv[i]; advances i over the arguments it takes. False on a usage error.
static bool parse_option(CalcOptions &o, int argc, char **argv, int &i) {
    const char *arg = argv[i];
    for (const auto &f : FLAGS)
        if (std::strcmp(arg, f.option) == 0) {
            o.*f.flag = true;
            return true;
        }
    for (const auto &f : FORMATS)
        if (std::strcmp(arg, f.option) == 0) {
            if (o.format != CalcFormat::Text && o.format != f.format) {
                o.error = "--csv and --json exclude each other";
                return false;
            }
            o.format = f.format;
            return true;
        }
    if (std::strcmp(arg, "--plot") == 0) {
        if (i + 1 == argc) {
            o.error = "--plot needs a file name";
            return false;
        }
        o.plot_path = argv[++i];
        return true;
    }
    if (std::strcmp(arg, "--tolerance") == 0) {
        std::string key;
        const char *text;
        bool any = false;
        while (i + 1 < argc && is_assignment(argv[i + 1], key, text)) {
            if (!add_tolerance(o, key, text))
                return false;
            any = true;
            ++i;
        }
        if (!any)
            o.error = "--tolerance needs NAME=AMOUNT arguments";
        return any;
    }
    o.error = std::string("unknown option ") + arg;
    return false;
}

CalcOptions parse_options(int argc, char **argv) {
    CalcOptions o;
    bool has_values = false;
    for (int i = 1; i < argc && o.error.empty(); ++i) {
        std::string key;
        const char *text;
        if (argv[i][0] == '-' && argv[i][1] == '-') {
            parse_option(o, argc, argv, i);
        } else if (is_assignment(argv[i], key, text)) {
            const int line = value_line(key);
            if (line == NOT_A_NAME) {
                o.error = "unknown value name " + key;
                break;
            }
            set_value(o, line, text);
            if (!has_values)
                o.sources.push_back(nullptr);
            has_values = true;
        } else {
            o.sources.push_back(argv[i]);
        }
    }
    if (!o.error.empty() || o.help || o.version)
        return o;
    o.values.count = DRIVER_FILE_LINES;
    if (o.sources.empty())
        o.error = "no driver: give FILE.spk or NAME=TEXT values";
    else if (o.format == CalcFormat::Csv &&
             (o.check || o.explain || o.tolerance || !o.plot_path.empty()))
        o.error = "--csv takes no --check, --explain, --tolerance or --plot";
    else if (!o.plot_path.empty() && o.sources.size() != 1)
        o.error = "--plot draws one driver: give exactly one";
    return o;
}
