// Test helper: files dropped onto a window as the shell hands them over (WM_DROPFILES).
//
//     SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({path})), 0);
//
// The receiver frees the drop (DragFinish), as it must for a real one.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

HDROP make_drop(const std::vector<std::string> &paths);
