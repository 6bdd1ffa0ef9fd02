#include "app/calc/calc_sweep.h"

#include "base/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

const ClassicMember CLASSIC_MEMBERS[CLASSIC_MEMBER_COUNT] = {
    {"Re", &ClassicValues::Re},   {"Fs", &ClassicValues::Fs},   {"Zmax", &ClassicValues::Zmax},
    {"F1", &ClassicValues::F1},   {"F2", &ClassicValues::F2},   {"Qms", &ClassicValues::Qms},
    {"Qes", &ClassicValues::Qes}, {"Qts", &ClassicValues::Qts},
};

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr int VALUE_DIGITS = 5;    // significant digits of a fitted value in the report
constexpr int RESIDUAL_DIGITS = 3; // of an RMS residual
constexpr std::size_t NAME_WIDTH = 6, CLASSIC_WIDTH = 12, FITTED_WIDTH = 14, ERROR_WIDTH = 10;
// A line through two resonances leaves only rounding, some 1e-14 %: shown as the 0 it is.
constexpr double ROUNDING_PERCENT = 1e-9;
constexpr std::size_t FIELD_NAME_WIDTH = 22; // "Fs med adderad massa" and two blanks

// The report is UTF-8: u8 literals stay UTF-8 where the compiler makes plain ones Windows-1252.
const char INVERSE_SQUARE[] = u8"1/(2πf)²";

int index(InputId id) {
    return static_cast<int>(id);
}

// The number given as NAME=TEXT for an input; NaN when not given.
double given_value(const CalcOptions &o, InputId id) {
    const char *text = o.value_args[index(id) + 1];
    return text ? text_to_value(text) : NaN;
}

bool read_and_fit(const char *path, double mass, const FitOptions &options, Measurement &m,
                  MeasureError &error) {
    MeasuredSweep s{path, path_text(path), mass, {}, {}};
    if (!read_sweep_file(path, s.sweep, error) || !fit_sweep(s.sweep, path, options, s.fit, error))
        return false;
    m.sweeps.push_back(std::move(s));
    return true;
}

// Decimals that show the value with that many significant digits.
int decimals_for(double value, int digits) {
    if (!std::isfinite(value) || value == 0)
        return digits - 1;
    const int whole = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    return std::clamp(digits - 1 - whole, 0, WT_MAX_PRECISION);
}

std::string shown(double value, int digits = VALUE_DIGITS) {
    return decimal_text(value, decimals_for(value, digits));
}

// "27.490 ± 0.008"
std::string with_error(Estimate e) {
    const int decimals = decimals_for(e.value, VALUE_DIGITS);
    return decimal_text(e.value, decimals) + " " + PLUS_MINUS + " " +
           decimal_text(e.error, decimals);
}

// "20", "12.5": a mass as its field holds it.
std::string mass_text(double grams) {
    char text[INPUT_TEXT_SIZE];
    field_text(grams, INPUT_DESCRIPTORS[index(InputId::AddedMass)].text_limit, text);
    return text;
}

// A row of value, standard error ("angivet" for a given value) and unit, after the classic value
// when there is one.
std::string estimate_row(const char *name, Estimate e, const char *unit, double classic = NaN) {
    const int decimals = decimals_for(e.value, VALUE_DIGITS);
    std::string out =
        pad_right(name, NAME_WIDTH) +
        pad_left(std::isnan(classic) ? "" : decimal_text(classic, decimals), CLASSIC_WIDTH) +
        pad_left(decimal_text(e.value, decimals), FITTED_WIDTH);
    out += e.error == 0 ? "   " + pad_left("angivet", ERROR_WIDTH)
                        : std::string(" ") + PLUS_MINUS + " " +
                              pad_left(decimal_text(e.error, decimals), ERROR_WIDTH);
    return out + (*unit ? std::string("  ") + unit : "") + "\n";
}

std::string model_text(const DriverModel &model) {
    char text[MODEL_DESCRIPTION_SIZE];
    describe_model(model, text);
    return text;
}

// The residual beside the sweep's own scatter, and the rule when the misfit dominates.
std::string quality_text(const FitQuality &q) {
    std::string out = "RMS-avvikelse " + shown(q.rms_percent, RESIDUAL_DIGITS) +
                      " % av |Z|, punktspridning " + shown(q.scatter_percent, RESIDUAL_DIGITS) +
                      " %\n";
    if (q.error_scale > 1)
        out += u8"OBS: modellens avvikelse överstiger mätningens spridning "
               u8"mer än " +
               shown(MISFIT_RATIO, 1) +
               u8" gånger; medelfelen är "
               "multiplicerade med RMS/spridning = " +
               shown(q.error_scale, RESIDUAL_DIGITS) + "\n";
    return out;
}

std::string sweep_report(const MeasuredSweep &s) {
    const SweepFit &fit = s.fit;
    std::string out = sweep_label(s) + ": " + s.shown + "\n";
    out += pad_left("klassiskt", NAME_WIDTH + CLASSIC_WIDTH) + pad_left("anpassat", FITTED_WIDTH) +
           pad_left("medelfel", ERROR_WIDTH + 3) + "\n";
    for (const FitValueRow &row : FIT_VALUE_ROWS) {
        const Estimate e = fit.*row.member;
        if (e.value == 0 && std::isnan(e.error)) // R2 and L2 of a coil without losses
            continue;
        double classic = NaN; // where the peak's classic reading has the value too
        for (const ClassicMember &c : CLASSIC_MEMBERS)
            if (std::strcmp(c.name, row.name) == 0)
                classic = fit.classic.*c.member * row.scale;
        out +=
            estimate_row(row.name, {e.value * row.scale, e.error * row.scale}, row.unit, classic);
    }
    const ClassicValues &c = fit.classic;
    out += "F1 och F2 (klassiskt): " + shown(c.F1) + " och " + shown(c.F2) +
           u8" Hz, där |Z| = √(Re·Zmax) = " + shown(std::sqrt(c.Re * c.Zmax)) + " ohm\n";
    out += "Anpassning: " + std::to_string(fit.points_used) + u8" punkter från " +
           shown(fit.band_low) + " till " + shown(fit.band_high) + " Hz, " +
           (fit.phase_used ? "komplex impedans (|Z| och fas)" : "|Z| utan fas") + ", " +
           model_text(fit.solution.model) + ", " + quality_text(fit.quality);
    if (fit.band_low != fit.sweep_low || fit.band_high != fit.sweep_high)
        out += u8"Bandet: svepet går från " + shown(fit.sweep_low) + " till " +
               shown(fit.sweep_high) +
               u8" Hz; utanför bandet följer modellen det "
               u8"inte (lokal RMS-avvikelse över " +
               shown(BAND_RATIO, 1) + u8" gånger punktspridningen)\n";
    if (fit.solution.model.creep)
        out += u8"Med krypning är Fs där den motoriska impedansen är reell, "
               u8"Qms = ωs·Cmes·Rmot(Fs) och Qes = ωs·Cmes·Re; |Z| når sin topp något "
               u8"ovanför Fs\n";
    return out;
}

std::string joint_report(const Measurement &m) {
    const JointMassFit &j = m.joint;
    const AddedMassResult &a = m.added;
    std::string out = "Adderad massa, gemensam anpassning av " + std::to_string(j.sweeps) +
                      u8" svep (Bl, upphängning och talspole gemensamma, massan Mms + m), " +
                      quality_text(j.quality);
    out += estimate_row("Mms", j.Mms, "Gram") + estimate_row("Cms", j.Cms, "m/N") +
           estimate_row("Bl", j.Bl, "Tm");
    if (j.model.creep)
        out += estimate_row("beta", j.Beta, "");
    char difference[40];
    std::snprintf(difference, sizeof difference, "%+.1f", 100 * (a.Mms.value / j.Mms.value - 1));
    out += u8"Den räta linjens Mms " + with_error(a.Mms) + " g avviker " + difference +
           u8" % från den gemensamma anpassningens\n";
    out += "Fs med " + mass_text(j.mass) + u8" g = Fs/√(1 + m/Mms): " + with_error(j.FsAdded) +
           " Hz\n";
    return out;
}

std::string added_mass_report(const Measurement &m) {
    const AddedMassResult &a = m.added;
    std::string out = std::string(u8"Adderad massa: rät linje ") + INVERSE_SQUARE +
                      u8" = Cms·(Mms + m) genom " + std::to_string(a.masses + 1) +
                      " resonanser, RMS-avvikelse " +
                      shown(a.rms_percent < ROUNDING_PERCENT ? 0 : a.rms_percent, RESIDUAL_DIGITS) +
                      " % av " + INVERSE_SQUARE + "\n";
    out += estimate_row("Mms", a.Mms, "Gram") + estimate_row("Cms", a.Cms, "m/N");
    out += "Fs med " + mass_text(a.mass) + " g enligt linjen: " + with_error(a.FsAdded) + " Hz\n\n";
    return out;
}

std::string vas_report(const Estimate &vas) {
    char air[160];
    std::snprintf(air, sizeof air,
                  u8" Liter (luftens densitet %g kg/m³, ljudets hastighet %g m/s)\n", AIR_DENSITY,
                  SPEED_OF_SOUND);
    return u8"Vas från Cms och Sd: " + with_error(vas) + air;
}

} // namespace

std::string sweep_label(const MeasuredSweep &s) {
    return s.mass > 0 ? "Adderad massa " + mass_text(s.mass) + " g" : "Fri luft";
}

bool measure_driver(const CalcOptions &o, Measurement &m, MeasureError &error) {
    FitOptions options;
    options.Re = given_value(o, InputId::Re);
    if (!read_and_fit(o.sweep_path, 0, options, m, error))
        return false;
    for (const AddedSweepArg &a : o.added_sweeps)
        if (!read_and_fit(a.path, a.grams, options, m, error))
            return false;
    const MeasuredSweep &free = m.sweeps.front();
    m.has_added_mass = m.sweeps.size() > 1;
    if (m.has_added_mass) {
        std::vector<const char *> names;
        std::vector<const SweepFit *> fits;
        std::vector<double> masses;
        for (const MeasuredSweep &s : m.sweeps) {
            names.push_back(s.path);
            fits.push_back(&s.fit);
            masses.push_back(s.mass);
        }
        if (!fit_added_masses(names.data(), fits.data(), masses.data(),
                              static_cast<int>(fits.size()), m.added, m.joint, error))
            return false;
    }
    m.fields = driver_fields(free.fit, m.has_added_mass ? &m.joint : nullptr,
                             given_value(o, InputId::Sd), given_value(o, InputId::Vas));

    DriverInputs texts{};
    if (!set_field_texts(m.fields, free.path, texts, error))
        return false;
    DriverFileLines lines = o.values; // the name
    for (int i = 0; i < INPUT_COUNT; ++i)
        std::memcpy(lines.text[i + 1], texts.entry[i].text, INPUT_TEXT_SIZE);
    m.driver = calculate_driver(free.shown, lines);

    // propagate_uncertainty takes no tolerance beyond its value, and leaves out one it is not
    // given; both are named, so that no ± looks surer than it is.
    Tolerances tolerances = field_tolerances(m.fields);
    for (int i = 0; i < INPUT_COUNT; ++i) {
        InputTolerance &t = tolerances.input[i];
        const bool fits = tolerance_fits(t, m.driver.inputs.entry[i].value);
        m.left_out[i] = !fits && !std::isnan(m.fields.input[i].value);
        if (!fits)
            t.amount = 0;
    }
    // The typed values' tolerances, each one standard deviation.
    Estimate typed[INPUT_COUNT] = {};
    for (InputId id : {InputId::Re, InputId::Sd, InputId::Vas}) {
        const int i = index(id);
        const InputTolerance &t = o.tolerances.input[i];
        const double value = m.fields.input[i].value;
        typed[i] = {value, o.tolerance ? absolute_tolerance(t, value) : 0};
        m.typed_error[i] = typed[i].error;
        if (typed[i].error > 0 && !(id == InputId::Vas && m.fields.vas_from_compliance))
            tolerances.input[i] = {typed[i].error, false};
    }
    m.uncertainties = propagate_uncertainty(m.driver.inputs, tolerances);
    const Estimate vas =
        m.fields.vas_from_compliance ? Estimate{NaN, 0} : typed[index(InputId::Vas)];
    m.covaried = covaried_driver(free.fit, m.has_added_mass ? &m.joint : nullptr,
                                 typed[index(InputId::Re)], typed[index(InputId::Sd)], vas);
    return true;
}

DriverFileLines measured_lines(const Measurement &m) {
    DriverFileLines lines{};
    lines.count = DRIVER_FILE_LINES;
    std::memcpy(lines.text[0], m.driver.name, DRIVER_LINE_SIZE);
    for (int i = 0; i < INPUT_COUNT; ++i)
        std::memcpy(lines.text[i + 1], m.driver.inputs.entry[i].text, INPUT_TEXT_SIZE);
    return lines;
}

bool save_measured_driver(const char *path, const Measurement &m) {
    const DriverFileLines lines = measured_lines(m);
    const char *texts[DRIVER_FILE_LINES];
    for (int i = 0; i < DRIVER_FILE_LINES; ++i)
        texts[i] = lines.text[i];
    return write_driver_file(path, texts);
}

std::string measurement_report(const Measurement &m) {
    std::string out;
    for (const MeasuredSweep &s : m.sweeps)
        out += sweep_report(s) + "\n";
    if (m.has_added_mass)
        out += added_mass_report(m) + joint_report(m);
    if (m.fields.vas_from_compliance)
        out += vas_report(m.fields.input[index(InputId::Vas)]);
    if (!m.sweeps.front().fit.re_given)
        out += u8"OBS: Re är anpassat, inte mätt. Re mätt med en ohmmeter "
               u8"(likström) är säkrare: ange det som Re=OHM.\n";

    const DriverFileLines lines = measured_lines(m);
    out += u8"\nFälten:\n" + pad_right("Namn", FIELD_NAME_WIDTH) + cp1252_to_utf8(lines.text[0]) +
           "\n";
    for (int i = 0; i < INPUT_COUNT; ++i)
        out += cp1252_to_utf8(pad_right(INPUT_DESCRIPTORS[i].message_name, FIELD_NAME_WIDTH)) +
               lines.text[i + 1] + "\n";

    out += std::string(u8"\nVärdekolumnen, med ") + PLUS_MINUS +
           u8" från de anpassade värdenas medelfel; deras korrelationer förs "
           "inte vidare.\n";
    std::string left_out;
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (m.left_out[i])
            left_out += std::string(left_out.empty() ? "" : ", ") + INPUT_DESCRIPTORS[i].name;
    if (!left_out.empty())
        out += "Utan " + std::string(PLUS_MINUS) + u8" från " + left_out +
               u8": medelfelet är okänt eller större än värdet.\n";
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (m.typed_error[i] > 0)
            out += std::string("Angivet ") + INPUT_DESCRIPTORS[i].name + " " + PLUS_MINUS + " " +
                   shown(m.typed_error[i]) + u8" från --tolerance\n";
    return out;
}
