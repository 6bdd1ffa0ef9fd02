#include "engine/driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <charconv>
#include <clocale>
#include <locale.h>
#endif

const InputDescriptor INPUT_DESCRIPTORS[INPUT_COUNT] = {
    {"Fs", "Fs", "Fs", "Hz", 8},
    {"Re", "Re", "Re", "ohm", 8},
    {"Zmax", "Zmax", "Zmax", "ohm", 8},
    {"Sd", "Sd", "Sd", "cm2", 4},
    {"Vas", "Vas", "Vas", "Liter", 8},
    {"Qms", "Qms", "Qms", "Faktor", 8},
    {"Qes", "Qes", "Qes", "Faktor", 8},
    {"Qts", "Qts", "Qts", "Faktor", 8},
    {"FsAdded", "Fs", "Fs med adderad massa", "Hz", 8},
    {"AddedMass", "Vikt ad.massa", "Vikt ad.massa", "Gram", 8},
};

const ResultDescriptor RESULT_ROWS[RESULT_COUNT] = {
    {"Ro", "Ro", "ohm", 2, &DriverResults::Ro},
    {"R1", "R1", "ohm", 2, &DriverResults::R1},
    {"ZF1ZF2", "ZF1/ZF2", "ohm", 2, &DriverResults::ZF1ZF2},
    {"Mmr", "Mmr", "Gram", 2, &DriverResults::Mmr},
    {"Mms", "Mms", "Gram", 2, &DriverResults::Mms},
    {"Cms", "Cms", "m/N", 6, &DriverResults::Cms},
    {"Cmes", "Cmes", "Farad", 6, &DriverResults::Cmes},
    {"Bl", "Bl", "Bl", 2, &DriverResults::Bl},
    {"MmsPlusMmr", "Mms+Mmr", "Gram", 2, &DriverResults::MmsPlusMmr},
    {"SensitivityWatt", "K\xE4nslighet Watt", "Watt", 6, &DriverResults::SensitivityWatt},
    {"SensitivityDb", "K\xE4nslighet dB", "dB", 2, &DriverResults::SensitivityDb},
    {"Res", "Res", "ohm", 2, &DriverResults::Res},
};

constexpr int INPUT_DECIMALS = 2;

ValueRow value_row(int row, const DriverInputs &inputs, const DriverResults &results) {
    if (row < SHOWN_INPUT_COUNT) {
        const InputDescriptor &d = INPUT_DESCRIPTORS[row];
        return {d.caption, d.unit, INPUT_DECIMALS, inputs.entry[row].value};
    }
    const ResultDescriptor &r = RESULT_ROWS[row - SHOWN_INPUT_COUNT];
    return {r.caption, r.unit, r.decimals, results.*r.member};
}

char *value_column_text(char (&text)[WT_NUMBER_TEXT_SIZE], double value, int decimals) {
    wt_format_number(text, value, decimals);
    if (std::strlen(text) <= VALUE_COLUMN_CHARS || !std::isfinite(value))
        return text;
    // Precision 0 always fits: at most "-1e-308", seven characters.
    for (int precision = std::min(std::max(decimals, 0), WT_MAX_PRECISION); precision >= 0;
         --precision)
        if (std::snprintf(text, sizeof text, "%.*e", precision, value) <= VALUE_COLUMN_CHARS)
            break;
    return text;
}

static bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Space, tab, LF, VT, FF and CR: the white space of the classic locale.
static bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value of an unsigned decimal number at the start of the text.
#ifdef _WIN32
// MinGW's strtod rounds correctly and keeps the program small. It reads the C library's locale,
// which neither program ever changes: their printf would then write decimal commas too.
double decimal_value(const char *number) {
    return std::strtod(number, nullptr);
}
#else
// from_chars needs no locale and is the quickest, for elemtrix-calc's batches of files; only
// for the rare number beyond the range of doubles does strtod tell infinity from zero.
double decimal_value(const char *number) {
    double value = 0.0;
    if (std::from_chars(number, number + std::strlen(number), value).ec ==
        std::errc::result_out_of_range) {
        static const locale_t classic = newlocale(LC_NUMERIC_MASK, "C", nullptr);
        value = strtod_l(number, nullptr, classic);
    }
    return value;
}
#endif

double text_to_value(const char *text) {
    const char *p = text;
    while (is_space(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    // Only decimal numbers count: strtod and from_chars would also read "inf" and "nan", and
    // strtod hexadecimal numbers.
    if (!is_digit(*p) && !(*p == '.' && is_digit(p[1])))
        return 0.0;
    const double value = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') ? 0.0 : decimal_value(p);
    return negative ? -value : value;
}

void convert_inputs(DriverInputs &inputs) {
    for (InputEntry &e : inputs.entry)
        e.value = text_to_value(e.text);
}

// Fixed approximations: results must match the figures users already have.
constexpr double PI_APPROX = 3.14;
constexpr double AIR_LOAD_FACTOR = 0.0031993;
constexpr double COMPLIANCE_FACTOR = 0.0253;
constexpr double GRAMS_PER_KILOGRAM = 1000;
constexpr double TWO_PI_APPROX = 6.28;
constexpr double FORCE_FACTOR_FACTOR = 2.51;
constexpr double EFFICIENCY_FACTOR = 9.6e-10;
constexpr double DECIBEL_FACTOR = 10.0;
constexpr double DECIBEL_OFFSET = 112.2;

DriverResults compute_results(const DriverInputs &in) {
    const double Fs = in[InputId::Fs].value;
    const double Re = in[InputId::Re].value;
    const double Zmax = in[InputId::Zmax].value;
    const double Sd = in[InputId::Sd].value;
    const double Vas = in[InputId::Vas].value;
    const double Qms = in[InputId::Qms].value;
    const double Qes = in[InputId::Qes].value;
    const double FsAdded = in[InputId::FsAdded].value;
    const double AddedMass = in[InputId::AddedMass].value;

    DriverResults r;
    r.Ro = Zmax / Re;
    r.R1 = std::sqrt(r.Ro);
    r.ZF1ZF2 = Re * r.R1;
    const double a = std::sqrt(Sd / PI_APPROX);
    r.Mmr = AIR_LOAD_FACTOR * a * a * a;
    const double q = Fs / FsAdded;
    r.Mms = AddedMass / (q * q - 1);
    r.Res = Zmax - Re;
    r.Cms = COMPLIANCE_FACTOR / ((Fs * Fs) * (r.Mms / GRAMS_PER_KILOGRAM));
    r.Cmes = Qms / ((TWO_PI_APPROX * Fs) * r.Res);
    r.Bl = FORCE_FACTOR_FACTOR * std::sqrt((((Re * Fs) * r.Mms) / GRAMS_PER_KILOGRAM) / Qes);
    r.MmsPlusMmr = r.Mms + r.Mmr;
    r.SensitivityWatt = ((EFFICIENCY_FACTOR * (Fs * Fs * Fs)) * Vas) / Qes;
    r.SensitivityDb = DECIBEL_FACTOR * std::log10(r.SensitivityWatt) + DECIBEL_OFFSET;
    return r;
}
