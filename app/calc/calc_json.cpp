#include "app/calc/calc_json.h"

#include "engine/explain.h"
#include "base/number_text.h"

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
// A fit ends where its steps stop gaining: beyond these digits its values differ between
// platforms' maths libraries, and the measurement's noise is far larger anyway.
constexpr int FITTED_DIGITS = 6;

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

static std::string fitted_number(double value) {
    return json_number(value, FITTED_DIGITS);
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
    if (extras.measurement)
        out += ",\n      \"measurement\": " + std::string(extras.measurement);
    if (extras.plot_path)
        out += ",\n      \"plot\": {\"file\": " + json_string(extras.plot_path) +
               ", \"F1\": " + json_number(extras.side.F1) +
               ", \"F2\": " + json_number(extras.side.F2) + "}";
    return out + "\n    }";
}

static std::string member(const char *name, const std::string &value) {
    return "\"" + std::string(name) + "\": " + value;
}

static std::string boolean(bool value) {
    return value ? "true" : "false";
}

static std::string estimate(Estimate e) {
    return "{" + member("value", fitted_number(e.value)) + ", " +
           member("error", fitted_number(e.error)) + "}";
}

static std::string or_null(const char *utf8) {
    return utf8 ? json_string(utf8) : "null";
}

static std::string model_object(const DriverModel &model) {
    return "{" + member("creep", boolean(model.creep)) + ", " +
           member("semi_inductance", boolean(model.semi)) + ", " +
           member("lossy_coil", boolean(model.lossy)) + "}";
}

static std::string quality_object(const FitQuality &q) {
    return "{" + member("rms_percent", fitted_number(q.rms_percent)) + ", " +
           member("scatter_percent", fitted_number(q.scatter_percent)) + ", " +
           member("error_scale", fitted_number(q.error_scale)) + "}";
}

static std::string sweep_object(const MeasuredSweep &s) {
    const SweepFit &fit = s.fit;
    const ClassicValues &c = fit.classic;
    std::vector<std::string> fitted;
    for (const FitValueRow &row : FIT_VALUE_ROWS) {
        const Estimate e = fit.*row.member;
        fitted.push_back("{" + member("name", json_string(row.name)) + ", " +
                         member("unit", json_string(row.unit)) + ", " +
                         member("value", fitted_number(e.value * row.scale)) + ", " +
                         member("error", fitted_number(e.error * row.scale)) + "}");
    }
    std::string fitted_list;
    for (std::size_t i = 0; i < fitted.size(); ++i)
        fitted_list += (i ? ",\n            " : "") + fitted[i];
    return "{" + member("file", json_string(s.shown)) + ", " +
           member("added_mass", json_number(s.mass)) + ",\n          " +
           member("re_given", boolean(fit.re_given)) + ", " +
           member("phase_used", boolean(fit.phase_used)) + ", " +
           member("lossy_coil", boolean(fit.solution.model.lossy)) + ", " +
           member("model", model_object(fit.solution.model)) + ", " +
           member("quality", quality_object(fit.quality)) + ", " +
           member("points_used", std::to_string(fit.points_used)) + ", " +
           member("band",
                  "[" + json_number(fit.band_low) + ", " + json_number(fit.band_high) + "]") +
           ", " +
           member("sweep",
                  "[" + json_number(fit.sweep_low) + ", " + json_number(fit.sweep_high) + "]") +
           ", " + member("rms_percent", fitted_number(fit.quality.rms_percent)) + ",\n          " +
           member("classic",
                  "{" + member("Re", json_number(c.Re)) + ", " + member("Fs", json_number(c.Fs)) +
                      ", " + member("Zmax", json_number(c.Zmax)) + ", " +
                      member("F1", json_number(c.F1)) + ", " + member("F2", json_number(c.F2)) +
                      ", " + member("Qms", json_number(c.Qms)) + ", " +
                      member("Qes", json_number(c.Qes)) + ", " + member("Qts", json_number(c.Qts)) +
                      "}") +
           ",\n          " + member("fitted", "[\n            " + fitted_list + "]") + "}";
}

std::string json_measurement(const Measurement &m, const char *plot_path, const char *save_path) {
    std::string out = "{\n        \"sweeps\": [\n";
    for (std::size_t i = 0; i < m.sweeps.size(); ++i)
        out += "          " + sweep_object(m.sweeps[i]) + (i + 1 < m.sweeps.size() ? ",\n" : "\n");
    out += "        ],\n        ";
    const AddedMassResult &a = m.added;
    out += member("added_mass", m.has_added_mass
                                    ? "{" + member("masses", std::to_string(a.masses)) + ", " +
                                          member("Mms", estimate(a.Mms)) + ", " +
                                          member("Cms", estimate(a.Cms)) + ", " +
                                          member("mass", json_number(a.mass)) + ", " +
                                          member("FsAdded", estimate(a.FsAdded)) + ", " +
                                          member("rms_percent", fitted_number(a.rms_percent)) + "}"
                                    : "null");
    const JointMassFit &j = m.joint;
    out += ",\n        " +
           member("joint",
                  m.has_added_mass
                      ? "{" + member("sweeps", std::to_string(j.sweeps)) + ", " +
                            member("model", model_object(j.model)) + ", " +
                            member("Mms", estimate(j.Mms)) + ", " + member("Cms", estimate(j.Cms)) +
                            ", " + member("Bl", estimate(j.Bl)) + ", " +
                            member("Fs", estimate(j.Fs)) + ", " + member("beta", estimate(j.Beta)) +
                            ", " + member("mass", json_number(j.mass)) + ", " +
                            member("FsAdded", estimate(j.FsAdded)) + ", " +
                            member("quality", quality_object(j.quality)) + "}"
                      : "null");
    const Estimate &vas = m.fields.input[static_cast<int>(InputId::Vas)];
    out +=
        ",\n        " + member("vas_from_compliance",
                               m.fields.vas_from_compliance
                                   ? "{" + member("value", fitted_number(vas.value)) + ", " +
                                         member("error", fitted_number(vas.error)) + ", " +
                                         member("air_density", json_number(AIR_DENSITY)) + ", " +
                                         member("speed_of_sound", json_number(SPEED_OF_SOUND)) + "}"
                                   : "null");
    std::string left_out;
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (m.left_out[i])
            left_out += (left_out.empty() ? "" : ", ") + json_string(INPUT_DESCRIPTORS[i].name);
    out += ",\n        " + member("left_out", "[" + left_out + "]") + ", " +
           member("correlations_carried", "false") + ",\n        " +
           member("plot", or_null(plot_path)) + ", " + member("saved", or_null(save_path));
    return out + "\n      }";
}

std::string json_head() {
    return "{\n  \"drivers\": [\n";
}
std::string json_tail() {
    return "\n  ]\n}\n";
}
