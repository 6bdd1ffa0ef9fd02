// Top-level windows chosen by a style keyword, each with a window class of its own.
#pragma once

#include <windows.h>

// The procedure of every window that wt_create_window makes; set once at start-up, before the
// first window. Until then windows get DefWindowProcA.
void wt_set_window_procedure(WNDPROC procedure);

// The message that a window made here is handling now: its number in the run, 0 when the
// window is handling none, and what it is. Painting erases and validates once per message
// rather than once per label, and clips to the region a paint message is for.
struct WtMessage {
    unsigned long serial;
    UINT message;
};
WtMessage wt_current_message(HWND window);

// Creates, shows and gives the button-face background to a window whose class is named after
// the title ("Class%li" of the instance for an empty title). height excludes the caption.
// Null when the class or the window cannot be made, for instance for a second window with the
// same title.
HWND wt_create_window(HINSTANCE instance, const char *title, int x, int y, int width, int height,
                      const char *keyword);

int wt_set_background(HWND window, COLORREF colour);
int wt_set_icon(HWND window, const char *icon_name);
int wt_center_window(HWND window);
