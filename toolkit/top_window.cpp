#include "toolkit/top_window.h"

#include <cstdio>

#include <commctrl.h>

namespace {

struct WindowStyle {
    const char *keyword;
    DWORD style;
    DWORD ex_style;
    bool no_close;
};

// A keyword outside the table gets a plain overlapped window with a closable class.
const WindowStyle WINDOW_STYLES[] = {
    {"MIN_MAX_CLO", WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, false},
    {"MIN_MAX_NOCLO", WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, true},
    {"NOMIN_MAX_CLO", WS_SYSMENU | WS_MAXIMIZEBOX, 0, false},
    {"NOMIN_MAX_NOCLO", WS_SYSMENU | WS_MAXIMIZEBOX, 0, true},
    {"MIN_NOMAX_CLO", WS_SYSMENU | WS_MINIMIZEBOX, 0, false},
    {"MIN_NOMAX_NOCLO", WS_SYSMENU | WS_MINIMIZEBOX, 0, true},
    {"QUE_CLO", WS_CAPTION | WS_SYSMENU, WS_EX_CONTEXTHELP, false},
    {"QUE_NOCLO", WS_CAPTION | WS_SYSMENU, WS_EX_CONTEXTHELP, true},
    {"CLO", WS_CAPTION | WS_SYSMENU, 0, false},
    {"NOCLO", WS_CAPTION | WS_SYSMENU, 0, true},
    {"EMPTYLIST", WS_CAPTION, 0, false},
    {"TOOLWIN_CLO", WS_SYSMENU, WS_EX_TOOLWINDOW, false},
    {"TOOLWIN_NOCLO", WS_SYSMENU, WS_EX_TOOLWINDOW, true},
    {"TOOLWIN", WS_OVERLAPPED, WS_EX_TOOLWINDOW, false},
    {"NOLIST", WS_POPUP | WS_DLGFRAME, 0, false},
};
const WindowStyle DEFAULT_WINDOW_STYLE = {"", WS_OVERLAPPED, 0, false};

constexpr int CLASS_NAME_SIZE = 250;

WNDPROC window_procedure = DefWindowProcA;

// The message that a window made here is handling right now, numbered.
struct Handling {
    HWND window;
    WtMessage current;
};
Handling handling = {};
unsigned long messages_handled = 0;

// Every window made here runs through this, so that painting can tell one message from the next.
LRESULT CALLBACK toolkit_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const Handling outer = handling;
    handling = {window, {++messages_handled, message}};
    const LRESULT result = window_procedure(window, message, wparam, lparam);
    handling = outer;
    return result;
}

const WindowStyle &find_window_style(const char *keyword) {
    for (const WindowStyle &row : WINDOW_STYLES)
        if (lstrcmpA(row.keyword, keyword) == 0)
            return row;
    return DEFAULT_WINDOW_STYLE;
}

} // namespace

void wt_set_window_procedure(WNDPROC procedure) {
    window_procedure = procedure;
}

WtMessage wt_current_message(HWND window) {
    return handling.window == window ? handling.current : WtMessage{0, 0};
}

HWND wt_create_window(HINSTANCE instance, const char *title, int x, int y, int width, int height,
                      const char *keyword) {
    InitCommonControls();

    // The precision keeps a long title from running past the buffer; the caption stays whole.
    char class_name[CLASS_NAME_SIZE];
    if (title[0] == '\0')
        // The handle whole, also where it is wider than a long, as on 64-bit Windows.
        std::snprintf(class_name, sizeof class_name, "Class%lld",
                      static_cast<long long>(reinterpret_cast<LONG_PTR>(instance)));
    else
        wsprintfA(class_name, "%.249s", title);

    const WindowStyle &style = find_window_style(keyword);

    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_DBLCLKS | (style.no_close ? CS_NOCLOSE : 0);
    window_class.lpfnWndProc = toolkit_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.lpszClassName = class_name;
    if (RegisterClassExA(&window_class) == 0)
        return nullptr;

    HWND window = CreateWindowExA(style.ex_style, class_name, title, style.style, x, y, width,
                                  height + GetSystemMetrics(SM_CYCAPTION), nullptr, nullptr,
                                  instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    wt_set_background(window, GetSysColor(COLOR_BTNFACE));
    return window;
}

int wt_set_background(HWND window, COLORREF colour) {
    SetClassLongPtrA(window, GCLP_HBRBACKGROUND,
                     reinterpret_cast<LONG_PTR>(CreateSolidBrush(colour)));
    InvalidateRgn(window, nullptr, TRUE);
    return 0;
}

int wt_set_icon(HWND window, const char *icon_name) {
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(LoadIconA(module, icon_name)));
    return 0;
}

int wt_center_window(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    // One caption height more than the window rectangle holds: the window stands a little high.
    int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    int y =
        (GetSystemMetrics(SM_CYSCREEN) - ((r.bottom - r.top) + GetSystemMetrics(SM_CYCAPTION))) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return 0;
}
