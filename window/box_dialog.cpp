#include "window/box_dialog.h"

#include "base/charset.h"
#include "enclosure/box_driver.h"
#include "enclosure/box_form.h"
#include "toolkit/controls.h"
#include "toolkit/dialog_window.h"
#include "toolkit/message.h"
#include "toolkit/plot.h"
#include "window/calculator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

const char BOX_DIALOG_TITLE[] = "Lådberäkning";

namespace {

constexpr int DIALOG_WIDTH = 760, DIALOG_HEIGHT = 560;

// The form on the left: a caption, the control, a unit, one row each.
constexpr int FORM_CAPTION_X = 20, FORM_CONTROL_X = 110, FORM_UNIT_X = 190;
constexpr int FORM_TOP = 28, FORM_STEP = 27, ROW_HEIGHT = 20, CAPTION_DROP = 3;
constexpr int CAPTION_WIDTH = 88, FIELD_WIDTH = 70, CHOICE_WIDTH = 115, UNIT_WIDTH = 40;
constexpr WtDialogFrame FORM_FRAME = {{10, 6, 240, 340}, "Låda"};
constexpr const char *CHOICE_CAPTIONS[] = {"Lådtyp", "Inställning"};
constexpr int CHOICE_ROWS = 2;
// A caption for each choice and field, and a unit for each field.
constexpr int LABEL_COUNT = CHOICE_ROWS + 2 * BOX_FORM_FIELD_COUNT;
constexpr int BUTTON_Y = 348, BUTTON_WIDTH = 80, BUTTON_HEIGHT = 25;

struct ButtonSpec {
    const char *caption;
    int x;
    const char *look;
    int id;
};
constexpr ButtonSpec BUTTONS[] = {
    {"Beräkna", 20, "SHADOW", ID_BOX_DESIGN},
    {"Stäng", 120, "NORMAL", ID_BOX_CLOSE},
};

// The design on the right.
struct TextSpec {
    int id, x, y, width, height;
};
constexpr TextSpec TEXTS[] = {
    {ID_BOX_SOURCE, 255, 10, 495, 16},
    {ID_BOX_NAME, 255, 30, 495, 16},
    {ID_BOX_REASON, 255, 48, 495, 30},
    {ID_BOX_NOTES, 255, 266, 495, 104},
};
// The figures as five columns, a line for each figure.
constexpr int FIGURE_TOP = 84, FIGURE_HEIGHT = 176;
struct ColumnSpec {
    int x, width;
    const char *alignment;
};
constexpr ColumnSpec FIGURE_COLUMNS[BOX_FIGURE_COLUMNS] = {
    {255, 100, "L"}, {355, 70, "R"}, {430, 70, "R"}, {505, 45, "L"}, {555, 195, "L"},
};

// Three plots side by side under the figures, over the frequencies of the design's curves.
enum PlotId { PLOT_RESPONSE, PLOT_EXCURSION, PLOT_PORT, PLOT_COUNT };
constexpr int PLOT_TOP = 378, PLOT_WIDTH = 240, PLOT_HEIGHT = 172;
constexpr int PLOT_X[PLOT_COUNT] = {10, 260, 510};
struct PlotAxis {
    const char *caption, *unit;
    double low, high; // low >= high: from the curves
};
constexpr PlotAxis PLOT_AXES[PLOT_COUNT] = {
    {"Niv\xE5", "dB", -30, 6},
    {"Utslag", "mm", 0, 0},
    {"Porthastighet", "m/s", 0, 0},
};
constexpr COLORREF RESPONSE_COLOUR = RGB(31, 78, 158), BAND_68_COLOUR = RGB(127, 167, 224),
                   BAND_95_COLOUR = RGB(201, 218, 243), EXCURSION_COLOUR = RGB(192, 57, 43),
                   PORT_COLOUR = RGB(46, 139, 87), LIMIT_COLOUR = RGB(68, 68, 68);
constexpr int LINE_POINTS = 2; // a limit drawn across the plot

const char ERRORS_FROM_FIT[] = "Standardfel från senaste anpassningen till impedanskurvor";
const char ERRORS_STALE[] =
    "Inga standardfel: fälten har ändrats sedan anpassningen till impedanskurvor";
const char ERRORS_NONE[] =
    "Inga standardfel: värdena är inskrivna, inte anpassade till impedanskurvor";
const char NO_BOX[] = "Ingen låda beräknad";
constexpr int NOTE_SIZE = 512, MESSAGE_SIZE = 512;

// The last fit and the texts of the ten inputs just after it filled them.
struct LastFit {
    bool known;
    CovariedDriver fit;
    char texts[INPUT_COUNT][INPUT_TEXT_SIZE];
};

// The one dialog: its controls, the form as last read, and the design it shows.
struct BoxDialog {
    HWND window;
    HWND type, choice, field[BOX_FORM_FIELD_COUNT];
    BoxForm form;
    WtDialogLabel labels[LABEL_COUNT];
    BoxDesign design;
    HWND plot[PLOT_COUNT];
    // What the plots draw besides the design's own curves; they read it at every paint.
    double band_68[2][BOX_CURVE_POINTS], band_95[2][BOX_CURVE_POINTS];
    double excursion_mm[BOX_CURVE_POINTS];
    double line_f[LINE_POINTS], xmax_line[LINE_POINTS], port_limit_line[LINE_POINTS];
};
// Made when the dialog first opens, and kept: as a static the record would be initialised data,
// the design holding a request's defaults, and stand whole in the program file.
BoxDialog *box = nullptr;
LastFit last_fit;

HWND control(int id) {
    return GetDlgItem(box->window, id);
}

int form_y(int row) {
    return FORM_TOP + row * FORM_STEP;
}

void fill_choices() {
    const BoxChoice *choices;
    const int count = box_choices(box->form.type, choices);
    SendMessageA(box->choice, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i)
        SendMessageA(box->choice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choices[i].name));
    SendMessageA(box->choice, CB_SETCURSEL, box->form.choice, 0);
}

// Only the fields that count for the type and alignment take input.
void enable_fields() {
    for (int i = 0; i < BOX_FORM_FIELD_COUNT; ++i)
        EnableWindow(box->field[i], box_form_uses(box->form, static_cast<BoxFormField>(i)));
}

void read_form() {
    box->form.type = wt_choice(box->type) == BOX_VENTED ? BOX_VENTED : BOX_SEALED;
    const int choice = wt_choice(box->choice);
    box->form.choice = choice < 0 ? 0 : choice;
    for (int i = 0; i < BOX_FORM_FIELD_COUNT; ++i)
        wt_get_text(box->field[i], box->form.text[i]);
}

// The captions and units are painted, the controls made.
void create_form(HWND dialog) {
    WtDialogLabel *label = box->labels;
    for (int row = 0; row < CHOICE_ROWS; ++row)
        *label++ = {FORM_CAPTION_X, form_y(row) + CAPTION_DROP, CHOICE_CAPTIONS[row]};
    box->type = wt_create_choice(dialog, FORM_CONTROL_X, form_y(0), CHOICE_WIDTH, ROW_HEIGHT,
                                 BOX_TYPE_NAMES, 2, ID_BOX_TYPE);
    SendMessageA(box->type, CB_SETCURSEL, box->form.type, 0);
    box->choice = wt_create_choice(dialog, FORM_CONTROL_X, form_y(1), CHOICE_WIDTH, ROW_HEIGHT,
                                   nullptr, 0, ID_BOX_CHOICE);
    fill_choices();
    for (int i = 0; i < BOX_FORM_FIELD_COUNT; ++i) {
        const BoxFormFieldRow &row = BOX_FORM_FIELDS[i];
        const int y = form_y(i + CHOICE_ROWS);
        *label++ = {FORM_CAPTION_X, y + CAPTION_DROP, row.caption};
        *label++ = {FORM_UNIT_X, y + CAPTION_DROP, row.unit};
        box->field[i] = wt_create_field(dialog, FORM_CONTROL_X, y, FIELD_WIDTH, ROW_HEIGHT,
                                        BOX_FORM_TEXT_LIMIT, ID_BOX_FIELD + i);
        wt_set_text(box->field[i], box->form.text[i]);
    }
    enable_fields();
    for (const ButtonSpec &b : BUTTONS)
        wt_create_button(dialog, b.x, BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT, b.caption, "C", b.look,
                         b.id);
}

void create_design_view(HWND dialog) {
    for (const TextSpec &t : TEXTS)
        wt_create_static(dialog, t.x, t.y, t.width, t.height, "", "L", t.id);
    for (int c = 0; c < BOX_FIGURE_COLUMNS; ++c)
        wt_create_static(dialog, FIGURE_COLUMNS[c].x, FIGURE_TOP, FIGURE_COLUMNS[c].width,
                         FIGURE_HEIGHT, "", FIGURE_COLUMNS[c].alignment, ID_BOX_FIGURE + c);
}

// Where the errors come from: the last fit, while the ten fields hold what it filled.
const char *driver_of_fields(BoxDriver &driver, bool (&known)[DRIVER_PARAMETER_COUNT]) {
    DriverInputs inputs{};
    bool as_fitted = last_fit.known;
    for (int i = 0; i < INPUT_COUNT; ++i) {
        wt_get_text(calculator_field(i + 1), inputs.entry[i].text);
        as_fitted = as_fitted && std::strcmp(inputs.entry[i].text, last_fit.texts[i]) == 0;
    }
    convert_inputs(inputs);
    driver = BoxDriver{};
    if (as_fitted)
        box_driver_from_fit(last_fit.fit, driver);
    box_parameters_of(inputs, driver.value);
    mark_unknown_parameters(driver, known);
    return as_fitted ? ERRORS_FROM_FIT : last_fit.known ? ERRORS_STALE : ERRORS_NONE;
}

// Each column a line for every figure, empty where the figure does not apply.
void show_figures() {
    char column[BOX_FIGURE_COLUMNS][BOX_FIGURE_COUNT * BOX_FIGURE_TEXT_SIZE] = {};
    for (int row = 0; row < BOX_FIGURE_COUNT; ++row) {
        const BoxFigureRow &r = BOX_FIGURE_ROWS[row];
        const BoxFigureTexts t = box_figure_texts(box->design, r);
        const bool shown = t.value[0] != '\0';
        const char *const texts[BOX_FIGURE_COLUMNS] = {shown ? r.caption : "", t.value, t.error,
                                                       shown ? r.unit : "", t.dominant};
        for (int c = 0; c < BOX_FIGURE_COLUMNS; ++c) {
            const std::size_t used = std::strlen(column[c]);
            std::snprintf(column[c] + used, sizeof column[c] - used, "%s%s", row ? "\n" : "",
                          texts[c]);
        }
    }
    for (int c = 0; c < BOX_FIGURE_COLUMNS; ++c)
        wt_set_text(control(ID_BOX_FIGURE + c), column[c]);
}

void clear_figures() {
    for (int c = 0; c < BOX_FIGURE_COLUMNS; ++c)
        wt_set_text(control(ID_BOX_FIGURE + c), "");
}

// The parameters that count as exact or are unknown, as "Vas, Sd".
void list_parameters(char *out, std::size_t size, const BoxDriver &driver,
                     const bool (&known)[DRIVER_PARAMETER_COUNT], bool exact) {
    out[0] = '\0';
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        if (exact ? known[i] && driver.covariance[i][i] == 0 : !known[i]) {
            const std::size_t used = std::strlen(out);
            std::snprintf(out + used, size - used, "%s%s", used ? ", " : "",
                          DRIVER_PARAMETER_NAMES[i]);
        }
}

void show_notes(const BoxDriver &driver, const bool (&known)[DRIVER_PARAMETER_COUNT]) {
    const BoxDesign &d = box->design;
    char notes[NOTE_SIZE] = "", list[100];
    auto add = [&notes](const char *line) {
        const std::size_t used = std::strlen(notes);
        std::snprintf(notes + used, sizeof notes - used, "%s%s", used ? "\n" : "", line);
    };
    char line[200], warning[BOX_WARNING_SIZE];
    box_port_speed_warning(d, false, warning);
    if (warning[0]) {
        utf8_to_cp1252(warning, line, sizeof line);
        add(line);
    }
    if (d.port_too_narrow) {
        utf8_to_cp1252(BOX_PORT_TOO_NARROW, line, sizeof line);
        add(line);
    }
    if (d.has_errors) {
        list_parameters(list, sizeof list, driver, known, true);
        std::snprintf(line, sizeof line, "Exakta (utan standardfel): %s", list[0] ? list : "inga");
        add(line);
    }
    list_parameters(list, sizeof list, driver, known, false);
    if (list[0]) {
        std::snprintf(line, sizeof line, "Okända: %s (figurerna som kräver dem saknas)", list);
        add(line);
    }
    wt_set_text(control(ID_BOX_NOTES), notes);
}

void create_plots(HWND dialog) {
    for (int i = 0; i < PLOT_COUNT; ++i) {
        box->plot[i] =
            wt_create_plot(dialog, PLOT_X[i], PLOT_TOP, PLOT_WIDTH, PLOT_HEIGHT, ID_BOX_PLOT + i);
        wt_plot_frequencies(box->plot[i], BOX_CURVE_LOW, BOX_CURVE_HIGH);
        const PlotAxis &a = PLOT_AXES[i];
        wt_plot_axis(box->plot[i], WT_PLOT_LEFT, a.caption, a.unit, a.low, a.high);
    }
}

void clear_plots() {
    for (HWND plot : box->plot)
        wt_plot_clear(plot);
}

// A level across the whole plot, where it is known.
void plot_limit(HWND plot, const char *name, double (&line)[LINE_POINTS], double level) {
    if (!(level > 0))
        return;
    line[0] = line[1] = level;
    wt_plot_curve(plot, WT_PLOT_LEFT, name, LIMIT_COLOUR, box->line_f, line, LINE_POINTS);
}

// The response with its 95 % and 68 % bands, the excursion against Xmax, the port's air speed
// against its limit.
void plot_design() {
    const BoxDesign &d = box->design;
    const BoxCurves &c = d.curves;
    clear_plots();
    if (d.has_errors) {
        for (int i = 0; i < BOX_CURVE_POINTS; ++i) {
            const double spread[2] = {BAND_68 * c.response_error[i], BAND_95 * c.response_error[i]};
            box->band_68[0][i] = c.response_db[i] - spread[0];
            box->band_68[1][i] = c.response_db[i] + spread[0];
            box->band_95[0][i] = c.response_db[i] - spread[1];
            box->band_95[1][i] = c.response_db[i] + spread[1];
        }
        wt_plot_band(box->plot[PLOT_RESPONSE], WT_PLOT_LEFT, BAND_95_COLOUR, c.frequency,
                     box->band_95[0], box->band_95[1], BOX_CURVE_POINTS);
        wt_plot_band(box->plot[PLOT_RESPONSE], WT_PLOT_LEFT, BAND_68_COLOUR, c.frequency,
                     box->band_68[0], box->band_68[1], BOX_CURVE_POINTS);
    }
    wt_plot_curve(box->plot[PLOT_RESPONSE], WT_PLOT_LEFT, "Niv\xE5", RESPONSE_COLOUR, c.frequency,
                  c.response_db, BOX_CURVE_POINTS);
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        box->excursion_mm[i] = c.excursion[i] * 1e3;
    box->line_f[0] = BOX_CURVE_LOW;
    box->line_f[1] = BOX_CURVE_HIGH;
    wt_plot_curve(box->plot[PLOT_EXCURSION], WT_PLOT_LEFT, "Utslag", EXCURSION_COLOUR, c.frequency,
                  box->excursion_mm, BOX_CURVE_POINTS);
    plot_limit(box->plot[PLOT_EXCURSION], "Xmax", box->xmax_line, d.request.xmax * 1e3);
    wt_plot_curve(box->plot[PLOT_PORT], WT_PLOT_LEFT, "Port", PORT_COLOUR, c.frequency,
                  c.port_speed, BOX_CURVE_POINTS);
    if (d.type == BOX_VENTED && d.request.port_diameter > 0)
        plot_limit(box->plot[PLOT_PORT], "Gr\xE4ns", box->port_limit_line, d.port_speed_limit);
}

void show_design(const BoxDriver &driver, const bool (&known)[DRIVER_PARAMETER_COUNT]) {
    const BoxDesign &d = box->design;
    char name[100], reason[MESSAGE_SIZE];
    std::snprintf(name, sizeof name, "Låda: %s, %s", d.type == BOX_SEALED ? "sluten" : "basreflex",
                  d.name);
    wt_set_text(control(ID_BOX_NAME), name);
    utf8_to_cp1252(d.reason_swedish.c_str(), reason, sizeof reason);
    wt_set_text(control(ID_BOX_REASON), reason);
    show_figures();
    show_notes(driver, known);
    plot_design();
}

void show_no_design() {
    wt_set_text(control(ID_BOX_NAME), NO_BOX);
    wt_set_text(control(ID_BOX_REASON), "");
    wt_set_text(control(ID_BOX_NOTES), "");
    clear_figures();
    clear_plots();
}

// Designs the box for the fields and the form. Quietly, as when the dialog opens, a box that
// cannot be designed only leaves the figures empty; otherwise an "INMATNINGSFEL" box says why.
void design(bool quietly) {
    read_form();
    BoxRequest request;
    char message[MESSAGE_SIZE];
    char form_message[BOX_FORM_MESSAGE_SIZE];
    BoxDriver driver;
    bool known[DRIVER_PARAMETER_COUNT];
    wt_set_text(control(ID_BOX_SOURCE), driver_of_fields(driver, known));
    MeasureError error;
    if (!box_form_request(box->form, request, form_message)) {
        std::snprintf(message, sizeof message, "%s", form_message);
    } else if (!design_box(driver, request, box->design, error)) {
        utf8_to_cp1252(error.swedish.c_str(), message, sizeof message);
    } else {
        show_design(driver, known);
        return;
    }
    show_no_design();
    if (!quietly)
        wt_message_box(box->window, INPUT_ERROR_CAPTION, message, "N");
}

void on_create(HWND dialog) {
    box->window = dialog;
    create_form(dialog);
    create_design_view(dialog);
    create_plots(dialog);
    design(true);
}

void on_paint(HWND dialog) {
    wt_paint_dialog(dialog, &FORM_FRAME, 1, box->labels, LABEL_COUNT);
}

void on_command(WPARAM wparam) {
    const int id = LOWORD(wparam), code = HIWORD(wparam);
    if (wparam == ID_BOX_DESIGN) {
        design(false);
    } else if (wparam == ID_BOX_CLOSE) {
        DestroyWindow(box->window);
    } else if ((id == ID_BOX_TYPE || id == ID_BOX_CHOICE) && code == CBN_SELCHANGE) {
        const BoxType before = box->form.type;
        read_form();
        if (box->form.type != before) {
            box->form.choice = 0;
            fill_choices();
        }
        enable_fields();
    }
}

void on_destroy() {
    read_form();
    box->window = nullptr;
}

} // namespace

void show_box_dialog(HWND calculator) {
    if (!box) {
        void *memory = std::malloc(sizeof(BoxDialog));
        if (!memory)
            return;
        box = new (memory) BoxDialog{};
        box->form = initial_box_form();
    }
    if (box->window) {
        ShowWindow(box->window, SW_RESTORE);
        SetForegroundWindow(box->window);
        return;
    }
    HWND dialog = wt_create_dialog(calculator, BOX_DIALOG_TITLE, DIALOG_WIDTH, DIALOG_HEIGHT,
                                   box_dialog_proc);
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        SetFocus(box->type);
    }
}

HWND box_dialog() {
    return box ? box->window : nullptr;
}

void remember_sweep_fit(const CovariedDriver &fit) {
    last_fit.known = true;
    last_fit.fit = fit;
    for (int i = 0; i < INPUT_COUNT; ++i)
        wt_get_text(calculator_field(i + 1), last_fit.texts[i]);
}

LRESULT CALLBACK box_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(dialog); return 0;
    case WM_PAINT: on_paint(dialog); return 0;
    case WM_COMMAND: on_command(wparam); return 0;
    case WM_DESTROY: on_destroy(); return 0;
    default: return DefWindowProcA(dialog, message, wparam, lparam);
    }
}
