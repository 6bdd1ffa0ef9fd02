// The calculator window: ten measured inputs on the left, the value column on the right.
#pragma once

#include <windows.h>

// Compared with the whole WM_COMMAND wParam, so notifications never run a command.
constexpr WPARAM ID_CALCULATE = 1000;
constexpr WPARAM ID_OPEN = 1001;
constexpr WPARAM ID_SAVE = 1002;
// Commands of the window menu (WM_SYSCOMMAND).
constexpr WPARAM ID_ABOUT = 0x0010;
constexpr WPARAM ID_MEASURE_IMPEDANCE = 0x0020;
constexpr WPARAM ID_BOX_DIALOG = 0x0030;

extern const char CALCULATOR_TITLE[];
// The caption of every message about what the fields hold.
extern const char INPUT_ERROR_CAPTION[];

// Creates and shows the window, centred; null when it cannot be created.
HWND create_calculator(HINSTANCE instance);

LRESULT CALLBACK calculator_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The eleven edit fields in file order: the name, then the ten inputs in canonical order.
HWND calculator_field(int line);
