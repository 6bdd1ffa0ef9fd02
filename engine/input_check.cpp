#include "engine/input_check.h"

// By input in canonical order, then by kind: comma, non-digit, no input.
static const char *const MESSAGES[INPUT_COUNT][3] = {
    {"Fs: Använd punkt som komma!", "Fs: Använd endast siffror!", "Fs: Ingen inmatning!"},
    {"Re: Använd punkt som komma!", "Re: Använd endast siffror!", "Re: Ingen inmatning!"},
    {"Zmax: Använd punkt som komma!", "Zmax: Använd endast siffror!", "Zmax: Ingen inmatning!"},
    {"Sd: Använd punkt som komma!", "Sd: Använd endast siffror!", "Sd: Ingen inmatning!"},
    {"Vas: Använd punkt som komma!", "Vas: Använd endast siffror!", "Vas: Ingen inmatning!"},
    {"Qms: Använd punkt som komma!", "Qms: Använd endast siffror!", "Qms: Ingen inmatning!"},
    {"Qes: Använd punkt som komma!", "Qes: Använd endast siffror!", "Qes: Ingen inmatning!"},
    {"Qts: Använd punkt som komma!", "Qts: Använd endast siffror!", "Qts: Ingen inmatning!"},
    {"Fs med adderad massa: Använd punkt som komma!", "Fs med adderad massa: Använd endast siffror!",
     "Fs med adderad massa: Ingen inmatning!"},
    // Users know this one as it stands.
    {"Vikt ad.massa: Använd punkt som komma!", "Vikt ad.massa: Använd endast siffror!",
     "Vikt ad.massa: Använd Ingen inmatning!"},
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
