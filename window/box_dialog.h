// "Lådberäkning": the box for the driver in the calculator's fields, sealed or vented, every
// figure with its standard error, and the plots of its response, excursion and port. A modeless
// dialog of its own, made the first time it is asked for.
#pragma once

#include <windows.h>

struct CovariedDriver;

extern const char BOX_DIALOG_TITLE[];

// The controls that tests and elemtrix-drive find; above 255, so that no key code a field's
// filter posts can be taken for one.
constexpr int ID_BOX_TYPE = 0x100, ID_BOX_CHOICE = 0x101;
constexpr int ID_BOX_FIELD = 0x110;  // + BoxFormField
constexpr int ID_BOX_SOURCE = 0x120; // where the errors come from
constexpr int ID_BOX_NAME = 0x121;   // the box and its alignment
constexpr int ID_BOX_REASON = 0x122; // why that alignment
constexpr int ID_BOX_NOTES = 0x123;  // warnings, exact and unknown parameters
// The figures' columns, each a line for every figure in the order of BoxFigureId: caption,
// value, error, unit and the dominant parameter.
constexpr int ID_BOX_FIGURE = 0x140; // + column
constexpr int BOX_FIGURE_COLUMNS = 5;
constexpr int ID_BOX_PLOT = 0x1A0; // + plot
constexpr int ID_BOX_DESIGN = IDOK, ID_BOX_CLOSE = IDCANCEL;

// Opens the dialog beside the calculator window that owns it, or brings the open one forward.
void show_box_dialog(HWND calculator);
// The open dialog, null when none is.
HWND box_dialog();

LRESULT CALLBACK box_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The fit of measured sweeps that has just filled the calculator's fields: the box takes its
// errors from it for as long as the fields hold what it filled.
void remember_sweep_fit(const CovariedDriver &fit);
