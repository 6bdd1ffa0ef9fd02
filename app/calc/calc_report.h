// What elemtrix-calc prints for one driver: the same texts, findings and value column that the
// window shows, as UTF-8 text or as a CSV row.
#pragma once

#include "engine/calculate.h"

#include <string>
#include <vector>

struct CalcDriver {
    std::string source; // the file it came from, UTF-8
    char name[DRIVER_LINE_SIZE];
    DriverInputs inputs;
    DriverResults results;
    std::vector<InputError> findings;
};

// Runs "Kalkylera" on the lines of a driver data file.
CalcDriver calculate_driver(const std::string &source, const DriverFileLines &lines);

std::string cp1252_to_utf8(const std::string &text);

// The value as the value column paints it.
std::string value_text(const ValueRow &row);

std::string text_report(const CalcDriver &driver);
std::string csv_header();
std::string csv_row(const CalcDriver &driver);
