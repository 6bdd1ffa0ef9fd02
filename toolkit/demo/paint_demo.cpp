// Shows every painting operation of the toolkit and a few controls in one window.
// An argument of milliseconds closes the window after that time (for unattended screenshots).
#include "toolkit/controls.h"
#include "toolkit/paint.h"
#include "toolkit/top_window.h"

#include <cstdlib>
#include <limits>

namespace {

constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF BLUE = RGB(0, 0, 160);
constexpr COLORREF YELLOW = RGB(255, 255, 160);
// Darker than the button face, so that the white halves of frames and reliefs show.
constexpr COLORREF SLATE = RGB(150, 165, 180);
constexpr COLORREF TRANSPARENT_BACKGROUND = 0;
constexpr UINT_PTR CLOSE_TIMER = 1;
constexpr int ID_BUTTON = 1000;

struct NumberSample {
    double value;
    int precision;
};

const NumberSample NUMBERS[] = {
    {3.14159265, 0},
    {3.14159265, 2},
    {3.14159265, 6},
    {-12.5, 9},
    {1e100, 8},
    {std::numeric_limits<double>::infinity(), 2},
    {-std::numeric_limits<double>::infinity(), 2},
    {std::numeric_limits<double>::quiet_NaN(), 2},
};
constexpr int NUMBER_X = 280;
constexpr int NUMBER_Y = 40;
constexpr int NUMBER_STEP = 22;

HFONT label_font;

void paint(HWND window) {
    wt_paint_frame(window, 10, 10, 240, 140, "LOWER", 1);
    wt_paint_frame(window, 270, 10, 250, 210, "RIDGE", 1);
    wt_paint_embossed_text(window, 24, 20, 2, "Embossed heading", BLUE, label_font,
                           TRANSPARENT_BACKGROUND);
    wt_paint_text(window, 24, 60, "Transparent red", RED, label_font, TRANSPARENT_BACKGROUND);
    wt_paint_text(window, 24, 90, "Opaque on yellow", RED, label_font, YELLOW);
    wt_paint_text(window, 24, 120, "System font", RGB(0, 0, 0), nullptr, TRANSPARENT_BACKGROUND);
    wt_paint_text(window, 280, 18, "Numbers", RGB(0, 0, 0), label_font, TRANSPARENT_BACKGROUND);
    int y = NUMBER_Y;
    for (const NumberSample &number : NUMBERS) {
        wt_paint_number(window, NUMBER_X, y, number.value, number.precision, RED, label_font,
                        TRANSPARENT_BACKGROUND);
        y += NUMBER_STEP;
    }
}

LRESULT CALLBACK demo_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: {
        label_font = wt_create_point_font(window, 10, FW_NORMAL, 0, "Arial");
        HWND edit = wt_create_edit(window, 20, 170, 160, 24, "L", 20);
        wt_set_font(edit, label_font);
        wt_set_text(edit, "Edit field");
        wt_create_button(window, 20, 205, 120, 28, "Button", "C", "SHADOW", ID_BUTTON);
        wt_center_window(window);
        return 0;
    }
    case WM_PAINT: paint(window); return 0;
    case WM_TIMER: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    wt_set_window_procedure(demo_proc);
    HWND window = wt_create_window(instance, "Toolkit demo", 0, 0, 540, 250, "MIN_NOMAX_CLO");
    if (!window)
        return 1;
    wt_set_background(window, SLATE);
    const long close_after = std::strtol(command_line, nullptr, 10);
    if (close_after > 0)
        SetTimer(window, CLOSE_TIMER, static_cast<UINT>(close_after), nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
