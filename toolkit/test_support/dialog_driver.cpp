#include "toolkit/test_support/dialog_driver.h"

#include <dlgs.h>

#include <utility>

namespace {

// Short enough that a dialog round trip stays well under a second.
constexpr UINT POLL_MS = 20;
// The static that holds a message box's text.
constexpr int BOX_TEXT_ID = 0xFFFF;
constexpr int TEXT_SIZE = 1024;

DialogDriver *active_driver;

std::string window_text(HWND window) {
    char text[TEXT_SIZE] = "";
    GetWindowTextA(window, text, TEXT_SIZE);
    return text;
}

bool is_dialog(HWND window) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

// Explorer-style dialogs type names into a combo box, older ones into an edit field.
HWND file_name_box(HWND dialog) {
    const HWND combo = GetDlgItem(dialog, cmb13);
    return combo ? combo : GetDlgItem(dialog, edt1);
}

void press(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

} // namespace

DialogDriver::DialogDriver(std::vector<DialogAnswer> plan) : plan_(std::move(plan)) {
    active_driver = this;
    timer_ = SetTimer(nullptr, 0, POLL_MS, tick);
}

DialogDriver::~DialogDriver() {
    KillTimer(nullptr, timer_);
    active_driver = nullptr;
}

// A posted button press is handled before the next timer message, so a window that is still
// active on the next tick has not been answered yet, or is waiting for its next answer.
void CALLBACK DialogDriver::tick(HWND, UINT, UINT_PTR, DWORD) {
    const HWND window = GetActiveWindow();
    if (active_driver != nullptr && window != nullptr && is_dialog(window))
        active_driver->answer(window);
}

void DialogDriver::answer(HWND window) {
    if (const HWND name_box = file_name_box(window))
        answer_file_dialog(window, name_box);
    else if (GetDlgItem(window, BOX_TEXT_ID) != nullptr)
        answer_box(window);
}

void DialogDriver::answer_file_dialog(HWND dialog, HWND name_box) {
    const HWND types = GetDlgItem(dialog, cmb1);
    SeenFileDialog seen{window_text(dialog), window_text(name_box), 0, ""};
    seen.filter_count = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
    if (seen.filter_count > 0) {
        char first[TEXT_SIZE] = "";
        SendMessageA(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        seen.first_filter = first;
    }
    file_dialogs_.push_back(seen);
    if (on_file_dialog)
        on_file_dialog(dialog);

    if (next_answer_ == plan_.size()) {
        ++unplanned_;
        press(dialog, IDCANCEL);
        return;
    }
    const DialogAnswer &planned = plan_[next_answer_++];
    if (planned.button == IDOK)
        SetWindowTextA(name_box, planned.file_name.c_str());
    press(dialog, planned.button);
}

void DialogDriver::answer_box(HWND box) {
    boxes_.push_back({window_text(box), window_text(GetDlgItem(box, BOX_TEXT_ID))});
    press(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
}
