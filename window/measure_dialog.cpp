#include "window/measure_dialog.h"

#include "base/number_text.h"
#include "engine/driver.h"
#include "measure/stimulus.h"
#include "measure/sweep_file.h"
#include "measure/wav_file.h"
#include "toolkit/controls.h"
#include "toolkit/dialog_window.h"
#include "toolkit/file_dialog.h"
#include "toolkit/message.h"
#include "toolkit/plot.h"
#include "window/calculator.h"
#include "window/file_commands.h"
#include "window/measure_run.h"
#include "window/sweep_open.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

const char MEASURE_TITLE[] = "Mät impedans";
const char MEASURE_ERROR_CAPTION[] = "MÄTFEL";

namespace {

constexpr int CLIENT_WIDTH = 600, CLIENT_HEIGHT = 530;
// Down and right from the calculator's corner rather than centred over it, so that the
// calculator's title bar stays in sight to bring it forward.
constexpr POINT OFFSET_FROM_CALCULATOR = {40, 40};

constexpr DWORD LABEL = SS_LEFT;
constexpr DWORD PUSH = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD LIST = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD FIELD = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD RADIO = BS_AUTORADIOBUTTON;

struct ControlSpec {
    const char *class_name;
    const char *text;
    DWORD style;
    int x, y, width, height;
    int id;
};
// In the order Tab visits them. The radio buttons are one group, ended by the next WS_GROUP.
constexpr ControlSpec CONTROLS[] = {
    {"COMBOBOX", "", LIST, 70, 8, 200, 200, ID_MEASURE_OUTPUT},
    {"COMBOBOX", "", LIST, 350, 8, 240, 200, ID_MEASURE_INPUT},
    {"EDIT", "10", FIELD, 70, 40, 50, 21, ID_MEASURE_RREF},
    {"BUTTON", "Kalibrera", PUSH, 10, 72, 110, 25, ID_MEASURE_CALIBRATE},
    {"STATIC", "", LABEL, 128, 77, 240, 16, ID_MEASURE_CALIBRATION_STATE},
    {"BUTTON", "Mät fri luft", PUSH, 10, 104, 110, 25, ID_MEASURE_FREE_AIR},
    {"BUTTON", "Mät med massa", PUSH, 126, 104, 110, 25, ID_MEASURE_ADDED_MASS},
    {"EDIT", "", FIELD, 242, 106, 40, 21, ID_MEASURE_GRAMS},
    {"BUTTON", "Avbryt", PUSH | WS_DISABLED, 300, 104, 70, 25, ID_MEASURE_STOP},
    {"BUTTON", "Öppna inspelning…", PUSH, 10, 136, 130, 25, ID_MEASURE_OPEN_RECORDING},
    {"BUTTON", "fri luft", RADIO | WS_TABSTOP | WS_GROUP, 150, 140, 70, 18, ID_MEASURE_AS_FREE_AIR},
    {"BUTTON", "med massa", RADIO, 225, 140, 90, 18, ID_MEASURE_AS_ADDED_MASS},
    {"STATIC", "", LABEL | WS_GROUP, 10, 172, 580, 16, ID_MEASURE_LEVEL},
    {"STATIC", "", LABEL, 10, 190, 580, 16, ID_MEASURE_VALUES},
    {"BUTTON", "Spara kurva…", PUSH | WS_GROUP | WS_DISABLED, 10, 494, 110, 25,
     ID_MEASURE_SAVE_CURVE},
    {"BUTTON", "Använd", PUSH | WS_DISABLED, 126, 494, 110, 25, ID_MEASURE_USE},
    {"BUTTON", "Stäng", PUSH, 480, 494, 110, 25, ID_MEASURE_CLOSE},
};

// What a measurement leaves untouchable until it ends.
constexpr int IDLE_ONLY[] = {
    ID_MEASURE_OUTPUT,      ID_MEASURE_INPUT,         ID_MEASURE_RREF,  ID_MEASURE_CALIBRATE,
    ID_MEASURE_FREE_AIR,    ID_MEASURE_ADDED_MASS,    ID_MEASURE_GRAMS, ID_MEASURE_OPEN_RECORDING,
    ID_MEASURE_AS_FREE_AIR, ID_MEASURE_AS_ADDED_MASS,
};

constexpr char DEFAULT_DEVICE[] = "Windows standardenhet";
constexpr char NOT_CALIBRATED[] = "Inte kalibrerad: ingångarna antas lika";
constexpr char CALIBRATED[] = "Kalibrerad för de valda enheterna";
constexpr char FINDING_LEVEL[] = "Söker nivån…";
constexpr char CANCELLED[] = "Avbruten: ingenting ändrat";
constexpr char RREF_WANTED[] =
    "Rref: skriv referensmotståndets resistans i ohm, till exempel 10 (bara siffror och punkt).";
constexpr char GRAMS_WANTED[] =
    "Massa: skriv den adderade massans vikt i gram, till exempel 20 (bara siffror och punkt).";
constexpr char FREE_AIR_FIRST[] =
    "Mät eller öppna kurvan i fri luft först: de ifyllda fälten kommer ur den.";
constexpr char NO_CURVE[] = "Ingen kurva att spara: mät eller öppna en inspelning först.";
constexpr char CANNOT_USE_RECORDING[] = "Mätningen kan inte användas:\n";
constexpr char CANNOT_READ[] = "Inspelningen kunde inte läsas:\n";
constexpr char CANNOT_SAVE[] = "Kurvan kunde inte sparas:\n";

constexpr char OPEN_RECORDING_TITLE[] = "Öppna inspelning";
constexpr char RECORDING_FILTER[] = "Inspelningar (*.wav)\0*.wav\0Alla filer (*.*)\0*.*\0";
constexpr char SAVE_CURVE_TITLE[] = "Spara kurva";
constexpr char CURVE_FILTER[] = "Impedanskurvor (*.zma)\0*.zma\0Alla filer (*.*)\0*.*\0";

constexpr int FREE = 0, MASS = 1, CURVES = 2;
// How the box that tells how well they fit names measured curves.
constexpr const char *MEASURED_NAMES[CURVES] = {"uppmätt i fri luft", "uppmätt med massa"};

constexpr int MESSAGE_SIZE = 1024;
constexpr int GRAMS = static_cast<int>(InputId::AddedMass);

// The devices' names, listed on a thread of their own once the dialog is painted (a timer's
// message comes after every paint) and then shown: the first listing loads winmm and asks every
// driver, which under Wine takes longer than the whole dialog takes to paint, and its loading
// would slow the painting down beside it. Until the names come, the lists hold Windows' own
// choice, which measures as well. Devices beyond the list's room cannot be chosen; no card has
// that many.
constexpr UINT WM_MEASURE_DEVICES = WM_MEASURE_DONE + 1;
constexpr UINT_PTR LIST_DEVICES_TIMER = 1;
constexpr int LISTED_DEVICES = 32;
struct DeviceList {
    SoundDirection direction;
    int id; // of its list in the dialog
    int count;
    char names[LISTED_DEVICES][SOUND_NAME_SIZE];
};

// A curve of the dialog: measured, or analysed from a recording.
struct Curve {
    bool present;
    char name[WT_PATH_SIZE]; // as the box of the fit names it
    char grams[INPUT_TEXT_SIZE];
    Sweep sweep;
    Buffer<double> frequency, magnitude, phase; // for the plot: Hz, ohm, degrees
};

struct MeasureDialog {
    HWND window, calculator;
    HFONT font;
    Curve curves[CURVES];
    int last; // the curve "Spara kurva…" saves
    Recording calibration;
    bool calibrated;
    SoundDevices calibrated_devices;
    MeasureRun run;
    int measuring; // the curve being measured
    char measuring_grams[INPUT_TEXT_SIZE];
    LiveCurve live;
    SweepImport import;
    Buffer<double> fitted; // |Z| of the fit at the free-air curve's frequencies, after "Använd"
    DeviceList devices[2]; // written by the lister until it posts WM_MEASURE_DEVICES
    HANDLE lister;
};
// Made on first use and kept, with the calibration, until the program ends.
MeasureDialog *dialog;

HWND control(int id) {
    return GetDlgItem(dialog->window, id);
}

void set_text(int id, const char *text) {
    SetWindowTextA(control(id), text);
}

bool radio_checked(int id) {
    return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void show_box(const char *caption, const char *text, const char *detail_utf8 = "") {
    wt_error_box(dialog->window, caption, text, detail_utf8);
}

// A plain decimal number above 0 that a field of the calculator could hold: digits and at most
// one point, nothing else.
bool plain_number(const char *text, double &value) {
    int points = 0, digits = 0;
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '.')
            ++points;
        else if (*c >= '0' && *c <= '9')
            ++digits;
        else
            return false;
    }
    if (digits == 0 || points > 1)
        return false;
    value = std::strtod(text, nullptr);
    return value > 0 && std::isfinite(value);
}

bool read_rref(double &rref) {
    char text[INPUT_TEXT_SIZE];
    GetWindowTextA(control(ID_MEASURE_RREF), text, sizeof text);
    if (plain_number(text, rref))
        return true;
    show_box(INPUT_ERROR_CAPTION, RREF_WANTED);
    return false;
}

bool read_grams(char (&grams)[INPUT_TEXT_SIZE]) {
    GetWindowTextA(control(ID_MEASURE_GRAMS), grams, sizeof grams);
    double value;
    if (plain_number(grams, value))
        return true;
    show_box(INPUT_ERROR_CAPTION, GRAMS_WANTED);
    return false;
}

SoundDevices chosen_devices() {
    SoundDevices d;
    d.output = static_cast<int>(SendMessageA(control(ID_MEASURE_OUTPUT), CB_GETCURSEL, 0, 0));
    d.input = static_cast<int>(SendMessageA(control(ID_MEASURE_INPUT), CB_GETCURSEL, 0, 0));
    return d;
}

ImpedanceSettings settings_of(double rref) {
    ImpedanceSettings s;
    s.rref = rref;
    s.calibration = dialog->calibrated ? &dialog->calibration : nullptr;
    s.calibration_name = u8"kalibreringen";
    return s;
}

void add_number(char *text, double value, int decimals) {
    char number[WT_NUMBER_TEXT_SIZE];
    lstrcatA(text, wt_format_number(number, value, decimals));
}

// "Re 6.00 ohm   Fs 38.02 Hz   Qts 0.381", as far as the fit could tell them.
void show_values(bool fitted, double re, double fs, double qts) {
    char text[MESSAGE_SIZE] = "";
    if (fitted) {
        lstrcpyA(text, "Re ");
        add_number(text, re, 2);
        lstrcatA(text, " ohm   Fs ");
        add_number(text, fs, 2);
        lstrcatA(text, " Hz   Qts ");
        add_number(text, qts, 3);
    }
    set_text(ID_MEASURE_VALUES, text);
}

void show_level(double level_dbfs, int averages) {
    char text[MESSAGE_SIZE] = "Nivå ut: ";
    add_number(text, level_dbfs, 1);
    lstrcatA(text, " dBFS");
    if (averages > 0) {
        lstrcatA(text, "   Medelvärden: ");
        add_number(text, averages, 0);
    }
    set_text(ID_MEASURE_LEVEL, text);
}

constexpr double PLOT_LOW_HZ = STIMULUS_LOW_HZ, PLOT_HIGH_HZ = STIMULUS_HIGH_HZ;
constexpr double PHASE_LIMIT_DEGREES = 90;
constexpr RECT PLOT_AREA = {10, 210, 590, 486};
constexpr double RADIAN_DEGREES = 180 / 3.14159265358979323846;
struct CurveLook {
    const char *magnitude_name, *phase_name;
    COLORREF magnitude_colour, phase_colour;
};
constexpr CurveLook CURVE_LOOKS[CURVES] = {
    {"|Z| fri", "fas fri", RGB(0, 0, 192), RGB(96, 160, 255)},
    {"|Z| massa", "fas massa", RGB(0, 128, 0), RGB(128, 200, 128)},
};
constexpr COLORREF FIT_COLOUR = RGB(208, 0, 0);
constexpr char FIT_NAME[] = "modell";

// What the plot shows: the curve being measured as it grows, or the curves kept, with the fit
// over the free-air one once "Använd" has made it.
void show_curves() {
    const HWND plot = control(ID_MEASURE_PLOT);
    wt_plot_clear(plot);
    const LiveCurve &live = dialog->live;
    if (measure_running(dialog->run) && dialog->run.kind != MeasureKind::CALIBRATION) {
        const CurveLook &look = CURVE_LOOKS[dialog->measuring];
        const int n = static_cast<int>(live.frequency.size());
        wt_plot_curve(plot, WT_PLOT_LEFT, look.magnitude_name, look.magnitude_colour,
                      live.frequency.data(), live.magnitude.data(), n);
        wt_plot_curve(plot, WT_PLOT_RIGHT, look.phase_name, look.phase_colour,
                      live.frequency.data(), live.phase.data(), n);
        return;
    }
    for (int i = 0; i < CURVES; ++i) {
        const Curve &c = dialog->curves[i];
        if (!c.present)
            continue;
        const int n = static_cast<int>(c.frequency.size());
        wt_plot_curve(plot, WT_PLOT_LEFT, CURVE_LOOKS[i].magnitude_name,
                      CURVE_LOOKS[i].magnitude_colour, c.frequency.data(), c.magnitude.data(), n);
        wt_plot_curve(plot, WT_PLOT_RIGHT, CURVE_LOOKS[i].phase_name, CURVE_LOOKS[i].phase_colour,
                      c.frequency.data(), c.phase.data(), n);
    }
    const Curve &free = dialog->curves[FREE];
    if (free.present && dialog->fitted.size() == free.frequency.size())
        wt_plot_curve(plot, WT_PLOT_LEFT, FIT_NAME, FIT_COLOUR, free.frequency.data(),
                      dialog->fitted.data(), static_cast<int>(free.frequency.size()));
}

void show_calibration_state() {
    set_text(ID_MEASURE_CALIBRATION_STATE, dialog->calibrated ? CALIBRATED : NOT_CALIBRATED);
}

void enable_commands() {
    const bool idle = !measure_running(dialog->run);
    for (int id : IDLE_ONLY)
        EnableWindow(control(id), idle);
    EnableWindow(control(ID_MEASURE_STOP), !idle);
    EnableWindow(control(ID_MEASURE_SAVE_CURVE), idle && dialog->curves[dialog->last].present);
    EnableWindow(control(ID_MEASURE_USE), idle && dialog->curves[FREE].present);
}

void keep_curve(int slot, const char *name, const char *grams, const MeasuredCurve &curve) {
    Curve &c = dialog->curves[slot];
    if (!copy_sweep(curve.sweep, c.sweep)) {
        show_box(MEASURE_ERROR_CAPTION, CANNOT_USE_RECORDING, u8"minnet räcker inte");
        return;
    }
    const std::size_t n = c.sweep.points.size();
    if (!c.frequency.resize(n) || !c.magnitude.resize(n) || !c.phase.resize(n)) {
        show_box(MEASURE_ERROR_CAPTION, CANNOT_USE_RECORDING, u8"minnet räcker inte");
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        c.frequency[i] = c.sweep.points[i].frequency;
        c.magnitude[i] = c.sweep.points[i].magnitude;
        c.phase[i] = c.sweep.points[i].phase * RADIAN_DEGREES;
    }
    c.present = true;
    dialog->fitted.clear(); // a fit of other curves
    lstrcpynA(c.name, name, sizeof c.name);
    lstrcpynA(c.grams, grams, sizeof c.grams);
    dialog->last = slot;
    show_values(curve.fitted, curve.re, curve.fs, curve.qts);
}

void list_devices(DeviceList &list) {
    list.count = std::min(sound_device_count(list.direction), LISTED_DEVICES);
    for (int i = 0; i < list.count; ++i)
        if (!sound_device_name(list.direction, i + 1, list.names[i]))
            list.names[i][0] = '\0';
}

DWORD WINAPI list_devices_beside(void *parameter) {
    MeasureDialog &d = *static_cast<MeasureDialog *>(parameter);
    for (DeviceList &list : d.devices)
        list_devices(list);
    PostMessageA(d.window, WM_MEASURE_DEVICES, 0, 0);
    return 0;
}

void list_default_devices() {
    dialog->devices[0] = {SoundDirection::Output, ID_MEASURE_OUTPUT, 0, {}};
    dialog->devices[1] = {SoundDirection::Input, ID_MEASURE_INPUT, 0, {}};
    for (const DeviceList &list : dialog->devices) {
        const HWND box = control(list.id);
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DEFAULT_DEVICE));
        SendMessageA(box, CB_SETCURSEL, SOUND_DEFAULT_DEVICE, 0);
    }
    SetTimer(dialog->window, LIST_DEVICES_TIMER, 0, nullptr);
}

// Lists the devices beside the message loop, or here when no thread can be had.
void on_timer(HWND window, WPARAM timer) {
    if (timer != LIST_DEVICES_TIMER)
        return;
    KillTimer(window, LIST_DEVICES_TIMER);
    dialog->lister = CreateThread(nullptr, 0, list_devices_beside, dialog, 0, nullptr);
    if (!dialog->lister)
        list_devices_beside(dialog);
}

void on_devices_listed() {
    for (const DeviceList &list : dialog->devices)
        for (int i = 0; i < list.count; ++i)
            SendMessageA(control(list.id), CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(list.names[i]));
}

void on_create(HWND window) {
    dialog->window = window;
    dialog->font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    for (const ControlSpec &c : CONTROLS) {
        const DWORD ex_style = std::strcmp(c.class_name, "EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
        const HWND made =
            CreateWindowExA(ex_style, c.class_name, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x,
                            c.y, c.width, c.height, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(dialog->font), FALSE);
    }
    const int grams_limit = INPUT_DESCRIPTORS[GRAMS].text_limit;
    SendMessageA(control(ID_MEASURE_GRAMS), EM_LIMITTEXT, grams_limit, 0);
    SendMessageA(control(ID_MEASURE_RREF), EM_LIMITTEXT, grams_limit, 0);
    SendMessageA(control(ID_MEASURE_AS_FREE_AIR), BM_SETCHECK, BST_CHECKED, 0);
    const HWND plot =
        wt_create_plot(window, PLOT_AREA.left, PLOT_AREA.top, PLOT_AREA.right - PLOT_AREA.left,
                       PLOT_AREA.bottom - PLOT_AREA.top, ID_MEASURE_PLOT);
    wt_plot_frequencies(plot, PLOT_LOW_HZ, PLOT_HIGH_HZ);
    wt_plot_axis(plot, WT_PLOT_LEFT, "|Z|", "ohm", 0, 0);
    wt_plot_axis(plot, WT_PLOT_RIGHT, "fas", "°", -PHASE_LIMIT_DEGREES, PHASE_LIMIT_DEGREES);
    list_default_devices();
    show_calibration_state();
    enable_commands();
}

// The jig, drawn small: the output through Rref into the driver, input A before Rref and
// input B across the driver.
struct JigLine {
    int x1, y1, x2, y2;
};
constexpr JigLine JIG_LINES[] = {
    {414, 96, 414, 60},   {414, 60, 454, 60},   {494, 60, 570, 60},   {570, 60, 570, 80},
    {570, 112, 570, 132}, {414, 116, 414, 132}, {414, 132, 570, 132}, {560, 136, 580, 136},
    {564, 140, 576, 140}, {434, 60, 434, 48},   {570, 60, 590, 60},   {590, 60, 590, 48},
};
constexpr RECT JIG_RREF = {454, 54, 494, 67};
constexpr RECT JIG_DRIVER = {563, 80, 578, 112};
constexpr int JIG_SOURCE_X = 414, JIG_SOURCE_Y = 106, JIG_SOURCE_RADIUS = 10;
// Texts that never change, painted rather than each a window: under Wine every control made
// costs about a millisecond of the dialog's opening, and its painting more. The fields' captions
// and units, then the jig's names.
struct Label {
    int x, y;
    const char *text;
};
constexpr Label LABELS[] = {
    {10, 12, "Utgång:"},  {290, 12, "Ingång:"},     {10, 44, "Rref:"},      {126, 44, "ohm"},
    {286, 110, "g"},      {418, 32, "A (vänster)"}, {534, 32, "B (höger)"}, {458, 70, "Rref"},
    {494, 90, "element"}, {372, 122, "utgång"},
};

void on_paint(HWND window) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SelectObject(dc, dialog->font);
    SetBkMode(dc, TRANSPARENT);
    for (const JigLine &l : JIG_LINES) {
        MoveToEx(dc, l.x1, l.y1, nullptr);
        LineTo(dc, l.x2, l.y2);
    }
    for (const RECT &r : {JIG_RREF, JIG_DRIVER})
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
    Ellipse(dc, JIG_SOURCE_X - JIG_SOURCE_RADIUS, JIG_SOURCE_Y - JIG_SOURCE_RADIUS,
            JIG_SOURCE_X + JIG_SOURCE_RADIUS, JIG_SOURCE_Y + JIG_SOURCE_RADIUS);
    for (const Label &label : LABELS)
        TextOutA(dc, label.x, label.y, label.text, lstrlenA(label.text));
    EndPaint(window, &paint);
}

void start_measuring(MeasureKind kind) {
    MeasureRun &run = dialog->run;
    if (!read_rref(run.rref))
        return;
    dialog->measuring = kind == MeasureKind::ADDED_MASS ? MASS : FREE;
    dialog->measuring_grams[0] = '\0';
    if (kind == MeasureKind::ADDED_MASS && !read_grams(dialog->measuring_grams))
        return;
    run.dialog = dialog->window;
    run.kind = kind;
    run.devices = chosen_devices();
    run.calibration =
        kind != MeasureKind::CALIBRATION && dialog->calibrated ? &dialog->calibration : nullptr;
    run.seconds = STIMULUS_DEFAULT_SECONDS;
    if (!start_measure_run(run)) {
        show_box(MEASURE_ERROR_CAPTION, CANNOT_USE_RECORDING, run.error.swedish.c_str());
        return;
    }
    set_text(ID_MEASURE_LEVEL, FINDING_LEVEL);
    show_values(false, 0, 0, 0);
    enable_commands();
    show_curves();
}

void on_level() {
    LiveCurve &live = dialog->live;
    if (copy_live_curve(dialog->run, live))
        show_level(live.level_dbfs, 0);
}

void on_live() {
    LiveCurve &live = dialog->live;
    if (!copy_live_curve(dialog->run, live))
        return;
    show_level(live.level_dbfs, live.averages);
    show_values(live.fitted, live.re, live.fs, live.qts);
    show_curves();
}

void on_done() {
    MeasureRun &run = dialog->run;
    end_measure_run(run);
    if (run.cancelled) {
        set_text(ID_MEASURE_LEVEL, CANCELLED);
        show_values(false, 0, 0, 0);
    } else if (!run.ok) {
        set_text(ID_MEASURE_LEVEL, "");
        show_values(false, 0, 0, 0);
        show_box(MEASURE_ERROR_CAPTION, CANNOT_USE_RECORDING, run.error.swedish.c_str());
    } else if (run.kind == MeasureKind::CALIBRATION) {
        dialog->calibration = std::move(run.recording);
        dialog->calibrated = true;
        dialog->calibrated_devices = run.devices;
        show_calibration_state();
    } else {
        keep_curve(dialog->measuring, MEASURED_NAMES[dialog->measuring], dialog->measuring_grams,
                   run.curve);
    }
    enable_commands();
    show_curves();
}

void on_stop() {
    if (measure_running(dialog->run))
        cancel_measure_run(dialog->run);
}

// The calibration matches the inputs of the devices it was made with, and no others.
void on_device_changed() {
    const SoundDevices now = chosen_devices();
    if (dialog->calibrated && (now.input != dialog->calibrated_devices.input ||
                               now.output != dialog->calibrated_devices.output)) {
        dialog->calibrated = false;
        show_calibration_state();
    }
}

const char *file_name(const char *path) {
    const char *name = path;
    for (const char *c = path; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/' || *c == ':')
            name = c + 1;
    return name;
}

void open_recording() {
    double rref;
    if (!read_rref(rref))
        return;
    const int slot = radio_checked(ID_MEASURE_AS_ADDED_MASS) ? MASS : FREE;
    char grams[INPUT_TEXT_SIZE] = "";
    if (slot == MASS && !read_grams(grams))
        return;
    if (wt_open_file_dialog(dialog->window, OPEN_RECORDING_TITLE, "", "OWN_FILTER",
                            RECORDING_FILTER) != 0)
        return;
    const char *name = file_name(wt_open_path);
    const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    Recording recording;
    MeasuredCurve curve;
    MeasureError error;
    const bool read = read_wav_file(wt_open_path, recording, error);
    const bool measured = read && measure_curve(recording, name, settings_of(rref), curve, error);
    SetCursor(previous);
    if (!read) {
        show_box(FILE_ERROR_CAPTION, CANNOT_READ, error.swedish.c_str());
    } else if (!measured) {
        show_box(MEASURE_ERROR_CAPTION, CANNOT_USE_RECORDING, error.swedish.c_str());
    } else {
        set_text(ID_MEASURE_LEVEL, "");
        keep_curve(slot, name, grams, curve);
    }
    enable_commands();
    show_curves();
}

void save_curve() {
    const Curve &curve = dialog->curves[dialog->last];
    if (!curve.present) {
        show_box(INPUT_ERROR_CAPTION, NO_CURVE);
        return;
    }
    if (wt_save_file_dialog(dialog->window, SAVE_CURVE_TITLE, "", "OWN_FILTER", CURVE_FILTER) != 0)
        return;
    MeasureError error;
    if (!write_sweep_file(wt_save_path, curve.sweep, error))
        show_box(FILE_ERROR_CAPTION, CANNOT_SAVE, error.swedish.c_str());
}

// The fields as "Öppna" of the same sweeps fills them, the mass typed here standing in the
// calculator's field as a user would type it there; a failure leaves that field as it was.
void use_curves() {
    const Curve *curves = dialog->curves;
    if (!curves[FREE].present) {
        show_box(INPUT_ERROR_CAPTION, FREE_AIR_FIRST);
        return;
    }
    const int count = curves[MASS].present ? CURVES : 1;
    const char *const names[IMPORT_MAX_SWEEPS] = {curves[FREE].name, curves[MASS].name};
    const Sweep *const sweeps[IMPORT_MAX_SWEEPS] = {&curves[FREE].sweep, &curves[MASS].sweep};
    const HWND mass_field = calculator_field(GRAMS + 1);
    char typed[INPUT_TEXT_SIZE];
    wt_get_text(mass_field, typed);
    if (count == CURVES)
        wt_set_text(mass_field, curves[MASS].grams);
    if (!use_measured_sweeps(dialog->window, names, sweeps, count, dialog->import)) {
        if (count == CURVES)
            wt_set_text(mass_field, typed);
        return;
    }
    const Curve &free = curves[FREE];
    if (!dialog->fitted.resize(free.frequency.size()))
        return; // the fields are filled; only the drawing of the model is missing
    for (std::size_t i = 0; i < free.frequency.size(); ++i)
        dialog->fitted[i] =
            std::abs(fitted_impedance(dialog->import.sweeps[FREE].fit, free.frequency[i]));
    show_curves();
}

void on_close(HWND window) {
    DestroyWindow(window);
}

// Closed, or gone with the calculator that owns it: the sound card stops at once and the threads,
// which end with it, are waited for. The curves go with the dialog; the calibration stays for
// the devices it was made with.
void on_destroy() {
    if (dialog->lister) {
        WaitForSingleObject(dialog->lister, INFINITE);
        CloseHandle(dialog->lister);
        dialog->lister = nullptr;
    }
    if (measure_running(dialog->run)) {
        cancel_measure_run(dialog->run);
        end_measure_run(dialog->run);
    }
    for (Curve &c : dialog->curves)
        c.present = false;
    dialog->fitted.clear();
    dialog->last = FREE;
    dialog->window = nullptr;
}

void on_command(HWND window, WPARAM wparam) {
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    if (code == CBN_SELCHANGE) {
        on_device_changed();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case ID_MEASURE_CALIBRATE: start_measuring(MeasureKind::CALIBRATION); break;
    case ID_MEASURE_FREE_AIR: start_measuring(MeasureKind::FREE_AIR); break;
    case ID_MEASURE_ADDED_MASS: start_measuring(MeasureKind::ADDED_MASS); break;
    case ID_MEASURE_STOP: on_stop(); break;
    case ID_MEASURE_OPEN_RECORDING: open_recording(); break;
    case ID_MEASURE_SAVE_CURVE: save_curve(); break;
    case ID_MEASURE_USE: use_curves(); break;
    case ID_MEASURE_CLOSE: on_close(window); break;
    // Esc: a measurement stops, an idle dialog closes.
    case IDCANCEL: measure_running(dialog->run) ? on_stop() : on_close(window); break;
    default: break;
    }
}

LRESULT CALLBACK measure_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(window); return 0;
    case WM_PAINT: on_paint(window); return 0;
    case WM_COMMAND: on_command(window, wparam); return 0;
    case WM_CLOSE: on_close(window); return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case WM_MEASURE_LEVEL: on_level(); return 0;
    case WM_MEASURE_LIVE: on_live(); return 0;
    case WM_MEASURE_DONE: on_done(); return 0;
    case WM_MEASURE_DEVICES: on_devices_listed(); return 0;
    case WM_TIMER: on_timer(window, wparam); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

void show_measure_dialog(HWND calculator) {
    if (dialog && dialog->window) {
        if (IsIconic(dialog->window))
            ShowWindow(dialog->window, SW_RESTORE);
        SetForegroundWindow(dialog->window);
        return;
    }
    if (!dialog) {
        void *memory = std::malloc(sizeof(MeasureDialog));
        if (!memory)
            return;
        dialog = new (memory) MeasureDialog{};
    }
    if (!init_measure_run(dialog->run))
        return;
    dialog->calculator = calculator;
    const HWND window = wt_create_dialog(calculator, MEASURE_TITLE, CLIENT_WIDTH, CLIENT_HEIGHT,
                                         measure_dialog_proc, &OFFSET_FROM_CALCULATOR);
    if (!window)
        return;
    ShowWindow(window, SW_SHOW);
    SetFocus(GetNextDlgTabItem(window, nullptr, FALSE));
}

HWND measure_dialog() {
    return dialog ? dialog->window : nullptr;
}

bool measure_dialog_measuring() {
    return dialog && measure_running(dialog->run);
}
