#include "window/sweep_open.h"

#include "base/charset.h"
#include "base/number_text.h"
#include "engine/input_check.h"
#include "measure/field_text.h"
#include "measure/fitted_covariance.h"
#include "toolkit/controls.h"
#include "toolkit/message.h"
#include "window/box_dialog.h"
#include "window/calculator.h"
#include "window/file_commands.h"

#include <cmath>

namespace {

constexpr char RESULT_CAPTION[] = "ANPASSNING";

constexpr char NO_ADDED_MASS[] = "Vikt ad.massa: Två impedanskurvor behöver den adderade massans "
                                 "vikt i gram. Skriv in den och öppna kurvorna igen.";
constexpr char CANNOT_USE[] = "Impedanskurvan kunde inte användas:\n";

constexpr char FREE_AIR[] = "Fri luft: ";
constexpr char ADDED_MASS[] = "Adderad massa ";
constexpr char GRAM[] = " g: ";
constexpr char RMS[] = ", RMS-avvikelse ";
constexpr char PERCENT[] = " %\n";
constexpr char JOINT[] = "Båda kurvorna anpassade tillsammans: RMS-avvikelse ";
constexpr char UNTRUSTED[] = "OBS: anpassningen av ";
constexpr char TOO_FAR_OFF[] = " går inte att lita på: RMS-avvikelsen är över ";
constexpr char AT_THE_END[] = " går inte att lita på: resonansen ligger nära kurvans ände.\n";
constexpr char MODEL[] = "Modell: ";
constexpr char FILLED[] = "\nIfyllda fält, värde ± medelfel:\n";
constexpr char PLUS_MINUS[] = " ± ";
constexpr char ERROR_UNKNOWN[] = ", medelfelet okänt";
constexpr char RE_HELD[] = "\nRe hålls som mätt: ";
constexpr char RE_FITTED[] = "\nOBS: Re är anpassat, inte mätt. Re mätt med en ohmmeter är "
                             "säkrare: skriv in det och öppna igen.";
constexpr char VAS_WITHOUT_SD[] = "\nVas är inte ifyllt: det räknas ur anpassningen och Sd, men "
                                  "Sd saknas eller är ogiltigt.";
constexpr char VAS_TYPED[] = "\nVas behålls som inmatat: töm fältet för att få Vas ur "
                             "anpassningen.";
constexpr char NOT_CALCULATED[] = "\n\nInget är omräknat: tryck på Kalkylera.";

constexpr int RMS_DECIMALS = 2;
constexpr int ERROR_DIGITS = 2; // significant digits of a standard error

// Two full paths and every line the box can have, with room to spare.
constexpr int BOX_TEXT_SIZE = 4096;

// The text of a message box, built in place and cut short rather than overrun.
struct BoxText {
    char text[BOX_TEXT_SIZE];
    int length;
};

BoxText &operator<<(BoxText &box, const char *part) {
    while (*part != '\0' && box.length < BOX_TEXT_SIZE - 1)
        box.text[box.length++] = *part++;
    box.text[box.length] = '\0';
    return box;
}

int index(InputId id) {
    return static_cast<int>(id);
}

// The fields' values where "Kalkylera" would find nothing to report in them; NaN elsewhere.
void checked_values(DriverInputs &inputs, double (&values)[INPUT_COUNT]) {
    convert_inputs(inputs);
    for (int i = 0; i < INPUT_COUNT; ++i)
        values[i] = inputs.entry[i].value;
    const InputErrors findings[] = {check_input_texts(inputs), check_input_values(inputs)};
    for (const InputErrors &found : findings)
        for (int i = 0; i < found.count; ++i)
            values[index(found.item[i].input)] = NAN;
}

const char *file_name(const char *path) {
    const char *name = path;
    for (const char *c = path; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/' || *c == ':')
            name = c + 1;
    return name;
}

void add_number(BoxText &box, double value, int decimals) {
    char text[WT_NUMBER_TEXT_SIZE];
    box << wt_format_number(text, value, decimals);
}

// Two significant digits, however small the error.
int error_decimals(double error) {
    const double decimals = ERROR_DIGITS - 1 - std::floor(std::log10(error));
    return decimals < 0                  ? 0
           : decimals > WT_MAX_PRECISION ? WT_MAX_PRECISION
                                         : static_cast<int>(decimals);
}

void add_sweep(BoxText &box, const ImportedSweep &s) {
    if (s.mass > 0) {
        char mass[INPUT_TEXT_SIZE];
        field_text(s.mass, INPUT_DESCRIPTORS[index(InputId::AddedMass)].text_limit, mass);
        box << ADDED_MASS << mass << GRAM;
    } else {
        box << FREE_AIR;
    }
    box << file_name(s.path) << RMS;
    add_number(box, s.fit.quality.rms_percent, RMS_DECIMALS);
    box << PERCENT;
}

void add_warnings(BoxText &box, const ImportedSweep &s) {
    if (s.fit.quality.rms_percent > UNTRUSTED_RMS_PERCENT) {
        box << UNTRUSTED << file_name(s.path) << TOO_FAR_OFF;
        add_number(box, UNTRUSTED_RMS_PERCENT, 0);
        box << PERCENT;
    }
    if (fit_near_sweep_end(s))
        box << UNTRUSTED << file_name(s.path) << AT_THE_END;
}

void add_model(BoxText &box, const DriverModel &model) {
    char words[MODEL_DESCRIPTION_SIZE];
    describe_model(model, words);
    char shown[MODEL_DESCRIPTION_SIZE];
    utf8_to_cp1252(words, shown, sizeof shown);
    box << MODEL << shown << "\n";
}

void add_filled_field(BoxText &box, const SweepImport &result, int i) {
    const InputDescriptor &field = INPUT_DESCRIPTORS[i];
    const double error = result.fields.input[i].error;
    box << field.message_name << ": " << result.texts.entry[i].text;
    if (std::isnan(error)) {
        box << " " << field.unit << ERROR_UNKNOWN;
    } else {
        box << PLUS_MINUS;
        add_number(box, error, error_decimals(error));
        box << " " << field.unit;
    }
    box << "\n";
}

// The files and how well each fits, the model, every filled field with its standard error, and
// why Re, Vas or the whole fit needs a second look.
void describe_import(BoxText &box, const ImportRequest &request, const SweepImport &result) {
    for (int s = 0; s < result.count; ++s)
        add_sweep(box, result.sweeps[s]);
    if (result.count == IMPORT_MAX_SWEEPS) {
        box << JOINT;
        add_number(box, result.joint.quality.rms_percent, RMS_DECIMALS);
        box << PERCENT;
    }
    for (int s = 0; s < result.count; ++s)
        add_warnings(box, result.sweeps[s]);
    add_model(box, result.sweeps[0].fit.solution.model);

    box << FILLED;
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (result.fill[i])
            add_filled_field(box, result, i);

    const int re = index(InputId::Re);
    if (result.fill[re])
        box << RE_FITTED;
    else
        box << RE_HELD << result.texts.entry[re].text << " " << INPUT_DESCRIPTORS[re].unit;
    if (result.vas_without_sd)
        box << VAS_WITHOUT_SD;
    else if (result.count == IMPORT_MAX_SWEEPS && !request.vas_empty)
        box << VAS_TYPED;
    box << NOT_CALCULATED;
}

void report_import_error(HWND window, const MeasureError &error) {
    wt_error_box(window, FILE_ERROR_CAPTION, CANNOT_USE, error.swedish.c_str());
}

} // namespace

namespace {

// given: sweeps measured in the window, named by paths; null to read the files.
bool fill(HWND window, const char *const (&paths)[IMPORT_MAX_SWEEPS], const Sweep *const *given,
          int count, ImportRequest &request, SweepImport &result) {
    DriverInputs typed{};
    for (int i = 0; i < INPUT_COUNT; ++i)
        wt_get_text(calculator_field(i + 1), typed.entry[i].text);
    const bool vas_empty = typed[InputId::Vas].text[0] == '\0';
    double values[INPUT_COUNT];
    checked_values(typed, values);
    request = {{paths[0], paths[1]},
               count,
               values[index(InputId::Re)],
               values[index(InputId::AddedMass)],
               values[index(InputId::Sd)],
               vas_empty,
               {given ? given[0] : nullptr, given ? given[1] : nullptr}};
    if (count == IMPORT_MAX_SWEEPS && std::isnan(request.added_mass)) {
        MessageBoxA(window, NO_ADDED_MASS, INPUT_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    MeasureError error;
    const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const bool imported = import_sweeps(request, result, error);
    SetCursor(previous);
    if (!imported) {
        report_import_error(window, error);
        return false;
    }
    for (int i = 0; i < INPUT_COUNT; ++i)
        if (result.fill[i])
            wt_set_text(calculator_field(i + 1), result.texts.entry[i].text);
    // The box takes the fit's errors, with the typed values exact and Vas from the compliance
    // where the field was empty.
    const Estimate none{NAN, 0};
    const Estimate vas = vas_empty ? none : Estimate{values[index(InputId::Vas)], 0};
    remember_sweep_fit(covaried_driver(result.sweeps[0].fit,
                                       result.count == IMPORT_MAX_SWEEPS ? &result.joint : nullptr,
                                       {request.re, 0}, {request.sd, 0}, vas));
    return true;
}

void show_import(HWND window, const ImportRequest &request, const SweepImport &result) {
    BoxText box{};
    describe_import(box, request, result);
    MessageBoxA(window, box.text, RESULT_CAPTION, MB_OK | MB_ICONINFORMATION);
}

} // namespace

bool fill_from_sweeps(HWND window, const char *const (&paths)[IMPORT_MAX_SWEEPS], int count,
                      ImportRequest &request, SweepImport &result) {
    return fill(window, paths, nullptr, count, request, result);
}

void open_sweeps(HWND window, const char *const (&paths)[IMPORT_MAX_SWEEPS], int count) {
    ImportRequest request;
    SweepImport result;
    if (fill(window, paths, nullptr, count, request, result))
        show_import(window, request, result);
}

bool use_measured_sweeps(HWND window, const char *const (&names)[IMPORT_MAX_SWEEPS],
                         const Sweep *const (&sweeps)[IMPORT_MAX_SWEEPS], int count,
                         SweepImport &result) {
    ImportRequest request;
    if (!fill(window, names, sweeps, count, request, result))
        return false;
    show_import(window, request, result);
    return true;
}
