#include "measure/field_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

bool field_text(double value, int limit, char (&text)[INPUT_TEXT_SIZE]) {
    text[0] = '\0';
    if (!std::isfinite(value) || limit <= 0 || limit >= INPUT_TEXT_SIZE)
        return false;
    // The most decimals whose text still fits; rounding may carry into one more whole digit.
    for (int decimals = limit; decimals >= 0; --decimals) {
        // Room for any double in fixed notation. printf, not to_chars: it rounds as exactly and
        // keeps the window program small.
        char buffer[400];
        int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
        if (length < 0 || length > limit)
            continue;
        if (decimals > 0) {
            while (buffer[length - 1] == '0')
                --length;
            if (buffer[length - 1] == '.')
                --length;
        }
        if (length == 2 && buffer[0] == '-' && buffer[1] == '0') { // "-0"
            buffer[0] = '0';
            length = 1;
        }
        std::memcpy(text, buffer, length);
        text[length] = '\0';
        return true;
    }
    return false;
}

DriverFields driver_fields(const SweepFit &free, const JointMassFit *added, double sd_cm2,
                           double vas_litre) {
    DriverFields f;
    auto set = [&f](InputId id, Estimate e) { f.input[static_cast<int>(id)] = e; };
    set(InputId::Fs, free.Fs);
    set(InputId::Re, free.Re);
    set(InputId::Zmax, free.Zmax);
    set(InputId::Sd, {sd_cm2, 0});
    set(InputId::Qms, free.Qms);
    set(InputId::Qes, free.Qes);
    set(InputId::Qts, free.Qts);
    set(InputId::FsAdded, added ? added->FsAdded : Estimate{NaN, NaN});
    set(InputId::AddedMass, {added ? added->mass : NaN, 0});
    f.vas_from_compliance = std::isnan(vas_litre) && added && sd_cm2 > 0;
    set(InputId::Vas,
        f.vas_from_compliance ? vas_from_compliance(added->Cms, sd_cm2) : Estimate{vas_litre, 0});
    return f;
}

bool set_field_texts(const DriverFields &fields, const char *name, DriverInputs &inputs,
                     MeasureError &error) {
    for (int i = 0; i < INPUT_COUNT; ++i) {
        const double value = fields.input[i].value;
        if (!field_text(value, INPUT_DESCRIPTORS[i].text_limit, inputs.entry[i].text) &&
            !std::isnan(value))
            return measure_error(error, name, 0, "%s %.6g does not fit its field of %d characters",
                                 u8"%s %.6g ryms inte i sitt fält om %d tecken",
                                 INPUT_DESCRIPTORS[i].name, value, INPUT_DESCRIPTORS[i].text_limit);
    }
    return true;
}

Tolerances field_tolerances(const DriverFields &fields) {
    Tolerances t;
    for (int i = 0; i < INPUT_COUNT; ++i)
        t.input[i] = {fields.input[i].error, false};
    return t;
}
