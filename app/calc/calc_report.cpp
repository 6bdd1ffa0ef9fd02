#include "app/calc/calc_report.h"

#include "app/calc/calc_sweep.h"
#include "base/number_text.h"
#include "engine/explain.h"

#include <cstring>

CalcDriver calculate_driver(const std::string &source, const DriverFileLines &lines) {
    CalcDriver d{};
    d.source = source;
    std::memcpy(d.name, lines.text[0], sizeof d.name);
    set_input_texts(d.inputs, lines);
    d.findings = calculate(d.inputs, d.results);
    d.warnings = check_plausibility(d.inputs);
    return d;
}

const char *row_name(int row) {
    return row < SHOWN_INPUT_COUNT ? INPUT_DESCRIPTORS[row].name
                                   : RESULT_ROWS[row - SHOWN_INPUT_COUNT].name;
}

std::string value_text(const ValueRow &row) {
    char text[WT_NUMBER_TEXT_SIZE];
    return value_column_text(text, row.value, row.decimals);
}

std::string decimal_text(double value, int decimals) {
    char text[WT_NUMBER_TEXT_SIZE];
    return wt_format_number(text, value, decimals);
}

const char PLUS_MINUS[] = u8"±";

constexpr std::size_t CAPTION_WIDTH = 16; // "Känslighet Watt" and a blank
constexpr std::size_t VALUE_WIDTH = 12;
constexpr std::size_t SPREAD_WIDTH = 10;
constexpr int HZ_DECIMALS = 2; // as the value column shows Fs
static const char MOST_FROM[] = u8"  (mest från ";

std::string pad_right(const std::string &cp1252, std::size_t width) {
    std::string s = cp1252;
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

std::string pad_left(const std::string &s, std::size_t width) {
    return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

static std::string value_column(const CalcDriver &d, const Uncertainties *u) {
    std::string out = "Fil: " + d.source + "\n";
    out += "Namn: " + cp1252_to_utf8(d.name) + "\n";
    for (const InputError &e : d.findings)
        out += "INMATNINGSFEL: " + cp1252_to_utf8(input_error_message(e)) + "\n";
    for (int i = 0; i < VALUE_ROW_COUNT; ++i) {
        const ValueRow row = value_row(i, d.inputs, d.results);
        // Padded before conversion: one Windows-1252 byte is one character.
        out += cp1252_to_utf8(pad_right(row.caption, CAPTION_WIDTH)) +
               pad_left(value_text(row), VALUE_WIDTH);
        if (u) {
            // A ± figure is no value of the column: it keeps every digit of the row's decimals.
            out += std::string(" ") + PLUS_MINUS +
                   pad_left(decimal_text(u->row[i].plus_minus, row.decimals), SPREAD_WIDTH);
        }
        out += "  " + cp1252_to_utf8(row.unit);
        if (u && u->row[i].largest >= 0)
            out += std::string(MOST_FROM) + INPUT_DESCRIPTORS[u->row[i].largest].name + ")";
        out += "\n";
    }
    return out;
}

std::string text_report(const CalcResult &r) {
    const CalcDriver &d = *r.driver;
    std::string out = r.measurement ? measurement_report(*r.measurement) : "";
    out += value_column(d, r.uncertainties);
    if (r.check)
        for (const PlausibilityWarning &w : d.warnings)
            out += "RIMLIGHET: " + cp1252_to_utf8(w.message) + "\n";
    if (r.explain) {
        out += u8"Beräkning:\n";
        for (const std::string &line : explain_calculation(d.inputs, d.results))
            out += line + "\n";
    }
    if (!r.plot.empty()) {
        out += "Impedanskurva: " + r.plot;
        if (!r.measurement)
            out += "  F1 = " + decimal_text(r.side.F1, HZ_DECIMALS) +
                   " Hz  F2 = " + decimal_text(r.side.F2, HZ_DECIMALS) + " Hz";
        out += "\n";
    }
    if (!r.saved.empty())
        out += "Sparad: " + r.saved + "\n";
    return out;
}

static std::string csv_field(const std::string &s) {
    // Quoted also for edge blanks, which some readers would trim.
    if (s.find_first_of(",\"\r\n") == std::string::npos &&
        (s.empty() || (s.front() != ' ' && s.back() != ' ')))
        return s;
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csv_header() {
    std::string out = "file,name";
    for (const InputDescriptor &d : INPUT_DESCRIPTORS)
        out += std::string(",text_") + d.name;
    for (int i = 0; i < SHOWN_INPUT_COUNT; ++i)
        out += std::string(",") + INPUT_DESCRIPTORS[i].name;
    for (const ResultDescriptor &r : RESULT_ROWS)
        out += std::string(",") + r.name;
    return out + "\n";
}

std::string csv_row(const CalcResult &r) {
    const CalcDriver &d = *r.driver;
    std::string out = csv_field(d.source) + "," + csv_field(cp1252_to_utf8(d.name));
    for (const InputEntry &e : d.inputs.entry)
        out += "," + csv_field(cp1252_to_utf8(e.text));
    for (int i = 0; i < VALUE_ROW_COUNT; ++i)
        out += "," + value_text(value_row(i, d.inputs, d.results));
    return out + "\n";
}
