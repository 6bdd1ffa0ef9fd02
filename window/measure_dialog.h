// "Mät impedans": the driver's impedance measured through the sound card with the jig, or from a
// recording made with another program, shown as it comes in, saved as a sweep file, and put
// into the calculator's fields as "Öppna" puts opened sweeps there. A modeless dialog of the
// toolkit's (its keys go through wt_dialog_message), made on first use with the sound card's
// library.
#pragma once

#include <windows.h>

extern const char MEASURE_TITLE[];
extern const char MEASURE_ERROR_CAPTION[]; // a measurement that cannot be used

// Controls a user or a test reaches by their identifiers.
enum MeasureControl {
    ID_MEASURE_OUTPUT = 100,
    ID_MEASURE_INPUT,
    ID_MEASURE_RREF,
    ID_MEASURE_CALIBRATE,
    ID_MEASURE_CALIBRATION_STATE,
    ID_MEASURE_FREE_AIR,
    ID_MEASURE_ADDED_MASS,
    ID_MEASURE_GRAMS,
    ID_MEASURE_STOP,
    ID_MEASURE_OPEN_RECORDING,
    ID_MEASURE_AS_FREE_AIR,
    ID_MEASURE_AS_ADDED_MASS,
    ID_MEASURE_LEVEL,
    ID_MEASURE_VALUES,
    ID_MEASURE_PLOT,
    ID_MEASURE_SAVE_CURVE,
    ID_MEASURE_USE,
    ID_MEASURE_CLOSE,
};

// Opens the dialog beside the calculator, or brings the open one forward.
void show_measure_dialog(HWND calculator);

// The open dialog, or null.
HWND measure_dialog();
// A measurement is under way: the sound card is playing and recording.
bool measure_dialog_measuring();
