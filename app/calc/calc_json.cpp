#include "app/calc/calc_json.h"

#include "engine/explain.h"
#include "toolkit/number_text.h"

#include <cstdio>

std::string json_string(const std::string &utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

constexpr int EVERY_BIT = 17;         // significant digits that give back the same double
constexpr int UNCERTAINTY_DIGITS = 6; // beyond them, the noise of the central differences

static std::string json_number(double value, int digits) {
    if (const char *spelled = wt_non_finite_text(value))
        return std::string("\"") + spelled + "\"";
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

std::string json_number(double value) {
    return json_number(value, EVERY_BIT);
}

std::string json_uncertainty(double value) {
    return json_number(value, UNCERTAINTY_DIGITS);
}

static std::string text(const char *cp1252) {
    return json_string(cp1252_to_utf8(cp1252));
}

// Joins the items as a JSON array inside a driver's object, one item a line.
static std::string array(const std::vector<std::string> &items) {
    if (items.empty())
        return "[]";
    std::string out = "[\n";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += "        " + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
    return out + "      ]";
}

std::string json_driver(const CalcDriver &d, const JsonExtras &extras) {
    std::vector<std::string> inputs, findings, rows, warnings;
    for (int i = 0; i < INPUT_COUNT; ++i)
        inputs.push_back("{\"name\": \"" + std::string(INPUT_DESCRIPTORS[i].name) +
                         "\", \"text\": " + text(d.inputs.entry[i].text) +
                         ", \"value\": " + json_number(d.inputs.entry[i].value) + "}");
    for (const InputError &e : d.findings)
        findings.push_back(text(input_error_message(e)));
    for (int i = 0; i < VALUE_ROW_COUNT; ++i) {
        const ValueRow row = value_row(i, d.inputs, d.results);
        std::string item =
            "{\"name\": \"" + std::string(row_name(i)) + "\", \"caption\": " + text(row.caption) +
            ", \"unit\": " + text(row.unit) + ", \"shown\": " + json_string(value_text(row)) +
            ", \"value\": " + json_number(row.value);
        if (extras.uncertainties) {
            const RowUncertainty &u = extras.uncertainties->row[i];
            item += ", \"uncertainty\": " + json_uncertainty(u.plus_minus) + ", \"largest\": " +
                    (u.largest < 0 ? std::string("null")
                                   : json_string(INPUT_DESCRIPTORS[u.largest].name));
        }
        rows.push_back(item + "}");
    }
    for (const PlausibilityWarning &w : d.warnings)
        warnings.push_back(
            "{\"kind\": \"" + std::string(w.kind) + "\", \"message\": " + text(w.message.c_str()) +
            ", \"size\": " + json_number(w.size) + ", \"unit\": \"" + w.size_unit + "\"}");

    std::string out =
        "    {\n      \"source\": " + json_string(d.source) + ",\n      \"name\": " + text(d.name) +
        ",\n      \"inputs\": " + array(inputs) + ",\n      \"findings\": " + array(findings) +
        ",\n      \"rows\": " + array(rows) + ",\n      \"warnings\": " + array(warnings);
    if (extras.explain) {
        std::vector<std::string> lines;
        for (const std::string &line : explain_calculation(d.inputs, d.results))
            lines.push_back(json_string(line));
        out += ",\n      \"explain\": " + array(lines);
    }
    if (extras.plot_path)
        out += ",\n      \"plot\": {\"file\": " + json_string(extras.plot_path) +
               ", \"F1\": " + json_number(extras.side.F1) +
               ", \"F2\": " + json_number(extras.side.F2) + "}";
    return out + "\n    }";
}

std::string json_head() {
    return "{\n  \"drivers\": [\n";
}
std::string json_tail() {
    return "\n  ]\n}\n";
}
