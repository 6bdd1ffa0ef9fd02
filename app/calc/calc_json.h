// elemtrix-calc --json: every driver with its texts, values, findings, value column and
// plausibility warnings, and the uncertainties and explanation when asked for. UTF-8.
#pragma once

#include "app/calc/calc_report.h"
#include "app/calc/calc_sweep.h"
#include "engine/impedance.h"

#include <string>

// What --tolerance, --explain and --plot add to a driver's object; null pointers add nothing.
struct JsonExtras {
    const Uncertainties *uncertainties;
    bool explain;
    const char *plot_path; // UTF-8
    SideFrequencies side;
    const char *measurement; // --sweep: a JSON object made by json_measurement
};

std::string json_string(const std::string &utf8);
// A double that keeps every bit; infinities and NaN as the strings "inf", "-inf", "nan".
std::string json_number(double value);
// An uncertainty to six significant digits: its further digits are rounding noise of the
// central differences, which differs between platforms' log10 and pow.
std::string json_uncertainty(double value);

// What --sweep adds to the driver: per sweep its classic and fitted values with their standard
// errors, the added-mass line, Vas from the compliance with the air it assumes, the inputs left
// out of the uncertainties, and the files written (plot_path, save_path: UTF-8, null: none).
std::string json_measurement(const Measurement &m, const char *plot_path, const char *save_path);

std::string json_driver(const CalcDriver &driver, const JsonExtras &extras);

// The drivers' objects go between the head and the tail, separated by ",\n".
std::string json_head();
std::string json_tail();
