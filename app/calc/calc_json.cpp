#include "app/calc/calc_json.h"

#include "app/calc/calc_sweep.h"
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

std::string json_number(double value, int digits) {
    if (const char *spelled = wt_non_finite_text(value))
        return std::string("\"") + spelled + "\"";
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

constexpr int INDENT = 2; // blanks per level

int JsonWriter::depth() const {
    int depth = 0;
    for (const Level &level : levels_)
        depth += level.layout != Layout::Inline;
    return depth;
}

void JsonWriter::line_break() {
    out_ += '\n';
    out_.append(static_cast<std::size_t>(INDENT * depth()), ' ');
}

// The comma after the item before, and the line break or blank that the layout asks for.
void JsonWriter::item() {
    if (levels_.empty())
        return;
    Level &level = levels_.back();
    if (level.after_key) {
        level.after_key = false;
        return;
    }
    const bool own_line = level.next == Break::AsLaidOut ? level.layout != Layout::Inline
                                                         : level.next == Break::NewLine;
    level.next = Break::AsLaidOut;
    const bool first = level.items++ == 0;
    if (!first)
        out_ += ',';
    if (own_line && first && level.layout == Layout::Streamed)
        out_.append(static_cast<std::size_t>(INDENT * depth()), ' ');
    else if (own_line)
        line_break();
    else if (!first)
        out_ += ' ';
}

void JsonWriter::begin(char bracket, Layout layout) {
    item();
    out_ += bracket;
    levels_.push_back({layout, 0, false, Break::AsLaidOut});
    if (layout == Layout::Streamed)
        out_ += '\n';
}

void JsonWriter::end(char bracket) {
    const Level level = levels_.back();
    levels_.pop_back();
    if (level.layout == Layout::Streamed || (level.layout == Layout::Lines && level.items > 0))
        line_break();
    out_ += bracket;
    if (levels_.empty())
        out_ += '\n';
}

void JsonWriter::begin_object(Layout layout) {
    begin('{', layout);
}

void JsonWriter::end_object() {
    end('}');
}

void JsonWriter::begin_array(Layout layout) {
    begin('[', layout);
}

void JsonWriter::end_array() {
    end(']');
}

void JsonWriter::key(const char *name) {
    item();
    out_ += json_string(name) + ": ";
    levels_.back().after_key = true;
}

void JsonWriter::string(const std::string &utf8) {
    item();
    out_ += json_string(utf8);
}

void JsonWriter::number(double value, int digits) {
    item();
    out_ += json_number(value, digits);
}

void JsonWriter::boolean(bool value) {
    item();
    out_ += value ? "true" : "false";
}

void JsonWriter::null() {
    item();
    out_ += "null";
}

void JsonWriter::string_or_null(const std::string &utf8) {
    if (utf8.empty())
        null();
    else
        string(utf8);
}

void JsonWriter::new_line() {
    levels_.back().next = Break::NewLine;
}

void JsonWriter::same_line() {
    levels_.back().next = Break::SameLine;
}

std::string JsonWriter::take() {
    std::string taken;
    taken.swap(out_);
    return taken;
}

namespace {

using Layout = JsonWriter::Layout;

void text(JsonWriter &json, const char *cp1252) {
    json.string(cp1252_to_utf8(cp1252));
}

void estimate(JsonWriter &json, const char *name, Estimate e) {
    json.key(name);
    json.begin_object();
    json.key("value");
    json.number(e.value, FITTED_DIGITS);
    json.key("error");
    json.number(e.error, FITTED_DIGITS);
    json.end_object();
}

void model_object(JsonWriter &json, const DriverModel &model) {
    json.key("model");
    json.begin_object();
    json.key("creep");
    json.boolean(model.creep);
    json.key("semi_inductance");
    json.boolean(model.semi);
    json.key("lossy_coil");
    json.boolean(model.lossy);
    json.end_object();
}

void quality_object(JsonWriter &json, const FitQuality &q) {
    json.key("quality");
    json.begin_object();
    json.key("rms_percent");
    json.number(q.rms_percent, FITTED_DIGITS);
    json.key("scatter_percent");
    json.number(q.scatter_percent, FITTED_DIGITS);
    json.key("error_scale");
    json.number(q.error_scale, FITTED_DIGITS);
    json.end_object();
}

void range(JsonWriter &json, const char *name, double low, double high) {
    json.key(name);
    json.begin_array();
    json.number(low);
    json.number(high);
    json.end_array();
}

// The classic reading of the peak, where the fitted values have one.
const struct {
    const char *name;
    double ClassicValues::*member;
} CLASSIC_MEMBERS[] = {
    {"Re", &ClassicValues::Re},   {"Fs", &ClassicValues::Fs},   {"Zmax", &ClassicValues::Zmax},
    {"F1", &ClassicValues::F1},   {"F2", &ClassicValues::F2},   {"Qms", &ClassicValues::Qms},
    {"Qes", &ClassicValues::Qes}, {"Qts", &ClassicValues::Qts},
};

void sweep_object(JsonWriter &json, const MeasuredSweep &s) {
    const SweepFit &fit = s.fit;
    json.begin_object();
    json.key("file");
    json.string(s.shown);
    json.key("added_mass");
    json.number(s.mass);
    json.new_line();
    json.key("re_given");
    json.boolean(fit.re_given);
    json.key("phase_used");
    json.boolean(fit.phase_used);
    json.key("lossy_coil");
    json.boolean(fit.solution.model.lossy);
    model_object(json, fit.solution.model);
    quality_object(json, fit.quality);
    json.key("points_used");
    json.number(fit.points_used);
    range(json, "band", fit.band_low, fit.band_high);
    range(json, "sweep", fit.sweep_low, fit.sweep_high);
    json.key("rms_percent");
    json.number(fit.quality.rms_percent, FITTED_DIGITS);
    json.new_line();
    json.key("classic");
    json.begin_object();
    for (const auto &c : CLASSIC_MEMBERS) {
        json.key(c.name);
        json.number(fit.classic.*c.member);
    }
    json.end_object();
    json.new_line();
    json.key("fitted");
    json.begin_array(Layout::Hanging);
    for (const FitValueRow &row : FIT_VALUE_ROWS) {
        const Estimate e = fit.*row.member;
        json.begin_object();
        json.key("name");
        json.string(row.name);
        json.key("unit");
        json.string(row.unit);
        json.key("value");
        json.number(e.value * row.scale, FITTED_DIGITS);
        json.key("error");
        json.number(e.error * row.scale, FITTED_DIGITS);
        json.end_object();
    }
    json.end_array();
    json.end_object();
}

void added_mass_object(JsonWriter &json, const AddedMassResult &a) {
    json.begin_object();
    json.key("masses");
    json.number(a.masses);
    estimate(json, "Mms", a.Mms);
    estimate(json, "Cms", a.Cms);
    json.key("mass");
    json.number(a.mass);
    estimate(json, "FsAdded", a.FsAdded);
    json.key("rms_percent");
    json.number(a.rms_percent, FITTED_DIGITS);
    json.end_object();
}

void joint_object(JsonWriter &json, const JointMassFit &j) {
    json.begin_object();
    json.key("sweeps");
    json.number(j.sweeps);
    model_object(json, j.model);
    estimate(json, "Mms", j.Mms);
    estimate(json, "Cms", j.Cms);
    estimate(json, "Bl", j.Bl);
    estimate(json, "Fs", j.Fs);
    estimate(json, "beta", j.Beta);
    json.key("mass");
    json.number(j.mass);
    estimate(json, "FsAdded", j.FsAdded);
    quality_object(json, j.quality);
    json.end_object();
}

void vas_object(JsonWriter &json, Estimate vas) {
    json.begin_object();
    json.key("value");
    json.number(vas.value, FITTED_DIGITS);
    json.key("error");
    json.number(vas.error, FITTED_DIGITS);
    json.key("air_density");
    json.number(AIR_DENSITY);
    json.key("speed_of_sound");
    json.number(SPEED_OF_SOUND);
    json.end_object();
}

// The sweep plot and the driver data file written belong to the measurement.
void measurement_object(JsonWriter &json, const Measurement &m, const std::string &plot,
                        const std::string &saved) {
    json.begin_object(Layout::Lines);
    json.key("sweeps");
    json.begin_array(Layout::Lines);
    for (const MeasuredSweep &s : m.sweeps)
        sweep_object(json, s);
    json.end_array();
    json.key("added_mass");
    if (m.has_added_mass)
        added_mass_object(json, m.added);
    else
        json.null();
    json.key("joint");
    if (m.has_added_mass)
        joint_object(json, m.joint);
    else
        json.null();
    json.key("vas_from_compliance");
    if (m.fields.vas_from_compliance)
        vas_object(json, m.fields.input[static_cast<int>(InputId::Vas)]);
    else
        json.null();
    json.key("left_out");
    json.begin_array();
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (m.left_out[i])
            json.string(INPUT_DESCRIPTORS[i].name);
    json.end_array();
    json.same_line();
    json.key("correlations_carried");
    json.boolean(false);
    json.key("plot");
    json.string_or_null(plot);
    json.same_line();
    json.key("saved");
    json.string_or_null(saved);
    json.end_object();
}

void value_row_object(JsonWriter &json, const CalcDriver &d, const Uncertainties *u, int i) {
    const ValueRow row = value_row(i, d.inputs, d.results);
    json.begin_object();
    json.key("name");
    json.string(row_name(i));
    json.key("caption");
    text(json, row.caption);
    json.key("unit");
    text(json, row.unit);
    json.key("shown");
    json.string(value_text(row));
    json.key("value");
    json.number(row.value);
    if (u) {
        json.key("uncertainty");
        json.number(u->row[i].plus_minus, UNCERTAINTY_DIGITS);
        json.key("largest");
        if (u->row[i].largest < 0)
            json.null();
        else
            json.string(INPUT_DESCRIPTORS[u->row[i].largest].name);
    }
    json.end_object();
}

// A driver's plot is its modelled curve, with where it crosses ZF1/ZF2.
void plot_object(JsonWriter &json, const std::string &plot, SideFrequencies side) {
    json.begin_object();
    json.key("file");
    json.string(plot);
    json.key("F1");
    json.number(side.F1);
    json.key("F2");
    json.number(side.F2);
    json.end_object();
}

} // namespace

void json_driver(JsonWriter &json, const CalcResult &r) {
    const CalcDriver &d = *r.driver;
    json.begin_object(Layout::Lines);
    json.key("source");
    json.string(d.source);
    json.key("name");
    text(json, d.name);
    json.key("inputs");
    json.begin_array(Layout::Lines);
    for (int i = 0; i < INPUT_COUNT; ++i) {
        json.begin_object();
        json.key("name");
        json.string(INPUT_DESCRIPTORS[i].name);
        json.key("text");
        text(json, d.inputs.entry[i].text);
        json.key("value");
        json.number(d.inputs.entry[i].value);
        json.end_object();
    }
    json.end_array();
    json.key("findings");
    json.begin_array(Layout::Lines);
    for (const InputError &e : d.findings)
        text(json, input_error_message(e));
    json.end_array();
    json.key("rows");
    json.begin_array(Layout::Lines);
    for (int i = 0; i < VALUE_ROW_COUNT; ++i)
        value_row_object(json, d, r.uncertainties, i);
    json.end_array();
    json.key("warnings");
    json.begin_array(Layout::Lines);
    for (const PlausibilityWarning &w : d.warnings) {
        json.begin_object();
        json.key("kind");
        json.string(w.kind);
        json.key("message");
        text(json, w.message.c_str());
        json.key("size");
        json.number(w.size);
        json.key("unit");
        json.string(w.size_unit);
        json.end_object();
    }
    json.end_array();
    if (r.explain) {
        json.key("explain");
        json.begin_array(Layout::Lines);
        for (const std::string &line : explain_calculation(d.inputs, d.results))
            json.string(line);
        json.end_array();
    }
    if (r.measurement) {
        json.key("measurement");
        measurement_object(json, *r.measurement, r.plot, r.saved);
    } else if (!r.plot.empty()) {
        json.key("plot");
        plot_object(json, r.plot, r.side);
    }
    json.end_object();
}
