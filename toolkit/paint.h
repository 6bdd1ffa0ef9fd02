// Frames and labels painted straight onto a window's client area. Each call takes and releases
// its own device context and validates the window's update region. A background colour of 0
// means transparent.
#pragma once

#include <windows.h>

// "LOWER" draws a groove, any other style a ridge.
int wt_paint_frame(HWND window, int x, int y, int width, int height, const char *style, int inset);
int wt_paint_text(HWND window, int x, int y, const char *text, COLORREF colour, HFONT font,
                  COLORREF background);
int wt_paint_number(HWND window, int x, int y, double value, int precision, COLORREF colour,
                    HFONT font, COLORREF background);
int wt_paint_embossed_text(HWND window, int x, int y, int offset, const char *text, COLORREF colour,
                           HFONT font, COLORREF background);
