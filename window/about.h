// "Om Elemtrix…": the program's name, version and what it is for.
#pragma once

#include <windows.h>

extern const char ABOUT_CAPTION[];

void show_about(HWND window);
