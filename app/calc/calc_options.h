// elemtrix-calc's command line: options, driver data files and NAME=TEXT values. Every argument
// is checked here, before any file is read or anything printed.
#pragma once

#include "engine/driver_file.h"
#include "engine/uncertainty.h"

#include <string>
#include <vector>

enum class CalcFormat { Text, Csv, Json };

struct CalcOptions {
    CalcFormat format = CalcFormat::Text;
    bool check = false;
    bool explain = false;
    bool help = false;
    bool version = false;
    bool tolerance = false;
    Tolerances tolerances;
    std::string plot_path; // empty: no plot
    // The drivers in command-line order: a file path, or nullptr where the driver given by
    // NAME=TEXT values stands (at its first value).
    std::vector<const char *> sources;
    DriverFileLines values{}; // the name and ten texts of that driver, cut as the fields cut
    std::string error;        // not empty: a usage error, the message to show
};

CalcOptions parse_options(int argc, char **argv);

// A tolerance text: a non-negative decimal number, "%" after it for a relative one.
bool parse_tolerance(const char *text, InputTolerance &tolerance);

// The usage error for a tolerance that does not fit the driver's value (tolerance_fits), naming
// the input and the source; empty when all fit.
std::string tolerance_error(const Tolerances &tolerances, const DriverInputs &inputs,
                            const std::string &source);
