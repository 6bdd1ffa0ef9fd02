// "Öppna" and "Spara": the eleven texts of the window to and from a driver data file.
#pragma once

#include <windows.h>

#include <shellapi.h>

// The caption of every message about a chosen file.
extern const char FILE_ERROR_CAPTION[];

void open_driver_file(HWND window);
void save_driver_file(HWND window);

// The files named on the command line, or dropped onto the window, opened as "Öppna" opens the
// same files chosen in its dialog. Names with blanks are in double quotes on a command line.
void open_command_line(HWND window, const char *command_line);
void open_dropped_files(HWND window, HDROP drop);
