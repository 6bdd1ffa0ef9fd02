// elemtrix-calc --json: every driver with its texts, values, findings, value column and
// plausibility warnings, and the uncertainties, explanation, plot and measurement when asked
// for. UTF-8.
#pragma once

#include "app/calc/calc_report.h"

#include <string>
#include <vector>

std::string json_string(const std::string &utf8);

constexpr int EVERY_BIT = 17; // significant digits that give back the same double
// An uncertainty's further digits are rounding noise of the central differences, which differs
// between platforms' log10 and pow.
constexpr int UNCERTAINTY_DIGITS = 6;
// A fit ends where its steps stop gaining: beyond these digits its values differ between
// platforms' maths libraries, and the measurement's noise is far larger anyway.
constexpr int FITTED_DIGITS = 6;

// A double to that many significant digits; infinities and NaN as the strings "inf", "-inf",
// "nan".
std::string json_number(double value, int digits = EVERY_BIT);

// JSON as elemtrix-calc lays it out. The callers say what goes where and how each container is
// laid out; the commas, line breaks and indentation are made here alone. A line is indented two
// blanks for each container around it that is not Inline.
class JsonWriter {
  public:
    enum class Layout {
        Inline,  // [1, 2]: the items on the line where the container starts
        Lines,   // each item on a line of its own, and the closing bracket; [] when empty
        Hanging, // each item on a line of its own, the closing bracket after the last
        // As Lines, but its first line is begun before any item is known, so that the items
        // can be handed on as they come: an empty one holds a blank line.
        Streamed,
    };

    void begin_object(Layout layout = Layout::Inline);
    void end_object();
    void begin_array(Layout layout = Layout::Inline);
    void end_array();
    JsonWriter &key(const char *name); // the next value is this member's

    void string(const std::string &utf8);
    void number(double value, int digits = EVERY_BIT);
    void boolean(bool value);
    void null();
    void string_or_null(const std::string &utf8); // null for an empty text

    // The next item goes on a line of its own, even in an Inline container, or stays on the line
    // of the one before, even in one that is not.
    void new_line();
    void same_line();

    // What was written since the last take. The document ends with a line end.
    std::string take();

  private:
    enum class Break { AsLaidOut, NewLine, SameLine };
    struct Level {
        Layout layout;
        int items;
        bool after_key;
        Break next;
    };

    void begin(char bracket, Layout layout);
    void end(char bracket);
    void item();
    void line_break();
    int depth() const;

    std::string out_;
    std::vector<Level> levels_;
};

// The driver's object, as an item of the document's "drivers".
void json_driver(JsonWriter &json, const CalcResult &result);
