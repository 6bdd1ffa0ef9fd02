#include "engine/plausibility.h"

#include "engine/input_check.h"
#include "base/number_text.h"

#include <cmath>

static std::string number(double value, int decimals) {
    char text[WT_NUMBER_TEXT_SIZE];
    return wt_format_number(text, value, decimals);
}

static double deviation_percent(double value, double expected) {
    return std::fabs(value - expected) / expected * 100.0;
}

double mms_error_factor(double r) {
    return 2 * r * r / (r * r - 1);
}

std::vector<PlausibilityWarning> check_plausibility(const DriverInputs &in) {
    const auto given = [&in](InputId id) { return in[id].value >= MIN_INPUT_VALUE; };
    const double Fs = in[InputId::Fs].value;
    const double Re = in[InputId::Re].value;
    const double Zmax = in[InputId::Zmax].value;
    const double Qms = in[InputId::Qms].value;
    const double Qes = in[InputId::Qes].value;
    const double Qts = in[InputId::Qts].value;
    const double FsAdded = in[InputId::FsAdded].value;

    std::vector<PlausibilityWarning> warnings;
    if (given(InputId::Fs) && given(InputId::FsAdded)) {
        const double r = Fs / FsAdded;
        if (FsAdded >= Fs)
            warnings.push_back(
                {"FsAddedNotBelowFs",
                 "Fs med adderad massa (" + number(FsAdded, 2) +
                     " Hz) \xE4r inte l\xE4gre \xE4n Fs (" + number(Fs, 2) +
                     " Hz): " + number(FsAdded - Fs, 2) +
                     " Hz f\xF6r h\xF6gt, den adderade massan ska s\xE4nka resonansen",
                 FsAdded - Fs, "Hz"});
        else if (r < MIN_RESONANCE_SHIFT)
            warnings.push_back(
                {"SmallResonanceShift",
                 "Fs / Fs med adderad massa = " + number(r, 3) + " \xE4r under " +
                     number(MIN_RESONANCE_SHIFT, 1) + ": 1 % fel i en frekvens ger " +
                     number(mms_error_factor(r), 1) + " % fel i Mms (2r\xB2/(r\xB2-1))",
                 mms_error_factor(r), "faktor"});
    }
    if (given(InputId::Re) && given(InputId::Zmax) && Zmax <= Re)
        warnings.push_back({"ZmaxNotAboveRe",
                            "Zmax (" + number(Zmax, 2) + " ohm) \xE4r inte h\xF6gre \xE4n Re (" +
                                number(Re, 2) + " ohm): " + number(Re - Zmax, 2) +
                                " ohm f\xF6r l\xE5gt",
                            Re - Zmax, "ohm"});
    if (given(InputId::Qms) && given(InputId::Qes) && given(InputId::Qts)) {
        const double expected = Qms * Qes / (Qms + Qes);
        const double off = deviation_percent(Qts, expected);
        if (off > QTS_TOLERANCE_PERCENT)
            warnings.push_back({"QtsDisagrees",
                                "Qts (" + number(Qts, 3) + ") avviker " + number(off, 1) +
                                    " % fr\xE5n Qms\xB7Qes/(Qms+Qes) = " + number(expected, 3),
                                off, "%"});
    }
    if (given(InputId::Re) && given(InputId::Zmax) && given(InputId::Qms) && given(InputId::Qes) &&
        Zmax / Re > 1) {
        const double expected = Qms / (Zmax / Re - 1);
        const double off = deviation_percent(Qes, expected);
        if (off > QES_TOLERANCE_PERCENT)
            warnings.push_back({"QesDisagrees",
                                "Qes (" + number(Qes, 3) + ") avviker " + number(off, 1) +
                                    " % fr\xE5n Qms/(Ro-1) = " + number(expected, 3),
                                off, "%"});
    }
    return warnings;
}
