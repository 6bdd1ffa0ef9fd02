// "Öppna" and "Spara": the eleven texts of the window to and from a driver data file.
#pragma once

#include <windows.h>

void open_driver_file(HWND window);
void save_driver_file(HWND window);
