#include "enclosure/box_form.h"

#include "base/number_text.h"
#include "engine/driver.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double LITRE = 1e-3, CM = 1e-2, MM = 1e-3;

const char COMMA[] = "Anv\xE4nd punkt som komma!";
const char NOT_A_NUMBER[] = "Anv\xE4nd endast siffror!";
const char NO_INPUT[] = "Ingen inmatning!";
const char NOT_WHOLE[] = "Ange ett helt antal!";
// Characters of a number as the calculator reads them: digits, the point, a sign, an exponent.
const char NUMBER_CHARACTERS[] = "0123456789.+-eE";

bool fail(char (&message)[BOX_FORM_MESSAGE_SIZE], BoxFormField field, const char *why) {
    std::snprintf(message, sizeof message, "%s: %s", BOX_FORM_FIELDS[field].caption, why);
    return false;
}

// The field's value: NaN when it is empty, false with the message when it is not a number.
bool field_value(const BoxForm &form, BoxFormField field, double &value,
                 char (&message)[BOX_FORM_MESSAGE_SIZE]) {
    const char *text = form.text[field];
    value = NAN;
    if (text[0] == '\0')
        return BOX_FORM_FIELDS[field].optional || fail(message, field, NO_INPUT);
    for (const char *c = text; *c; ++c) {
        if (*c == ',')
            return fail(message, field, COMMA);
        if (!std::strchr(NUMBER_CHARACTERS, *c))
            return fail(message, field, NOT_A_NUMBER);
    }
    value = text_to_value(text);
    return true;
}

} // namespace

const BoxFormFieldRow BOX_FORM_FIELDS[BOX_FORM_FIELD_COUNT] = {
    {"Qtc", "Faktor", "0.707", false}, {"Vb", "Liter", "", false},
    {"Fb", "Hz", "", false},           {"QL", "Faktor", "7", false},
    {"Portdiameter", "cm", "", true},  {"Antal portar", "", "1", false},
    {"Xmax", "mm", "", true},          {"Pe", "Watt", "", true},
    {"Effekt", "Watt", "1", false},
};

const char *const BOX_TYPE_NAMES[2] = {"Sluten", "Basreflex"};

const BoxChoice SEALED_CHOICES[SEALED_CHOICE_COUNT] = {
    {"Qtc", ALIGN_QTC},
    {"Byggd l\xE5"
     "da",
     ALIGN_BUILT},
};
const BoxChoice VENTED_CHOICES[VENTED_CHOICE_COUNT] = {
    {"Flackast", ALIGN_FLATTEST},
    {"B4", ALIGN_B4},
    {"QB3", ALIGN_QB3},
    {"SC4", ALIGN_SC4},
    {"C4", ALIGN_C4},
    {"BB4", ALIGN_BB4},
    {"Byggd l\xE5"
     "da",
     ALIGN_BUILT},
};

int box_choices(BoxType type, const BoxChoice *&choices) {
    choices = type == BOX_SEALED ? SEALED_CHOICES : VENTED_CHOICES;
    return type == BOX_SEALED ? SEALED_CHOICE_COUNT : VENTED_CHOICE_COUNT;
}

BoxForm initial_box_form() {
    BoxForm form{};
    form.type = BOX_SEALED;
    for (int i = 0; i < BOX_FORM_FIELD_COUNT; ++i)
        std::snprintf(form.text[i], BOX_FORM_TEXT_SIZE, "%s", BOX_FORM_FIELDS[i].initial);
    return form;
}

bool box_form_uses(const BoxForm &form, BoxFormField field) {
    const BoxChoice *choices;
    const int count = box_choices(form.type, choices);
    const BoxAlignment alignment =
        choices[form.choice >= 0 && form.choice < count ? form.choice : 0].alignment;
    const bool vented = form.type == BOX_VENTED;
    switch (field) {
    case FORM_QTC: return alignment == ALIGN_QTC;
    case FORM_VB: return alignment == ALIGN_BUILT;
    case FORM_FB: return vented && alignment == ALIGN_BUILT;
    case FORM_QL:
    case FORM_PORT:
    case FORM_PORTS: return vented;
    default: return true;
    }
}

bool box_form_request(const BoxForm &form, BoxRequest &request,
                      char (&message)[BOX_FORM_MESSAGE_SIZE]) {
    double v[BOX_FORM_FIELD_COUNT];
    for (int i = 0; i < BOX_FORM_FIELD_COUNT; ++i) {
        const BoxFormField field = static_cast<BoxFormField>(i);
        v[i] = NAN;
        if (box_form_uses(form, field) && !field_value(form, field, v[i], message))
            return false;
    }
    if (!std::isnan(v[FORM_PORTS]) && v[FORM_PORTS] != std::floor(v[FORM_PORTS]))
        return fail(message, FORM_PORTS, NOT_WHOLE);

    const BoxChoice *choices;
    const int count = box_choices(form.type, choices);
    request = BoxRequest{};
    request.type = form.type;
    request.alignment =
        choices[form.choice >= 0 && form.choice < count ? form.choice : 0].alignment;
    // What is not used or left empty keeps the request's default.
    const struct {
        BoxFormField field;
        double *target;
        double scale;
    } SETTINGS[] = {
        {FORM_QTC, &request.qtc, 1},
        {FORM_VB, &request.vb, LITRE},
        {FORM_FB, &request.fb, 1},
        {FORM_QL, &request.ql, 1},
        {FORM_PORT, &request.port_diameter, CM},
        {FORM_XMAX, &request.xmax, MM},
        {FORM_PE, &request.pe, 1},
        {FORM_POWER, &request.power, 1},
    };
    for (const auto &s : SETTINGS)
        if (!std::isnan(v[s.field]))
            *s.target = v[s.field] * s.scale;
    if (!std::isnan(v[FORM_PORTS]))
        request.ports = v[FORM_PORTS] > 1e6 ? 1000000 : static_cast<int>(v[FORM_PORTS]);
    return true;
}

const BoxFigureRow BOX_FIGURE_ROWS[BOX_FIGURE_COUNT] = {
    {FIG_VB, "Vb", "Liter", 1 / LITRE, 2},
    {FIG_FB, "Fb", "Hz", 1, 2},
    {FIG_FC, "fc", "Hz", 1, 2},
    {FIG_QTC, "Qtc", "Faktor", 1, 3},
    {FIG_F3, "F3", "Hz", 1, 2},
    {FIG_PEAK, "Topp", "dB", 1, 2},
    {FIG_PORT_LENGTH, "Portl\xE4ngd", "cm", 1 / CM, 2},
    {FIG_PORT_SPEED, "Porthastighet", "m/s", 1, 2},
    {FIG_EXCURSION, "Utslag", "mm", 1 / MM, 2},
    {FIG_SPL_1W, "SPL 1 W/1 m", "dB", 1, 2},
    {FIG_SPL_2V83, "SPL 2.83 V/1 m", "dB", 1, 2},
    {FIG_MAX_SPL, "Max SPL", "dB", 1, 2},
};

BoxFigureTexts box_figure_texts(const BoxDesign &design, const BoxFigureRow &row) {
    BoxFigureTexts t{};
    const BoxFigure &f = design.figure[row.id];
    if (std::isnan(f.value))
        return t;
    char number[WT_NUMBER_TEXT_SIZE];
    std::snprintf(t.value, sizeof t.value, "%s",
                  wt_format_number(number, f.value * row.scale, row.decimals));
    if (!design.has_errors)
        return t;
    std::snprintf(t.error, sizeof t.error, "\xB1 %s",
                  wt_format_number(number, f.error * row.scale, row.decimals));
    if (f.dominant >= 0)
        std::snprintf(t.dominant, sizeof t.dominant, "(mest fr\xE5n %s)",
                      DRIVER_PARAMETER_NAMES[f.dominant]);
    return t;
}
