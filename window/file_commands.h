// "Öppna" and "Spara": the eleven texts of the window to and from a driver data file.
#pragma once

#include <windows.h>

// The caption of every message about a chosen file.
extern const char FILE_ERROR_CAPTION[];

void open_driver_file(HWND window);
void save_driver_file(HWND window);
