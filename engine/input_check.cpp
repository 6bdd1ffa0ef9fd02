#include "engine/input_check.h"

// By input in canonical order, then by kind: comma, non-digit, no input.
static const char *const MESSAGES[INPUT_COUNT][3] = {
    {"Fs: Anv\xE4nd punkt som komma!", "Fs: Anv\xE4nd endast siffror!", "Fs: Ingen inmatning!"},
    {"Re: Anv\xE4nd punkt som komma!", "Re: Anv\xE4nd endast siffror!", "Re: Ingen inmatning!"},
    {"Zmax: Anv\xE4nd punkt som komma!", "Zmax: Anv\xE4nd endast siffror!", "Zmax: Ingen inmatning!"},
    {"Sd: Anv\xE4nd punkt som komma!", "Sd: Anv\xE4nd endast siffror!", "Sd: Ingen inmatning!"},
    {"Vas: Anv\xE4nd punkt som komma!", "Vas: Anv\xE4nd endast siffror!", "Vas: Ingen inmatning!"},
    {"Qms: Anv\xE4nd punkt som komma!", "Qms: Anv\xE4nd endast siffror!", "Qms: Ingen inmatning!"},
    {"Qes: Anv\xE4nd punkt som komma!", "Qes: Anv\xE4nd endast siffror!", "Qes: Ingen inmatning!"},
    {"Qts: Anv\xE4nd punkt som komma!", "Qts: Anv\xE4nd endast siffror!", "Qts: Ingen inmatning!"},
    {"Fs med adderad massa: Anv\xE4nd punkt som komma!", "Fs med adderad massa: Anv\xE4nd endast siffror!",
     "Fs med adderad massa: Ingen inmatning!"},
    // Users know this one as it stands.
    {"Vikt ad.massa: Anv\xE4nd punkt som komma!", "Vikt ad.massa: Anv\xE4nd endast siffror!",
     "Vikt ad.massa: Anv\xE4nd Ingen inmatning!"},
};

const char *input_error_message(const InputError &error) {
    return MESSAGES[static_cast<int>(error.input)][static_cast<int>(error.kind)];
}

constexpr int CHECKED_POSITIONS = 6; // later characters are never examined
constexpr unsigned char FIRST_NON_DIGIT = 58;
constexpr unsigned char LAST_NON_DIGIT = 254;

static bool has_char_at(const char *text, int position) {
    for (int i = 0; i < position; ++i)
        if (text[i] == '\0')
            return false;
    return text[position] != '\0';
}

std::vector<InputError> check_input_texts(const DriverInputs &inputs) {
    std::vector<InputError> errors;
    for (int p = 0; p < CHECKED_POSITIONS; ++p) {
        for (int i = 0; i < INPUT_COUNT; ++i)
            if (has_char_at(inputs.entry[i].text, p) && inputs.entry[i].text[p] == ',')
                errors.push_back({static_cast<InputId>(i), InputErrorKind::Comma});
        for (int i = 0; i < INPUT_COUNT; ++i) {
            if (!has_char_at(inputs.entry[i].text, p))
                continue;
            const unsigned char c = static_cast<unsigned char>(inputs.entry[i].text[p]);
            if (c >= FIRST_NON_DIGIT && c <= LAST_NON_DIGIT)
                errors.push_back({static_cast<InputId>(i), InputErrorKind::NonDigit});
        }
    }
    return errors;
}

std::vector<InputError> check_input_values(const DriverInputs &inputs) {
    std::vector<InputError> errors;
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (inputs.entry[i].value < MIN_INPUT_VALUE)
            errors.push_back({static_cast<InputId>(i), InputErrorKind::NoInput});
    return errors;
}
