#include "engine/explain.h"

#include "base/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

// UTF-8 bytes written out: the sources are compiled to Windows-1252, which lacks these signs.
#define TIMES "\xC2\xB7"
#define MINUS "\xE2\x88\x92"
#define ROOT "\xE2\x88\x9A"

// Each step names its quantities in braces; the formula drops the braces, the substituted line
// puts the numbers in their place.
struct ExplainStep {
    const char *name;
    const char *formula;
    const char *unit;
    int decimals; // below 0: an intermediate, shown as an operand
};

constexpr int OPERAND = -1;

static const ExplainStep STEPS[] = {
    {"Ro", "{Zmax} / {Re}", "ohm", 2},
    {"R1", ROOT "{Ro}", "ohm", 2},
    {"ZF1ZF2", "{Re}" TIMES "{R1}", "ohm", 2},
    {"a", ROOT "({Sd} / 3.14)", "cm", OPERAND},
    {"Mmr", "0.0031993" TIMES "{a}" TIMES "{a}" TIMES "{a}", "Gram", 2},
    {"q", "{Fs} / {FsAdded}", "", OPERAND},
    {"Mms", "{AddedMass} / ({q}" TIMES "{q} " MINUS " 1)", "Gram", 2},
    {"Res", "{Zmax} " MINUS " {Re}", "ohm", 2},
    {"Cms", "0.0253 / ({Fs}" TIMES "{Fs}" TIMES "{Mms} / 1000)", "m/N", 6},
    {"Cmes", "{Qms} / (6.28" TIMES "{Fs}" TIMES "{Res})", "Farad", 6},
    {"Bl", "2.51" TIMES ROOT "({Re}" TIMES "{Fs}" TIMES "{Mms} / 1000 / {Qes})", "Bl", 2},
    {"MmsPlusMmr", "{Mms} + {Mmr}", "Gram", 2},
    {"SensitivityWatt", "9.6e-10" TIMES "{Fs}" TIMES "{Fs}" TIMES "{Fs}" TIMES "{Vas} / {Qes}",
     "Watt", 6},
    {"SensitivityDb", "10" TIMES "log10({SensitivityWatt}) + 112.2", "dB", 2},
};

std::string operand_text(double value) {
    if (const char *spelled = wt_non_finite_text(value))
        return spelled;
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

namespace {

struct Quantities {
    const DriverInputs &inputs;
    const DriverResults &results;
    double a, q;

    double operator()(const std::string &name) const {
        if (name == "a")
            return a;
        if (name == "q")
            return q;
        for (int i = 0; i < INPUT_COUNT; ++i)
            if (name == INPUT_DESCRIPTORS[i].name)
                return inputs.entry[i].value;
        for (const ResultDescriptor &r : RESULT_ROWS)
            if (name == r.name)
                return results.*r.member;
        return NAN; // every name in STEPS is one of the above
    }
};

} // namespace

// The formula with the braces dropped, or with each braced name replaced by its value.
static std::string fill(const char *formula, const Quantities *values) {
    std::string out;
    for (const char *p = formula; *p; ++p) {
        if (*p != '{') {
            out += *p;
            continue;
        }
        const char *end = std::strchr(p, '}');
        const std::string name(p + 1, end);
        out += values ? operand_text((*values)(name)) : name;
        p = end;
    }
    return out;
}

std::vector<std::string> explain_calculation(const DriverInputs &inputs,
                                             const DriverResults &results) {
    const Quantities values{inputs, results, std::sqrt(inputs[InputId::Sd].value / 3.14),
                            inputs[InputId::Fs].value / inputs[InputId::FsAdded].value};
    std::vector<std::string> lines;
    for (const ExplainStep &s : STEPS) {
        const double value = values(s.name);
        std::string result;
        if (s.decimals == OPERAND) {
            result = operand_text(value);
        } else {
            char text[WT_NUMBER_TEXT_SIZE];
            result = wt_format_number(text, value, s.decimals);
        }
        if (*s.unit)
            result += std::string(" ") + s.unit;
        lines.push_back(std::string(s.name) + " = " + fill(s.formula, nullptr) + " = " +
                        fill(s.formula, &values) + " = " + result);
    }
    return lines;
}
