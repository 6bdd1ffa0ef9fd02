// The ten measured inputs of a loudspeaker driver and the twelve parameters derived from them.
#pragma once

#include "base/number_text.h"

constexpr int INPUT_COUNT = 10;
constexpr int INPUT_TEXT_SIZE = 16; // 15 characters and the terminator
constexpr int RESULT_COUNT = 12;
constexpr int SHOWN_INPUT_COUNT = 8; // FsAdded and AddedMass have no row in the value column
constexpr int VALUE_ROW_COUNT = SHOWN_INPUT_COUNT + RESULT_COUNT;

// Canonical order: checks, conversion, file lines, fields and value rows all follow it.
enum class InputId { Fs, Re, Zmax, Sd, Vas, Qms, Qes, Qts, FsAdded, AddedMass };

struct InputEntry {
    char text[INPUT_TEXT_SIZE];
    double value;
};

struct DriverInputs {
    InputEntry entry[INPUT_COUNT];

    InputEntry &operator[](InputId id) { return entry[static_cast<int>(id)]; }
    const InputEntry &operator[](InputId id) const { return entry[static_cast<int>(id)]; }
};

struct DriverResults {
    double Ro, R1, ZF1ZF2, Mmr, Mms, Res, Cms, Cmes, Bl, MmsPlusMmr, SensitivityWatt, SensitivityDb;
};

struct InputDescriptor {
    const char *name;         // as in the code and on elemtrix-calc's command line
    const char *caption;      // painted beside the field and in the value column
    const char *message_name; // names the field in input messages
    const char *unit;
    int text_limit; // characters the field admits
};

extern const InputDescriptor INPUT_DESCRIPTORS[INPUT_COUNT];

// The results in the order the value column shows them (Res comes last there).
struct ResultDescriptor {
    const char *name;
    const char *caption;
    const char *unit;
    int decimals;
    double DriverResults::*member;
};

extern const ResultDescriptor RESULT_ROWS[RESULT_COUNT];

// One row of the value column: the eight shown inputs, then the twelve results.
struct ValueRow {
    const char *caption;
    const char *unit;
    int decimals;
    double value;
};

ValueRow value_row(int row, const DriverInputs &inputs, const DriverResults &results);

// Eight characters of the label font end before the right edge of the strip that a calculation
// erases, and before the unit captions; a ninth would pass both. Counting characters rather
// than measuring pixels keeps the window and elemtrix-calc showing the same text under any font.
constexpr int VALUE_COLUMN_CHARS = 8;

// The text the value column shows: the number label's own text when it has at most
// VALUE_COLUMN_CHARS characters, else the most precise exponent form ("%.*e", from the row's
// decimals down to none) that has. "inf", "-inf" and "nan" stay as they are.
char *value_column_text(char (&text)[WT_NUMBER_TEXT_SIZE], double value, int decimals);

// The value of a decimal number's text that is known to be one ("-12.5", "1e-3"), in the classic
// locale; infinite beyond the range of doubles.
double decimal_value(const char *number);

// Reads a number as atof does in the classic locale, whatever the platform or process locale:
// only a decimal prefix counts, never hexadecimal, "inf" or "nan".
double text_to_value(const char *text);

void convert_inputs(DriverInputs &inputs);
DriverResults compute_results(const DriverInputs &inputs);
