#include "window/calculator.h"

#include "base/number_text.h"
#include "engine/driver_file.h"
#include "engine/input_check.h"
#include "toolkit/controls.h"
#include "toolkit/message.h"
#include "toolkit/paint.h"
#include "toolkit/top_window.h"
#include "window/about.h"
#include "window/box_dialog.h"
#include "window/file_commands.h"
#include "window/measure_dialog.h"

#include <cstring>

const char CALCULATOR_TITLE[] = "Elemtrix       Beräknar TS-parametrar ur uppmätt element";
const char INPUT_ERROR_CAPTION[] = "INMATNINGSFEL";

namespace {

constexpr int WINDOW_X = 150, WINDOW_Y = 10, WINDOW_WIDTH = 525, WINDOW_HEIGHT = 513;
constexpr char FONT_FACE[] = "Arial";
constexpr COLORREF BLACK = 0, RED = 255, TRANSPARENT_BACKGROUND = 0;

struct FontSpec {
    int height, width, weight;
};
constexpr FontSpec CAPTION_FONT = {20, 8, 300};
constexpr FontSpec LABEL_FONT = {16, 6, 300};
constexpr int FIELD_FONT_POINTS = 8, FIELD_FONT_WEIGHT = 400;

constexpr int FIELD_X = 120, FIELD_HEIGHT = 20;
constexpr int NAME_X = 160, NAME_Y = 10, NAME_WIDTH = 200;

// Field top and width of each input in canonical order; its caption stands 5 pixels lower.
struct InputRow {
    int y, width;
};
constexpr InputRow INPUT_ROWS[INPUT_COUNT] = {
    {100, 45}, {130, 45}, {160, 45}, {190, 45}, {220, 45},
    {250, 45}, {280, 45}, {310, 45}, {370, 40}, {400, 40},
};
constexpr int CAPTION_DROP = 5;
constexpr int INPUT_CAPTION_X = 20, INPUT_UNIT_X = 170;

struct Label {
    int x, y;
    const char *text;
};
constexpr Label INPUT_HEADING = {37, 43, "Uppmätta parametrar"};
constexpr Label RESULT_HEADING = {320, 43, "Kalkylerade parametrar"};
constexpr Label WITHOUT_MASS = {20, 75, "Utan adderad massa"};
constexpr Label WITH_MASS = {20, 345, "Med adderad massa"};
constexpr int FIRST_WITH_MASS = static_cast<int>(InputId::FsAdded);
constexpr Label ARROWS[] = {{223, 204, ">"}, {289, 204, ">"}};

struct Frame {
    int x, y, width, height;
};
constexpr Frame INPUT_FRAME = {10, 40, 210, 440};
constexpr Frame RESULT_FRAME = {300, 40, 210, 440};
constexpr char FRAME_STYLE[] = "LOWER";
constexpr int FRAME_INSET = 1;

constexpr int ROW_TOP = 70, ROW_STEP = 20;
constexpr int ROW_CAPTION_X = 310, VALUE_X = 410, ROW_UNIT_X = 465;

struct ButtonSpec {
    const char *caption;
    int x, y;
    WPARAM id;
};
constexpr ButtonSpec BUTTONS[] = {
    {"Kalkylera", 234, 200, ID_CALCULATE},
    {"Öppna", 10, 10, ID_OPEN},
    {"Spara", 459, 10, ID_SAVE},
};
constexpr int BUTTON_WIDTH = 50, BUTTON_HEIGHT = 25;

// Commands the window menu gains below a separator after the system's own; each opens its own
// window. Their identifiers stay below the system's (0xF000) with the low four bits clear, which
// the system keeps for itself.
struct MenuCommand {
    WPARAM id;
    const char *text;
    void (*open)(HWND window);
};
constexpr MenuCommand WINDOW_MENU_COMMANDS[] = {
    {ID_MEASURE_IMPEDANCE, "Mät impedans…", show_measure_dialog},
    {ID_BOX_DIALOG, "Lådberäkning…", show_box_dialog},
    {ID_ABOUT, "Om Elemtrix…", show_about},
};
constexpr WPARAM SYSTEM_COMMAND_BITS = 0xFFF0;

// Covers the value column down to its last row.
constexpr RECT VALUE_COLUMN = {380, 40, 470, 480};

// One window per process: its controls, fonts and the records it shows.
struct Calculator {
    HWND fields[DRIVER_FILE_LINES];
    HFONT caption_font, label_font, field_font;
    DriverInputs inputs;
    DriverResults results;
};
Calculator calc;

HWND input_field(int i) {
    return calc.fields[i + 1];
}

int row_y(int row) {
    return ROW_TOP + row * ROW_STEP;
}

void add_window_menu_commands(HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (const MenuCommand &command : WINDOW_MENU_COMMANDS)
        AppendMenuA(menu, MF_STRING, command.id, command.text);
}

void on_create(HWND window) {
    calc = Calculator{};
    wt_set_icon(window, "elemtrix");
    wt_center_window(window);
    calc.caption_font = wt_create_font(CAPTION_FONT.height, CAPTION_FONT.width, 0,
                                       CAPTION_FONT.weight, 0, 0, FONT_FACE);
    calc.label_font =
        wt_create_font(LABEL_FONT.height, LABEL_FONT.width, 0, LABEL_FONT.weight, 0, 0, FONT_FACE);
    calc.fields[0] =
        wt_create_edit(window, NAME_X, NAME_Y, NAME_WIDTH, FIELD_HEIGHT, "L", DRIVER_NAME_LIMIT);
    for (int i = 0; i < INPUT_COUNT; ++i)
        calc.fields[i + 1] = wt_create_edit(window, FIELD_X, INPUT_ROWS[i].y, INPUT_ROWS[i].width,
                                            FIELD_HEIGHT, "L", INPUT_DESCRIPTORS[i].text_limit);
    calc.field_font =
        wt_create_point_font(window, FIELD_FONT_POINTS, FIELD_FONT_WEIGHT, 0, FONT_FACE);
    for (int i = 0; i < INPUT_COUNT; ++i)
        wt_set_font(input_field(i), calc.field_font);
    for (const ButtonSpec &b : BUTTONS)
        wt_create_button(window, b.x, b.y, BUTTON_WIDTH, BUTTON_HEIGHT, b.caption, "C", "SHADOW",
                         static_cast<int>(b.id));
    add_window_menu_commands(window);
    // Files dragged onto the window open as "Öppna" opens them. The style alone does it: the
    // shell's DragAcceptFiles would load the shell at every start.
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
}

void paint_label(HWND window, const Label &label, HFONT font) {
    wt_paint_text(window, label.x, label.y, label.text, BLACK, font, TRANSPARENT_BACKGROUND);
}

void paint_frame(HWND window, const Frame &f) {
    wt_paint_frame(window, f.x, f.y, f.width, f.height, FRAME_STYLE, FRAME_INSET);
}

void paint_input_panel(HWND window) {
    paint_frame(window, INPUT_FRAME);
    paint_label(window, INPUT_HEADING, calc.caption_font);
    for (int i = 0; i < INPUT_COUNT; ++i) {
        if (i == 0)
            paint_label(window, WITHOUT_MASS, calc.label_font);
        if (i == FIRST_WITH_MASS)
            paint_label(window, WITH_MASS, calc.label_font);
        paint_label(window,
                    {INPUT_CAPTION_X, INPUT_ROWS[i].y + CAPTION_DROP, INPUT_DESCRIPTORS[i].caption},
                    calc.label_font);
    }
    for (int i = 0; i < INPUT_COUNT; ++i)
        paint_label(window,
                    {INPUT_UNIT_X, INPUT_ROWS[i].y + CAPTION_DROP, INPUT_DESCRIPTORS[i].unit},
                    calc.label_font);
}

void paint_value(HWND window, int y, const ValueRow &row) {
    char text[WT_NUMBER_TEXT_SIZE];
    char full[WT_NUMBER_TEXT_SIZE];
    value_column_text(text, row.value, row.decimals);
    if (std::strcmp(text, wt_format_number(full, row.value, row.decimals)) == 0)
        wt_paint_number(window, VALUE_X, y, row.value, row.decimals, RED, calc.label_font,
                        TRANSPARENT_BACKGROUND);
    else
        wt_paint_text(window, VALUE_X, y, text, RED, calc.label_font, TRANSPARENT_BACKGROUND);
}

void paint_result_panel(HWND window) {
    paint_frame(window, RESULT_FRAME);
    paint_label(window, RESULT_HEADING, calc.caption_font);
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        paint_label(window,
                    {ROW_CAPTION_X, row_y(row), value_row(row, calc.inputs, calc.results).caption},
                    calc.label_font);
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        paint_label(window,
                    {ROW_UNIT_X, row_y(row), value_row(row, calc.inputs, calc.results).unit},
                    calc.label_font);
    for (const Label &arrow : ARROWS)
        paint_label(window, arrow, calc.label_font);
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        paint_value(window, row_y(row), value_row(row, calc.inputs, calc.results));
}

LRESULT on_paint(HWND window, WPARAM wparam, LPARAM lparam) {
    paint_input_panel(window);
    paint_result_panel(window);
    return DefWindowProcA(window, WM_PAINT, wparam, lparam);
}

void show_findings(HWND window, const InputErrors &findings) {
    for (int i = 0; i < findings.count; ++i) {
        char text[128];
        std::strcpy(text, input_error_message(findings.item[i]));
        wt_message_box(window, INPUT_ERROR_CAPTION, text, "N");
    }
}

void on_calculate(HWND window) {
    for (int i = 0; i < INPUT_COUNT; ++i)
        wt_get_text(input_field(i), calc.inputs.entry[i].text);
    show_findings(window, check_input_texts(calc.inputs));
    convert_inputs(calc.inputs);
    show_findings(window, check_input_values(calc.inputs));
    calc.results = compute_results(calc.inputs);
    wt_redraw(window, VALUE_COLUMN, "ERASED");
}

void on_command(HWND window, WPARAM command) {
    switch (command) {
    case ID_CALCULATE: on_calculate(window); break;
    case ID_OPEN: open_driver_file(window); break;
    case ID_SAVE: save_driver_file(window); break;
    default: break; // keys posted by the fields' filter and field notifications
    }
}

// The system's own commands (move, minimise, close) go on to it.
LRESULT on_system_command(HWND window, WPARAM wparam, LPARAM lparam) {
    for (const MenuCommand &command : WINDOW_MENU_COMMANDS)
        if ((wparam & SYSTEM_COMMAND_BITS) == command.id) {
            command.open(window);
            return 0;
        }
    return DefWindowProcA(window, WM_SYSCOMMAND, wparam, lparam);
}

} // namespace

HWND create_calculator(HINSTANCE instance) {
    wt_set_window_procedure(calculator_proc);
    return wt_create_window(instance, CALCULATOR_TITLE, WINDOW_X, WINDOW_Y, WINDOW_WIDTH,
                            WINDOW_HEIGHT, "MIN_NOMAX_CLO");
}

HWND calculator_field(int line) {
    return calc.fields[line];
}

LRESULT CALLBACK calculator_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SIZE: return 0;
    case WM_PAINT: return on_paint(window, wparam, lparam);
    case WM_KEYDOWN: return 0;
    case WM_COMMAND: on_command(window, wparam); return 0;
    case WM_HSCROLL: return 0;
    case WM_SYSCOMMAND: return on_system_command(window, wparam, lparam);
    case WM_DROPFILES: open_dropped_files(window, reinterpret_cast<HDROP>(wparam)); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}
