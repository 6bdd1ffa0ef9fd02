// Files dropped onto a window (WM_DROPFILES). The shell's functions are loaded on the first drop,
// so that a program that accepts files loads nothing more at start.
#pragma once

#include "toolkit/file_dialog.h"

#include <windows.h>

#include <shellapi.h>

// How many files the drop holds; 0 when the shell's functions cannot be loaded.
int wt_dropped_file_count(HDROP drop);
// The full path of the file at index; false when there is none. A longer path is cut short.
bool wt_dropped_file(HDROP drop, int index, char (&path)[WT_PATH_SIZE]);
// Gives the drop's memory back; every WM_DROPFILES ends here.
void wt_finish_drop(HDROP drop);
