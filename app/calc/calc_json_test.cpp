#include "app/calc/calc_json.h"

#include "app/calc/calc_output.h"
#include "app/calc/calc_sweep.h"
#include "engine/explain.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace {

// A parsed JSON value, so that the tests compare values rather than the layout.
struct Json {
    enum class Kind { Null, Boolean, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json &operator[](const std::string &name) const {
        for (const auto &m : members)
            if (m.first == name)
                return m.second;
        throw std::runtime_error("no member " + name);
    }
    const Json &operator[](std::size_t i) const { return items.at(i); }
    std::vector<std::string> keys() const {
        std::vector<std::string> names;
        for (const auto &m : members)
            names.push_back(m.first);
        return names;
    }
};

// Strict JSON: whatever the writer gets wrong, a comma, a bracket or an escape, ends here.
class Parser {
  public:
    explicit Parser(const std::string &text) : s_(text) {}

    Json document() {
        Json v = value();
        blanks();
        if (at_ != s_.size())
            fail("text after the value");
        return v;
    }

  private:
    [[noreturn]] void fail(const std::string &what) const {
        throw std::runtime_error(what + " at " + std::to_string(at_) + ": " + s_.substr(at_, 40));
    }
    void blanks() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n'))
            ++at_;
    }
    // Takes the text when it comes next.
    bool next_is(std::string_view text) {
        blanks();
        if (std::string_view(s_).substr(at_, text.size()) != text)
            return false;
        at_ += text.size();
        return true;
    }
    void expect(char c) {
        if (!next_is(std::string_view(&c, 1)))
            fail(std::string("expected ") + c);
    }

    std::string string() {
        expect('"');
        std::string out;
        while (at_ < s_.size() && s_[at_] != '"') {
            char c = s_[at_++];
            if (static_cast<unsigned char>(c) < 0x20)
                fail("a control character in a string");
            if (c == '\\') {
                c = s_.at(at_++);
                if (c == 'u') {
                    const long code = std::strtol(s_.substr(at_, 4).c_str(), nullptr, 16);
                    if (code >= 0x80)
                        fail("an escape beyond ASCII");
                    c = static_cast<char>(code);
                    at_ += 4;
                } else if (c != '"' && c != '\\') {
                    fail("an unknown escape");
                }
            }
            out += c;
        }
        expect('"');
        return out;
    }

    double number() {
        const std::size_t start = at_;
        if (s_[at_] == '-')
            ++at_;
        if (!std::isdigit(static_cast<unsigned char>(s_[at_])))
            fail("not a value");
        while (at_ < s_.size() && std::strchr("0123456789.eE+-", s_[at_]))
            ++at_;
        char *end;
        const std::string text = s_.substr(start, at_ - start);
        const double v = std::strtod(text.c_str(), &end);
        if (*end)
            fail("a bad number");
        return v;
    }

    Json value() {
        Json v;
        blanks();
        if (next_is("{")) {
            v.kind = Json::Kind::Object;
            if (!next_is("}")) {
                do {
                    blanks();
                    std::string name = string();
                    expect(':');
                    v.members.emplace_back(std::move(name), value());
                } while (next_is(","));
                expect('}');
            }
        } else if (next_is("[")) {
            v.kind = Json::Kind::Array;
            if (!next_is("]")) {
                do
                    v.items.push_back(value());
                while (next_is(","));
                expect(']');
            }
        } else if (at_ < s_.size() && s_[at_] == '"') {
            v.kind = Json::Kind::String;
            v.text = string();
        } else if (next_is("true")) {
            v.kind = Json::Kind::Boolean;
            v.boolean = true;
        } else if (next_is("false")) {
            v.kind = Json::Kind::Boolean;
        } else if (!next_is("null")) {
            v.kind = Json::Kind::Number;
            v.number = number();
        }
        return v;
    }

    const std::string &s_;
    std::size_t at_ = 0;
};

Json parse(const std::string &text) {
    return Parser(text).document();
}

// The document that elemtrix-calc --json prints for the drivers.
Json document(const std::vector<CalcResult> &results) {
    CalcOutput out(CalcFormat::Json);
    std::string text = out.begin();
    for (const CalcResult &r : results)
        text += out.add(r);
    return parse(text + out.end());
}

Json driver_json(const CalcResult &r) {
    return document({r})["drivers"][0];
}

TEST(Json, StringsAreEscapedAndReadBack) {
    EXPECT_EQ(json_string("a\"b\\c\td\x01"), "\"a\\\"b\\\\c\\u0009d\\u0001\"");
    EXPECT_EQ(json_string(u8"ä"), u8"\"ä\"");
    for (const char *text : {"", "\x1F\n\r", u8"\"Åsa\" \\ €", "}],\": "})
        EXPECT_EQ(parse(json_string(text)).text, text);
}

TEST(Json, NumbersKeepTheirDigitsAndNameTheNonFinite) {
    EXPECT_EQ(json_number(0.45), "0.45000000000000001");
    EXPECT_EQ(json_number(-1e300), "-1.0000000000000001e+300");
    for (double v : {1.0 / 3, 0.45, -1e300, 5e-324, 30.0})
        EXPECT_EQ(parse(json_number(v)).number, v);
    EXPECT_EQ(json_number(INFINITY), "\"inf\"");
    EXPECT_EQ(json_number(-INFINITY), "\"-inf\"");
    EXPECT_EQ(json_number(NAN), "\"nan\"");
    EXPECT_EQ(json_number(7.7457021584548533, UNCERTAINTY_DIGITS), "7.7457");
    EXPECT_EQ(json_number(9.3590488091377025e-05, UNCERTAINTY_DIGITS), "9.35905e-05");
    EXPECT_EQ(json_number(NAN, FITTED_DIGITS), "\"nan\"");
}

TEST(Json, WriterLaysOutEachContainerAsAsked) {
    using Layout = JsonWriter::Layout;
    JsonWriter json;
    json.begin_object(Layout::Lines);
    json.key("streamed");
    json.begin_array(Layout::Streamed);
    json.begin_object(Layout::Lines);
    json.key("empty");
    json.begin_array(Layout::Lines);
    json.end_array();
    json.key("lines");
    json.begin_array(Layout::Lines);
    json.number(1);
    json.boolean(true);
    json.end_array();
    json.key("inline");
    json.begin_object();
    json.key("a");
    json.null();
    json.key("b");
    json.string_or_null("");
    json.new_line();
    json.key("c");
    json.begin_array(Layout::Hanging);
    json.string("x");
    json.string_or_null("y");
    json.end_array();
    json.end_object();
    json.same_line();
    json.key("d");
    json.boolean(false);
    json.end_object();
    json.end_array();
    json.key("none");
    json.begin_array(Layout::Streamed);
    json.end_array();
    json.end_object();
    EXPECT_EQ(json.take(), "{\n"
                           "  \"streamed\": [\n"
                           "    {\n"
                           "      \"empty\": [],\n"
                           "      \"lines\": [\n"
                           "        1,\n"
                           "        true\n"
                           "      ],\n"
                           "      \"inline\": {\"a\": null, \"b\": null,\n"
                           "      \"c\": [\n"
                           "        \"x\",\n"
                           "        \"y\"]}, \"d\": false\n"
                           "    }\n"
                           "  ],\n"
                           "  \"none\": [\n"
                           "\n"
                           "  ]\n"
                           "}\n");
    EXPECT_EQ(json.take(), "");
}

CalcDriver worked() {
    return calculate_driver("w.spk",
                            split_driver_file("W\n30\n6\n40\n500\n50\n3\n0.45\n0.39\n25\n20\n"));
}

TEST(Json, DriverHoldsItsTextsValuesAndFindings) {
    const CalcDriver d =
        calculate_driver("e.spk", split_driver_file("\"x\" \xC5\n12,5\n-1\n40\n500\n"));
    CalcResult r;
    r.driver = &d;
    const Json j = driver_json(r);
    EXPECT_EQ(j.keys(), (std::vector<std::string>{"source", "name", "inputs", "findings", "rows",
                                                  "warnings"}));
    EXPECT_EQ(j["source"].text, "e.spk");
    EXPECT_EQ(j["name"].text, u8"\"x\" Å");
    ASSERT_EQ(j["inputs"].items.size(), static_cast<std::size_t>(INPUT_COUNT));
    for (int i = 0; i < INPUT_COUNT; ++i) {
        const Json &input = j["inputs"][i];
        EXPECT_EQ(input["name"].text, INPUT_DESCRIPTORS[i].name);
        EXPECT_EQ(input["text"].text, d.inputs.entry[i].text);
        EXPECT_EQ(input["value"].number, d.inputs.entry[i].value);
    }
    ASSERT_EQ(j["findings"].items.size(), d.findings.size());
    EXPECT_EQ(j["findings"][0].text, u8"Fs: Använd punkt som komma!");

    // Every row as the value column shows it, its value to the last bit or named when not finite.
    ASSERT_EQ(j["rows"].items.size(), static_cast<std::size_t>(VALUE_ROW_COUNT));
    for (int i = 0; i < VALUE_ROW_COUNT; ++i) {
        const ValueRow row = value_row(i, d.inputs, d.results);
        const Json &shown = j["rows"][i];
        EXPECT_EQ(shown.keys(),
                  (std::vector<std::string>{"name", "caption", "unit", "shown", "value"}));
        EXPECT_EQ(shown["name"].text, row_name(i));
        EXPECT_EQ(shown["caption"].text, cp1252_to_utf8(row.caption));
        EXPECT_EQ(shown["shown"].text, value_text(row));
        if (std::isfinite(row.value))
            EXPECT_EQ(shown["value"].number, row.value) << row_name(i);
        else
            EXPECT_EQ(json_string(shown["value"].text), json_number(row.value)) << row_name(i);
    }
}

TEST(Json, DriverAddsWhatWasAskedFor) {
    const CalcDriver d = worked();
    CalcResult r;
    r.driver = &d;
    const Json plain = driver_json(r);
    ASSERT_EQ(plain["warnings"].items.size(), 1u);
    const Json &warning = plain["warnings"][0];
    EXPECT_EQ(warning["kind"].text, "QesDisagrees");
    EXPECT_EQ(warning["message"].text, cp1252_to_utf8(d.warnings[0].message));
    EXPECT_EQ(warning["size"].number, d.warnings[0].size);
    EXPECT_EQ(warning["unit"].text, "%");

    Uncertainties u{};
    for (RowUncertainty &row : u.row)
        row = {0, -1};
    u.row[0] = {0.5, 0};
    u.row[SHOWN_INPUT_COUNT + 4] = {7.7457021584548533, static_cast<int>(InputId::FsAdded)};
    r.uncertainties = &u;
    r.explain = true;
    r.plot = u8"kurva ä.svg";
    r.side = {19.5, NAN};
    const Json full = driver_json(r);
    EXPECT_EQ(full.keys(), (std::vector<std::string>{"source", "name", "inputs", "findings", "rows",
                                                     "warnings", "explain", "plot"}));
    EXPECT_EQ(full["rows"][0]["uncertainty"].number, 0.5);
    EXPECT_EQ(full["rows"][0]["largest"].text, "Fs");
    EXPECT_EQ(full["rows"][1]["largest"].kind, Json::Kind::Null);
    EXPECT_EQ(full["rows"][SHOWN_INPUT_COUNT + 4]["uncertainty"].number, 7.7457);
    EXPECT_EQ(full["rows"][SHOWN_INPUT_COUNT + 4]["largest"].text, "FsAdded");
    const std::vector<std::string> lines = explain_calculation(d.inputs, d.results);
    ASSERT_EQ(full["explain"].items.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(full["explain"][i].text, lines[i]);
    EXPECT_EQ(full["plot"]["file"].text, u8"kurva ä.svg");
    EXPECT_EQ(full["plot"]["F1"].number, 19.5);
    EXPECT_EQ(full["plot"]["F2"].text, "nan");
}

TEST(Json, DocumentHoldsTheDriversInOrder) {
    const CalcDriver a = calculate_driver("a.spk", split_driver_file("A\n30\n"));
    const CalcDriver b = calculate_driver("b.spk", split_driver_file("B\n40\n"));
    std::vector<CalcResult> results(2);
    results[0].driver = &a;
    results[1].driver = &b;
    const Json j = document(results);
    EXPECT_EQ(j.keys(), std::vector<std::string>{"drivers"});
    ASSERT_EQ(j["drivers"].items.size(), 2u);
    EXPECT_EQ(j["drivers"][0]["name"].text, "A");
    EXPECT_EQ(j["drivers"][1]["inputs"][0]["value"].number, 40);
    EXPECT_TRUE(document({})["drivers"].items.empty());
}

Measurement measured(std::vector<const char *> args) {
    args.insert(args.begin(), "elemtrix-calc");
    Measurement m{};
    MeasureError error;
    const CalcOptions o =
        parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()));
    EXPECT_TRUE(measure_driver(o, m, error)) << error.message;
    return m;
}

// The fit's figures keep six significant digits.
void expect_fitted(const Json &j, double value) {
    EXPECT_NEAR(j.number, value, 5e-6 * std::fabs(value));
}

TEST(Json, MeasurementHoldsTheSweepsTheLineAndTheFilesWritten) {
    const Measurement m =
        measured({"--sweep", "mid-free.zma", "--added-sweep", "20", "mid-20g.zma", "Sd=132"});
    CalcResult r;
    r.driver = &m.driver;
    r.uncertainties = &m.uncertainties;
    r.measurement = &m;
    r.plot = "p.svg";
    const Json j = driver_json(r);
    EXPECT_EQ(j.keys().back(), "measurement"); // the sweeps' plot is the measurement's
    const Json &mj = j["measurement"];
    ASSERT_EQ(mj["sweeps"].items.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        const Json &s = mj["sweeps"][k];
        const SweepFit &fit = m.sweeps[k].fit;
        EXPECT_EQ(s["file"].text, m.sweeps[k].shown);
        EXPECT_EQ(s["added_mass"].number, m.sweeps[k].mass);
        EXPECT_FALSE(s["re_given"].boolean);
        EXPECT_EQ(s["points_used"].number, fit.points_used);
        EXPECT_EQ(s["band"][0].number, fit.band_low);
        EXPECT_EQ(s["sweep"][1].number, fit.sweep_high);
        EXPECT_EQ(s["classic"]["F2"].number, fit.classic.F2);
        EXPECT_EQ(s["model"]["lossy_coil"].boolean, fit.solution.model.lossy);
        ASSERT_EQ(s["fitted"].items.size(), static_cast<std::size_t>(FIT_VALUE_ROW_COUNT));
        const Json &le = s["fitted"][6];
        EXPECT_EQ(le["name"].text, "Le");
        EXPECT_EQ(le["unit"].text, "mH");
        expect_fitted(le["value"], fit.Le.value * 1e3);
        expect_fitted(le["error"], fit.Le.error * 1e3);
    }
    EXPECT_EQ(mj["added_mass"]["masses"].number, 1);
    expect_fitted(mj["added_mass"]["Mms"]["value"], m.added.Mms.value);
    EXPECT_EQ(mj["joint"]["sweeps"].number, 2);
    expect_fitted(mj["joint"]["Cms"]["error"], m.joint.Cms.error);
    EXPECT_EQ(mj["joint"]["mass"].number, 20);
    EXPECT_EQ(mj["vas_from_compliance"]["air_density"].number, AIR_DENSITY);
    EXPECT_EQ(mj["vas_from_compliance"]["speed_of_sound"].number, SPEED_OF_SOUND);
    EXPECT_TRUE(mj["left_out"].items.empty());
    EXPECT_FALSE(mj["correlations_carried"].boolean);
    EXPECT_EQ(mj["plot"].text, "p.svg");
    EXPECT_EQ(mj["saved"].kind, Json::Kind::Null);

    const Measurement alone = measured({"--sweep", "mid-free.zma", "Sd=132", "Vas=20"});
    r.driver = &alone.driver;
    r.measurement = &alone;
    r.plot.clear();
    r.saved = "a.spk";
    const Json aj = driver_json(r)["measurement"];
    EXPECT_EQ(aj["sweeps"].items.size(), 1u);
    for (const char *nothing : {"added_mass", "joint", "vas_from_compliance", "plot"})
        EXPECT_EQ(aj[nothing].kind, Json::Kind::Null) << nothing;
    EXPECT_EQ(aj["saved"].text, "a.spk");
}

} // namespace
