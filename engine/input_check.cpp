#include "engine/input_check.h"

// By input in canonical order, then by kind: comma, non-digit, no input.
static const char *const MESSAGES[INPUT_COUNT][3] = {
    {"Fs: Anv\xE4nd punkt som komma!", "Fs: Anv\xE4nd endast siffror!", "Fs: Ingen inmatning!"},
    {"Re: Anv\xE4nd punkt som komma!", "Re: Anv\xE4nd endast siffror!", "Re: Ingen inmatning!"},
    {"Zmax: Anv\xE4nd punkt som komma!", "Zmax: Anv\xE4nd endast siffror!",
     "Zmax: Ingen inmatning!"},
    {"Sd: Anv\xE4nd punkt som komma!", "Sd: Anv\xE4nd endast siffror!", "Sd: Ingen inmatning!"},
    {"Vas: Anv\xE4nd punkt som komma!", "Vas: Anv\xE4nd endast siffror!", "Vas: Ingen inmatning!"},
    {"Qms: Anv\xE4nd punkt som komma!", "Qms: Anv\xE4nd endast siffror!", "Qms: Ingen inmatning!"},
    {"Qes: Anv\xE4nd punkt som komma!", "Qes: Anv\xE4nd endast siffror!", "Qes: Ingen inmatning!"},
    {"Qts: Anv\xE4nd punkt som komma!", "Qts: Anv\xE4nd endast siffror!", "Qts: Ingen inmatning!"},
    {"Fs med adderad massa: Anv\xE4nd punkt som komma!",
     "Fs med adderad massa: Anv\xE4nd endast siffror!", "Fs med adderad massa: Ingen inmatning!"},
    // Users know this one as it stands.
    {"Vikt ad.massa: Anv\xE4nd punkt som komma!", "Vikt ad.massa: Anv\xE4nd endast siffror!",
     "Vikt ad.massa: Anv\xE4nd Ingen inmatning!"},
};

const char *input_error_message(const InputError &error) {
    return MESSAGES[static_cast<int>(error.input)][static_cast<int>(error.kind)];
}

constexpr unsigned char FIRST_NON_DIGIT = 58;
constexpr unsigned char LAST_NON_DIGIT = 254;

// Characters of the text that the checks examine: up to its end, at most CHECKED_POSITIONS.
static int checked_length(const char *text) {
    int n = 0;
    while (n < CHECKED_POSITIONS && text[n] != '\0')
        ++n;
    return n;
}

static bool is_flagged(unsigned char c) {
    return c == ',' || (c >= FIRST_NON_DIGIT && c <= LAST_NON_DIGIT);
}

static void add(InputErrors &errors, int input, InputErrorKind kind) {
    errors.item[errors.count++] = {static_cast<InputId>(input), kind};
}

InputErrors check_input_texts(const DriverInputs &inputs) {
    InputErrors errors{};
    // One quick pass first: elemtrix-calc runs this for every driver it reads, and most texts
    // have nothing to report.
    int length[INPUT_COUNT];
    bool any = false;
    for (int i = 0; i < INPUT_COUNT; ++i) {
        length[i] = checked_length(inputs.entry[i].text);
        for (int p = 0; p < length[i]; ++p)
            any |= is_flagged(static_cast<unsigned char>(inputs.entry[i].text[p]));
    }
    if (!any)
        return errors;
    for (int p = 0; p < CHECKED_POSITIONS; ++p) {
        for (int i = 0; i < INPUT_COUNT; ++i)
            if (p < length[i] && inputs.entry[i].text[p] == ',')
                add(errors, i, InputErrorKind::Comma);
        for (int i = 0; i < INPUT_COUNT; ++i) {
            if (p >= length[i])
                continue;
            const unsigned char c = static_cast<unsigned char>(inputs.entry[i].text[p]);
            if (c >= FIRST_NON_DIGIT && c <= LAST_NON_DIGIT)
                add(errors, i, InputErrorKind::NonDigit);
        }
    }
    return errors;
}

InputErrors check_input_values(const DriverInputs &inputs) {
    InputErrors errors{};
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (inputs.entry[i].value < MIN_INPUT_VALUE)
            add(errors, i, InputErrorKind::NoInput);
    return errors;
}
