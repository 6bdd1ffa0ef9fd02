// What elemtrix-calc prints for one driver: the same texts, findings and value column that the
// window shows, as UTF-8 text or as a CSV row.
#pragma once

#include "base/charset.h"
#include "engine/calculate.h"
#include "engine/impedance.h"
#include "engine/plausibility.h"
#include "engine/uncertainty.h"

#include <cmath>
#include <string>
#include <vector>

struct CalcDriver {
    std::string source; // the file it came from, UTF-8
    char name[DRIVER_LINE_SIZE];
    DriverInputs inputs;
    DriverResults results;
    std::vector<InputError> findings;
    std::vector<PlausibilityWarning> warnings;
};

// Runs "Kalkylera" on the lines of a driver data file.
CalcDriver calculate_driver(const std::string &source, const DriverFileLines &lines);

// The name of a value-column row as in the code, the command line and the JSON output.
const char *row_name(int row);

// The value as the window's value column shows it, whatever font is installed.
std::string value_text(const ValueRow &row);
// The value with that many decimals, as a number label writes it but never cut to the column.
std::string decimal_text(double value, int decimals);

extern const char PLUS_MINUS[]; // UTF-8

// Blanks after or before a text up to the width in bytes: one Windows-1252 byte is one character.
std::string pad_right(const std::string &cp1252, std::size_t width);
std::string pad_left(const std::string &s, std::size_t width);

struct Measurement;

// Everything elemtrix-calc prints of one driver: its text, CSV and JSON writers read only this.
struct CalcResult {
    const CalcDriver *driver = nullptr;           // the file, texts, values, findings and warnings
    const Uncertainties *uncertainties = nullptr; // --tolerance, or the fit's; null: none
    const Measurement *measurement = nullptr;     // --sweep: the fit the driver came from
    bool check = false;                           // the warnings are shown in the text
    bool explain = false;                         // each formula with its numbers
    // The files written, UTF-8; empty: none. A driver's plot is its modelled curve, with where
    // it crosses ZF1/ZF2; a measurement's shows the sweeps over their fitted curves.
    std::string plot;
    SideFrequencies side = {NAN, NAN};
    std::string saved; // --save
};

// With uncertainties, each row adds its ± figure and the input that contributes most; the
// warnings, formulas and files written follow the value column.
std::string text_report(const CalcResult &result);

std::string csv_header();
std::string csv_row(const CalcResult &result);
