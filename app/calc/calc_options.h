// elemtrix-calc's command line: options, driver data files and NAME=TEXT values. Every argument
// is checked here, before any file is read or anything printed.
#pragma once

#include "app/calc/calc_error.h"
#include "engine/driver_file.h"
#include "engine/uncertainty.h"

#include <cmath>

#include <string>
#include <vector>

enum class CalcFormat { Text, Csv, Json };

// --added-sweep GRAMS FILE: a sweep measured with a known mass on the cone.
struct AddedSweepArg {
    double grams;
    const char *path;
};

// --box sealed|vented NAME=VALUE...: the box to design for the driver, in the units typed;
// NaN where a value is not given (the library's default then holds).
enum class BoxKind { None, Sealed, Vented };
struct BoxArgs {
    BoxKind kind = BoxKind::None;
    const char *alignment = nullptr; // Alignment=: one of BOX_ALIGNMENTS
    double Qtc = NAN, Vb = NAN, Fb = NAN, QL = NAN, Port = NAN, Ports = NAN, Xmax = NAN, Pe = NAN,
           Power = NAN; // litre, Hz, cm, mm, W
};
// The vented alignments --box names, as typed.
constexpr int BOX_ALIGNMENT_COUNT = 5;
extern const char *const BOX_ALIGNMENTS[BOX_ALIGNMENT_COUNT];

struct CalcOptions {
    CalcFormat format = CalcFormat::Text;
    bool check = false;
    bool explain = false;
    bool help = false;
    bool version = false;
    bool tolerance = false;
    Tolerances tolerances;
    std::string plot_path; // empty: no plot
    // --sweep: the driver is fitted to this free-air sweep (and the added-mass sweeps) instead
    // of being read from files or values; NAME=TEXT then gives only Sd, Re, Vas and Name.
    const char *sweep_path = nullptr;
    std::vector<AddedSweepArg> added_sweeps; // in command-line order
    std::string save_path;                   // --save: empty, none
    BoxArgs box;
    // The drivers in command-line order: a file path, or nullptr where the driver given by
    // NAME=TEXT values stands (at its first value).
    std::vector<const char *> sources;
    DriverFileLines values{}; // the name and ten texts of that driver, cut as the fields cut
    // Each NAME=TEXT as given, before any cut, in file-line order; nullptr where not given.
    const char *value_args[DRIVER_FILE_LINES] = {};
    // A driver's impedance measured through the sound card: Rref=, Rin= and Rlead=, the
    // measurement settings, go with --impedance, --measure or a recording given to --sweep.
    const char *stimulus_path = nullptr;  // --stimulus: write our stimulus
    unsigned rate = 0;                    // --rate; 0: not given
    double seconds = 0;                   // --seconds; 0: not given
    const char *impedance_path = nullptr; // --impedance: analyse a recording
    const char *calibration_path = nullptr, *open_path = nullptr, *short_path = nullptr;
    std::string out_path;             // --out: the measured sweep; empty, none
    double rref = 0;                  // ohm; 0: not given
    double rin = 0;                   // ohm; 0: not given
    double rlead = -1;                // ohm; below 0: not given
    const char *setting_args[3] = {}; // Rref=, Rin=, Rlead= as given; nullptr where not
    // The sound card, in the Windows build.
    bool devices = false;                    // --devices
    const char *record_path = nullptr;       // --record
    const char *play_path = nullptr;         // --play
    bool measure = false;                    // --measure
    int input_device = 0, output_device = 0; // --device; 0: Windows' own choice
    bool device_given = false;
    double max_level = -12; // --max-level: the output's highest peak, dBFS
    bool max_level_given = false;
    MeasureError error; // a usage error, when it has a message
};

// Whether the path names a WAV recording: it ends in .wav, in any case.
bool is_recording_path(const char *path);

CalcOptions parse_options(int argc, char **argv);

// What a usage error shows after its message: the command lines and where to read more.
std::string usage_text();
// What --help prints: the usage, then every option with its help and example.
std::string help_text();

// A number given with --sweep (GRAMS, Sd, Re, Vas): plain decimals, above 0 also as the field
// of limit characters would hold it. False for anything else.
bool measured_number(const char *text, int limit, double &value);

// A tolerance text: a non-negative decimal number, "%" after it for a relative one.
bool parse_tolerance(const char *text, InputTolerance &tolerance);

// Whether every tolerance fits the driver's value (tolerance_fits); the usage error, naming the
// input and the source, when one does not.
bool tolerances_fit(const Tolerances &tolerances, const DriverInputs &inputs,
                    const std::string &source, MeasureError &error);
