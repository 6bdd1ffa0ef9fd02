#include "toolkit/test_support/box_catcher.h"

namespace {

constexpr int TEXT_ID = 0xFFFF;
// Windows gives the icon static id 20, Wine 0x440.
const int ICON_IDS[] = {20, 0x440};

struct ButtonSet {
    UINT type;
    std::vector<int> buttons;
};

const ButtonSet BUTTON_SETS[] = {
    {MB_OK, {IDOK}},
    {MB_OKCANCEL, {IDOK, IDCANCEL}},
    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
    {MB_YESNO, {IDYES, IDNO}},
    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
};

struct IconKind {
    UINT flag;
    LPCSTR icon;
};

const IconKind ICON_KINDS[] = {
    {MB_ICONHAND, IDI_HAND},
    {MB_ICONQUESTION, IDI_QUESTION},
    {MB_ICONEXCLAMATION, IDI_EXCLAMATION},
    {MB_ICONASTERISK, IDI_ASTERISK},
};

HHOOK hook = nullptr;
std::vector<CaughtBox> boxes;
// A box may be activated again before the posted answer arrives: record it once.
HWND last_box = nullptr;

bool is_shown(HWND box, int id) {
    HWND item = GetDlgItem(box, id);
    return item && (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE);
}

std::vector<int> shown_buttons(HWND box) {
    std::vector<int> ids;
    for (int id = IDOK; id <= IDNO; ++id)
        if (is_shown(box, id))
            ids.push_back(id);
    return ids;
}

UINT icon_flag(HWND box) {
    for (int id : ICON_IDS) {
        if (!is_shown(box, id))
            continue;
        HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, id, STM_GETICON, 0, 0));
        for (const IconKind &kind : ICON_KINDS)
            if (icon && icon == LoadIconA(nullptr, kind.icon))
                return kind.flag;
    }
    return 0;
}

std::string window_text(HWND window) {
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, &text[0], static_cast<int>(text.size())));
    return text;
}

bool is_message_box(HWND window) {
    char class_name[16];
    GetClassNameA(window, class_name, sizeof class_name);
    return lstrcmpA(class_name, "#32770") == 0 && GetDlgItem(window, TEXT_ID);
}

LRESULT CALLBACK catch_box(int code, WPARAM wparam, LPARAM lparam) {
    HWND box = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_ACTIVATE && box != last_box && is_message_box(box)) {
        last_box = box;
        const std::vector<int> buttons = shown_buttons(box);
        UINT type = MB_OK;
        for (const ButtonSet &set : BUTTON_SETS)
            if (set.buttons == buttons)
                type = set.type;
        boxes.push_back({GetWindow(box, GW_OWNER), window_text(box),
                         window_text(GetDlgItem(box, TEXT_ID)), type | icon_flag(box)});
        const bool has_ok = !buttons.empty() && buttons.front() == IDOK;
        const int answer = has_ok || buttons.empty() ? IDOK : buttons.front();
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

} // namespace

void start_catching_boxes() {
    boxes.clear();
    last_box = nullptr;
    hook = SetWindowsHookExA(WH_CBT, catch_box, nullptr, GetCurrentThreadId());
}

std::vector<CaughtBox> stop_catching_boxes() {
    UnhookWindowsHookEx(hook);
    hook = nullptr;
    return boxes;
}
