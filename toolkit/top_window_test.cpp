#include "toolkit/top_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Every window needs a title of its own: the title names its class.
std::string fresh_title(const char *what) {
    static int count = 0;
    return std::string("top_window_test ") + what + " " + std::to_string(++count);
}

HWND make_window(const char *keyword, int width = 300, int height = 200) {
    return wt_create_window(GetModuleHandleA(nullptr), fresh_title(keyword).c_str(), 10, 10, width,
                            height, keyword);
}

COLORREF brush_colour(HWND window) {
    LOGBRUSH brush = {};
    GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)), sizeof brush,
               &brush);
    return brush.lbColor;
}

struct StyleCase {
    const char *keyword;
    DWORD style;
    DWORD ex_style;
    DWORD class_style;
};

// The platform adds a caption, clipping and edges of its own; these are the bits the keyword
// decides.
constexpr DWORD KEYWORD_STYLE_BITS =
    WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP | WS_CHILD;
constexpr DWORD KEYWORD_EX_BITS = WS_EX_CONTEXTHELP | WS_EX_TOOLWINDOW;

TEST(Window, KeywordsChooseWindowExtendedAndClassStyles) {
    const StyleCase cases[] = {
        {"MIN_NOMAX_CLO", WS_SYSMENU | WS_MINIMIZEBOX, 0, CS_DBLCLKS},
        {"QUE_NOCLO", WS_SYSMENU, WS_EX_CONTEXTHELP, CS_DBLCLKS | CS_NOCLOSE},
        {"TOOLWIN_NOCLO", WS_SYSMENU, WS_EX_TOOLWINDOW, CS_DBLCLKS | CS_NOCLOSE},
        {"MIN_MAX_NOCLO", WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, CS_DBLCLKS | CS_NOCLOSE},
        {"NOLIST", WS_POPUP, 0, CS_DBLCLKS},
        {"min_nomax_clo", 0, 0, CS_DBLCLKS},
        {"", 0, 0, CS_DBLCLKS},
    };
    for (const StyleCase &c : cases) {
        SCOPED_TRACE(c.keyword);
        HWND window = make_window(c.keyword);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & KEYWORD_STYLE_BITS, c.style);
        EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & KEYWORD_EX_BITS, c.ex_style);
        EXPECT_EQ(GetClassLongA(window, GCL_STYLE), c.class_style);
        EXPECT_TRUE(IsWindowVisible(window));
        DestroyWindow(window);
    }
}

TEST(Window, CaptionAndDialogFrameBitsAreKept) {
    HWND empty_list = make_window("EMPTYLIST");
    EXPECT_EQ(GetWindowLongA(empty_list, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU), WS_CAPTION);
    HWND no_list = make_window("NOLIST");
    EXPECT_EQ(GetWindowLongA(no_list, GWL_STYLE) & WS_CAPTION, WS_DLGFRAME);
    DestroyWindow(empty_list);
    DestroyWindow(no_list);
}

TEST(Window, ClassIsNamedAfterTheTitle) {
    const std::string title = fresh_title("named");
    HWND window = wt_create_window(GetModuleHandleA(nullptr), title.c_str(), 0, 0, 200, 100, "CLO");
    char name[256];
    GetClassNameA(window, name, sizeof name);
    EXPECT_EQ(name, title);
    GetWindowTextA(window, name, sizeof name);
    EXPECT_EQ(name, title);

    EXPECT_EQ(wt_create_window(GetModuleHandleA(nullptr), title.c_str(), 0, 0, 200, 100, "CLO"),
              nullptr);
    DestroyWindow(window);
}

TEST(Window, EmptyTitleNamesTheClassAfterTheInstance) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = wt_create_window(instance, "", 0, 0, 200, 100, "CLO");
    ASSERT_NE(window, nullptr);
    char expected[64], name[64];
    std::snprintf(expected, sizeof expected, "Class%lld",
                  static_cast<long long>(reinterpret_cast<LONG_PTR>(instance)));
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, expected);
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    DestroyWindow(window);
}

TEST(Window, HeightAddsTheCaption) {
    HWND window = make_window("MIN_NOMAX_CLO", 525, 513);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 525);
    EXPECT_EQ(r.bottom - r.top, 513 + GetSystemMetrics(SM_CYCAPTION));
    DestroyWindow(window);
}

int creates_seen = 0;

LRESULT CALLBACK counting_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE)
        ++creates_seen;
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(Window, WindowsRunTheProcedureHandedIn) {
    wt_set_window_procedure(counting_proc);
    HWND window = make_window("CLO");
    EXPECT_EQ(creates_seen, 1);
    SendMessageA(window, WM_CREATE, 0, 0); // later messages reach it too
    EXPECT_EQ(creates_seen, 2);
    wt_set_window_procedure(DefWindowProcA);
    DestroyWindow(window);
}

TEST(Background, StartsAsButtonFaceAndFollowsTheColourSet) {
    HWND window = make_window("CLO");
    EXPECT_EQ(brush_colour(window), GetSysColor(COLOR_BTNFACE));

    wt_set_background(window, RGB(200, 30, 40));
    EXPECT_EQ(brush_colour(window), RGB(200, 30, 40));
    UpdateWindow(window);
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, 50, 50), RGB(200, 30, 40));
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

TEST(Icon, MissingResourceLeavesTheClassWithoutIcon) {
    HWND window = make_window("CLO");
    EXPECT_EQ(wt_set_icon(window, "no such icon"), 0);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HICON), 0);
    DestroyWindow(window);
}

TEST(Center, PositionFollowsTheTruncatingFormula) {
    const int screen_width = GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = GetSystemMetrics(SM_CYSCREEN);
    const int caption = GetSystemMetrics(SM_CYCAPTION);

    // Odd remainders: 499 / 2 and 219 / 2 lose their halves.
    HWND window = make_window("CLO", screen_width - 499, screen_height - 2 * caption - 219);
    wt_center_window(window);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 249);
    EXPECT_EQ(r.top, 109);
    EXPECT_EQ(r.right - r.left, screen_width - 499);
    DestroyWindow(window);

    // Wider than the screen: -11 / 2 truncates toward zero, to -5.
    window = make_window("CLO", screen_width + 11, 100);
    wt_center_window(window);
    GetWindowRect(window, &r);
    ASSERT_EQ(r.right - r.left, screen_width + 11);
    EXPECT_EQ(r.left, -5);
    DestroyWindow(window);
}

} // namespace
