#include "app/calc/calc_json.h"

#include "app/calc/calc_sweep.h"
#include "base/number_text.h"
#include "engine/explain.h"

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

JsonWriter &JsonWriter::key(const char *name) {
    item();
    out_ += json_string(name) + ": ";
    levels_.back().after_key = true;
    return *this;
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

// The members of a fitted value; the fit's figures keep FITTED_DIGITS.
void value_and_error(JsonWriter &json, Estimate e) {
    json.key("value").number(e.value, FITTED_DIGITS);
    json.key("error").number(e.error, FITTED_DIGITS);
}

void estimate(JsonWriter &json, const char *name, Estimate e) {
    json.key(name).begin_object();
    value_and_error(json, e);
    json.end_object();
}

void model_object(JsonWriter &json, const DriverModel &model) {
    json.key("model").begin_object();
    json.key("creep").boolean(model.creep);
    json.key("semi_inductance").boolean(model.semi);
    json.key("lossy_coil").boolean(model.lossy);
    json.end_object();
}

void quality_object(JsonWriter &json, const FitQuality &q) {
    json.key("quality").begin_object();
    json.key("rms_percent").number(q.rms_percent, FITTED_DIGITS);
    json.key("scatter_percent").number(q.scatter_percent, FITTED_DIGITS);
    json.key("error_scale").number(q.error_scale, FITTED_DIGITS);
    json.end_object();
}

void range(JsonWriter &json, const char *name, double low, double high) {
    json.key(name).begin_array();
    json.number(low);
    json.number(high);
    json.end_array();
}

void sweep_object(JsonWriter &json, const MeasuredSweep &s) {
    const SweepFit &fit = s.fit;
    json.begin_object();
    json.key("file").string(s.shown);
    json.key("added_mass").number(s.mass);
    json.new_line();
    json.key("re_given").boolean(fit.re_given);
    json.key("phase_used").boolean(fit.phase_used);
    json.key("lossy_coil").boolean(fit.solution.model.lossy);
    model_object(json, fit.solution.model);
    quality_object(json, fit.quality);
    json.key("points_used").number(fit.points_used);
    range(json, "band", fit.band_low, fit.band_high);
    range(json, "sweep", fit.sweep_low, fit.sweep_high);
    json.key("rms_percent").number(fit.quality.rms_percent, FITTED_DIGITS);
    json.new_line();
    json.key("classic").begin_object();
    for (const ClassicMember &c : CLASSIC_MEMBERS)
        json.key(c.name).number(fit.classic.*c.member);
    json.end_object();
    json.new_line();
    json.key("fitted").begin_array(Layout::Hanging);
    for (const FitValueRow &row : FIT_VALUE_ROWS) {
        const Estimate e = fit.*row.member;
        json.begin_object();
        json.key("name").string(row.name);
        json.key("unit").string(row.unit);
        value_and_error(json, {e.value * row.scale, e.error * row.scale});
        json.end_object();
    }
    json.end_array();
    json.end_object();
}

void added_mass_object(JsonWriter &json, const AddedMassResult &a) {
    json.begin_object();
    json.key("masses").number(a.masses);
    estimate(json, "Mms", a.Mms);
    estimate(json, "Cms", a.Cms);
    json.key("mass").number(a.mass);
    estimate(json, "FsAdded", a.FsAdded);
    json.key("rms_percent").number(a.rms_percent, FITTED_DIGITS);
    json.end_object();
}

void joint_object(JsonWriter &json, const JointMassFit &j) {
    json.begin_object();
    json.key("sweeps").number(j.sweeps);
    model_object(json, j.model);
    estimate(json, "Mms", j.Mms);
    estimate(json, "Cms", j.Cms);
    estimate(json, "Bl", j.Bl);
    estimate(json, "Fs", j.Fs);
    estimate(json, "beta", j.Beta);
    json.key("mass").number(j.mass);
    estimate(json, "FsAdded", j.FsAdded);
    quality_object(json, j.quality);
    json.end_object();
}

// The sweep plot and the driver data file written belong to the measurement.
void measurement_object(JsonWriter &json, const Measurement &m, const std::string &plot,
                        const std::string &saved) {
    json.begin_object(Layout::Lines);
    json.key("sweeps").begin_array(Layout::Lines);
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
    if (m.fields.vas_from_compliance) {
        json.begin_object();
        value_and_error(json, m.fields.input[static_cast<int>(InputId::Vas)]);
        json.key("air_density").number(AIR_DENSITY);
        json.key("speed_of_sound").number(SPEED_OF_SOUND);
        json.end_object();
    } else {
        json.null();
    }
    json.key("left_out").begin_array();
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (m.left_out[i])
            json.string(INPUT_DESCRIPTORS[i].name);
    json.end_array();
    json.same_line();
    json.key("correlations_carried").boolean(false);
    json.key("plot").string_or_null(plot);
    json.same_line();
    json.key("saved").string_or_null(saved);
    json.end_object();
}

void value_row_object(JsonWriter &json, const CalcDriver &d, const Uncertainties *u, int i) {
    const ValueRow row = value_row(i, d.inputs, d.results);
    json.begin_object();
    json.key("name").string(row_name(i));
    text(json.key("caption"), row.caption);
    text(json.key("unit"), row.unit);
    json.key("shown").string(value_text(row));
    json.key("value").number(row.value);
    if (u) {
        json.key("uncertainty").number(u->row[i].plus_minus, UNCERTAINTY_DIGITS);
        json.key("largest");
        if (u->row[i].largest < 0)
            json.null();
        else
            json.string(INPUT_DESCRIPTORS[u->row[i].largest].name);
    }
    json.end_object();
}

} // namespace

void json_driver(JsonWriter &json, const CalcResult &r) {
    const CalcDriver &d = *r.driver;
    json.begin_object(Layout::Lines);
    json.key("source").string(d.source);
    text(json.key("name"), d.name);
    json.key("inputs").begin_array(Layout::Lines);
    for (int i = 0; i < INPUT_COUNT; ++i) {
        json.begin_object();
        json.key("name").string(INPUT_DESCRIPTORS[i].name);
        text(json.key("text"), d.inputs.entry[i].text);
        json.key("value").number(d.inputs.entry[i].value);
        json.end_object();
    }
    json.end_array();
    json.key("findings").begin_array(Layout::Lines);
    for (const InputError &e : d.findings)
        text(json, input_error_message(e));
    json.end_array();
    json.key("rows").begin_array(Layout::Lines);
    for (int i = 0; i < VALUE_ROW_COUNT; ++i)
        value_row_object(json, d, r.uncertainties, i);
    json.end_array();
    json.key("warnings").begin_array(Layout::Lines);
    for (const PlausibilityWarning &w : d.warnings) {
        json.begin_object();
        json.key("kind").string(w.kind);
        text(json.key("message"), w.message.c_str());
        json.key("size").number(w.size);
        json.key("unit").string(w.size_unit);
        json.end_object();
    }
    json.end_array();
    if (r.explain) {
        json.key("explain").begin_array(Layout::Lines);
        for (const std::string &line : explain_calculation(d.inputs, d.results))
            json.string(line);
        json.end_array();
    }
    if (r.measurement) {
        measurement_object(json.key("measurement"), *r.measurement, r.plot, r.saved);
    } else if (!r.plot.empty()) {
        // A driver's plot is its modelled curve, with where it crosses ZF1/ZF2.
        json.key("plot").begin_object();
        json.key("file").string(r.plot);
        json.key("F1").number(r.side.F1);
        json.key("F2").number(r.side.F2);
        json.end_object();
    }
    json.end_object();
}
