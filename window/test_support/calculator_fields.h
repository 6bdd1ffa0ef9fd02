// Test helpers for the calculator window: its fields typed into and read back, and the window
// closed so that the next test makes a fresh one.
#pragma once

#include "engine/driver.h"
#include "engine/driver_file.h"
#include "toolkit/controls.h"
#include "window/calculator.h"

#include <windows.h>

#include <string>
#include <vector>

// The eleven lines of a driver data file, the name first, into the fields.
inline void set_field_texts(const std::vector<std::string> &texts) {
    for (int line = 0; line < DRIVER_FILE_LINES; ++line)
        wt_set_text(calculator_field(line), texts[line].c_str());
}

// What the fields hold, the name first.
inline std::vector<std::string> field_texts() {
    std::vector<std::string> texts;
    for (int line = 0; line < DRIVER_FILE_LINES; ++line) {
        char text[512];
        GetWindowTextA(calculator_field(line), text, sizeof text);
        texts.push_back(text);
    }
    return texts;
}

// The ten inputs, in their order; the name stays as it is.
inline void type_inputs(const char *const texts[INPUT_COUNT]) {
    for (int i = 0; i < INPUT_COUNT; ++i)
        wt_set_text(calculator_field(i + 1), texts[i]);
}

// The window, if it is still there, destroyed with what it owns, its class unregistered and
// whatever it left in the queue thrown away.
inline void close_calculator(HWND window) {
    if (IsWindow(window))
        DestroyWindow(window);
    UnregisterClassA(CALCULATOR_TITLE, GetModuleHandleA(nullptr));
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}
