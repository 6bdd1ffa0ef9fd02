// Edit fields with a key filter, push buttons, fonts, and the small operations on controls.
#pragma once

#include <windows.h>

// Style code: decimal digits 1 italic, 2 underline, 3 strike-out, in ascending order (0, 1, 2,
// 3, 12, 13, 23, 123).
HFONT wt_create_font(int height, int width, int escapement, int weight, int style_code,
                     int pitch_and_family, const char *face);
HFONT wt_create_point_font(HWND window, int points, int weight, int style_code, const char *face);

// Alignment "L", "C", "R", "NL", "NC", "NR"; control identifier 1; filtered by wt_edit_proc.
HWND wt_create_edit(HWND parent, int x, int y, int width, int height, const char *alignment,
                    int text_limit);
LRESULT CALLBACK wt_edit_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

int wt_set_font(HWND control, HFONT font);

// Alignment "L", "R", "T", "B", "C", "LB", "LT", "RB", "RT"; look "NORMAL", "SHADOW",
// "SUNKEN", "SUNKEN_SHADOW", "BAR", "BAR_SHADOW", "EDGE", "EDGE_SHADOW".
HWND wt_create_button(HWND parent, int x, int y, int width, int height, const char *caption,
                      const char *alignment, const char *look, int command_id);

// buffer holds the edit's text limit plus one bytes; returns the length read.
int wt_get_text(HWND edit, char *buffer);
int wt_set_text(HWND control, const char *text);

// "ERASED" or "UNERASED"; 0 when the rectangle was invalidated, else 1.
int wt_redraw(HWND window, RECT rectangle, const char *keyword);
