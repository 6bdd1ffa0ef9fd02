// "Öppna" with measured impedance sweeps: one in free air, or it and one with a known mass on
// the cone, fitted and put into the fields they tell, with a message box on how well they fit.
#pragma once

#include "measure/sweep_import.h"

#include <windows.h>

// count is 1 or 2; with 2 the mass comes from the field "Vikt ad.massa". Everything is read and
// fitted before a field changes: a missing mass or a failure changes nothing and says why.
void open_sweeps(HWND window, const char *const (&paths)[IMPORT_MAX_SWEEPS], int count);

// The same without the box on how well they fit: false where a message said why nothing changed.
bool fill_from_sweeps(HWND window, const char *const (&paths)[IMPORT_MAX_SWEEPS], int count,
                      ImportRequest &request, SweepImport &result);

// "Använd" in the measuring dialog: sweeps measured there, named as the box is to name them, go
// the way of open_sweeps, box and all, with the fields' mass for the second. False where a
// message said why nothing changed; result holds the fits otherwise.
bool use_measured_sweeps(HWND window, const char *const (&names)[IMPORT_MAX_SWEEPS],
                         const Sweep *const (&sweeps)[IMPORT_MAX_SWEEPS], int count,
                         SweepImport &result);
