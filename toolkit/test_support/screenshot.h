// Test helper: a window's client area as the screen shows it, its controls and all, written as
// a 24-bit bitmap file, bottom-up as bitmap files usually are: what the golden images are
// compared with (scripts/compare-image.sh), and what two builds' runs are compared by.
//
//     ASSERT_TRUE(write_client_bitmap(dialog, "dialog.bmp"));
#pragma once

#include <windows.h>

// False when the screen could not be read or the file not written.
bool write_client_bitmap(HWND window, const char *path);
