#include "toolkit/controls.h"
#include "toolkit/top_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

int erases_seen = 0;

LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND)
        ++erases_seen;
    return DefWindowProcA(window, message, wparam, lparam);
}

class Controls : public ::testing::Test {
  protected:
    void SetUp() override {
        static int count = 0;
        const std::string title = "controls_test " + std::to_string(++count);
        wt_set_window_procedure(parent_proc);
        parent = wt_create_window(GetModuleHandleA(nullptr), title.c_str(), 0, 0, 400, 300, "CLO");
        ASSERT_NE(parent, nullptr);
        UpdateWindow(parent);
    }
    void TearDown() override { DestroyWindow(parent); }

    // The commands the edit filter posted to the parent, in order.
    std::vector<WPARAM> posted_commands() {
        std::vector<WPARAM> commands;
        MSG message;
        while (PeekMessageA(&message, parent, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
            EXPECT_EQ(message.lParam, 0);
            commands.push_back(message.wParam);
        }
        return commands;
    }

    std::string text_of(HWND control) {
        char text[256];
        GetWindowTextA(control, text, sizeof text);
        return text;
    }

    DWORD caret_of(HWND edit) {
        DWORD start = 0;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        return start;
    }

    HWND parent = nullptr;
};

TEST_F(Controls, EditStyleFollowsTheAlignmentKeyword) {
    const struct {
        const char *alignment;
        LONG style;
    } cases[] = {
        {"NR", 0x50012182}, {"C", 0x50010181}, {"L", 0x50010180},
        {"X", 0x50010180},  {"l", 0x50010180},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.alignment);
        HWND edit = wt_create_edit(parent, 10, 10, 100, 24, c.alignment, 10);
        EXPECT_EQ(GetWindowLongA(edit, GWL_STYLE), c.style);
        EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE), WS_EX_CLIENTEDGE);
        EXPECT_EQ(GetDlgCtrlID(edit), 1);
        EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(wt_edit_proc));
        EXPECT_EQ(text_of(edit), "");
    }
}

TEST_F(Controls, KeyFilterPassesCaretKeysAndPostsTheRest) {
    HWND edit = wt_create_edit(parent, 10, 10, 100, 24, "L", 10);
    wt_set_text(edit, "123");
    SendMessageA(edit, EM_SETSEL, 1, 1);
    posted_commands();

    SendMessageA(edit, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(text_of(edit), "123");
    EXPECT_EQ(posted_commands(), std::vector<WPARAM>{46});

    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(edit, WM_CHAR, '\r', 0);
    SendMessageA(edit, WM_CHAR, '\t', 0);
    EXPECT_EQ(text_of(edit), "123");
    EXPECT_EQ(posted_commands(), std::vector<WPARAM>{13});

    SendMessageA(edit, WM_KEYDOWN, '5', 0);
    SendMessageA(edit, WM_CHAR, '5', 0);
    EXPECT_EQ(text_of(edit), "1523");
    EXPECT_EQ(posted_commands(), std::vector<WPARAM>{53});

    SendMessageA(edit, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(caret_of(edit), 3u);
    SendMessageA(edit, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageA(edit, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(caret_of(edit), 1u);
    SendMessageA(edit, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(caret_of(edit), 4u);
    SendMessageA(edit, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(caret_of(edit), 0u);
    EXPECT_TRUE(posted_commands().empty());
}

TEST_F(Controls, GetTextReadsUpToTheLimit) {
    HWND edit = wt_create_edit(parent, 10, 10, 100, 24, "L", 4);
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(wt_get_text(edit, buffer), 0);
    EXPECT_STREQ(buffer, "");

    wt_set_text(edit, "abcd");
    EXPECT_EQ(wt_get_text(edit, buffer), 4);
    EXPECT_STREQ(buffer, "abcd");

    // Set text may pass the limit; the read still stops at limit plus terminator.
    wt_set_text(edit, "abcdefgh");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(wt_get_text(edit, buffer), 4);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'x');
}

TEST_F(Controls, SetTextShowsTextLongerThanTheLimit) {
    HWND edit = wt_create_edit(parent, 10, 10, 100, 24, "L", 8);
    EXPECT_EQ(wt_set_text(edit, "0123456789AB"), 0);
    EXPECT_EQ(text_of(edit), "0123456789AB");
}

TEST_F(Controls, ButtonStyleFollowsAlignmentAndLook) {
    const struct {
        const char *alignment;
        const char *look;
        LONG style;
        LONG ex_style;
    } cases[] = {
        {"X", "SHADOW", 0x50001301, 0},
        {"C", "SHADOW", 0x50001301, 0},
        {"RB", "EDGE", 0x50401A00, WS_EX_CLIENTEDGE},
        {"LT", "SUNKEN_SHADOW", 0x50001501, WS_EX_CLIENTEDGE},
        {"B", "BAR_SHADOW", 0x50401801, 0},
        {"L", "unknown", 0x50001100, 0},
    };
    int id = 1000;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.look);
        HWND button = wt_create_button(parent, 10, 50, 100, 30, "Knapp", c.alignment, c.look, id);
        EXPECT_EQ(GetWindowLongA(button, GWL_STYLE), c.style);
        // The platform gives a dialog frame a window edge of its own.
        EXPECT_EQ(GetWindowLongA(button, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, c.ex_style);
        EXPECT_EQ(GetDlgCtrlID(button), id++);
        EXPECT_EQ(GetParent(button), parent);
        EXPECT_EQ(text_of(button), "Knapp");
        EXPECT_EQ(SendMessageA(button, WM_GETFONT, 0, 0),
                  reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
    }
}

TEST_F(Controls, RedrawInvalidatesOnlyForItsKeywords) {
    const RECT rectangle = {380, 40, 470, 480};
    const struct {
        const char *keyword;
        int result;
        int erases;
    } cases[] = {{"ERASED", 0, 1}, {"UNERASED", 0, 0}, {"erased", 1, 0}, {"", 1, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keyword);
        ValidateRect(parent, nullptr);
        EXPECT_EQ(wt_redraw(parent, {10, 20, 30, 40}, c.keyword), c.result);
        RECT update;
        EXPECT_EQ(GetUpdateRect(parent, &update, FALSE) != 0, c.result == 0);
        erases_seen = 0;
        UpdateWindow(parent);
        EXPECT_EQ(erases_seen, c.erases);
    }
    ValidateRect(parent, nullptr);
    wt_redraw(parent, rectangle, "ERASED");
    RECT update;
    GetUpdateRect(parent, &update, FALSE);
    EXPECT_EQ(update.left, 380);
    EXPECT_EQ(update.top, 40);
}

LOGFONTA logfont_of(HFONT font) {
    LOGFONTA logfont = {};
    GetObjectA(font, sizeof logfont, &logfont);
    return logfont;
}

TEST_F(Controls, StyleCodeSetsItalicUnderlineAndStrikeOut) {
    const struct {
        int code;
        bool italic, underline, strike_out;
    } cases[] = {
        {0, false, false, false}, {1, true, false, false}, {2, false, true, false},
        {3, false, false, true},  {12, true, true, false}, {13, true, false, true},
        {23, false, true, true},  {123, true, true, true}, {4, false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        const LOGFONTA font = logfont_of(wt_create_font(20, 8, 0, 300, c.code, 0, "Arial"));
        EXPECT_EQ(font.lfItalic != 0, c.italic);
        EXPECT_EQ(font.lfUnderline != 0, c.underline);
        EXPECT_EQ(font.lfStrikeOut != 0, c.strike_out);
        const LOGFONTA point_font =
            logfont_of(wt_create_point_font(parent, 8, 400, c.code, "Arial"));
        EXPECT_EQ(point_font.lfItalic != 0, c.italic);
        EXPECT_EQ(point_font.lfUnderline != 0, c.underline);
        EXPECT_EQ(point_font.lfStrikeOut != 0, c.strike_out);
    }
}

TEST_F(Controls, FontFieldsArePassedThrough) {
    const LOGFONTA font = logfont_of(wt_create_font(16, 6, 900, 300, 0, FF_ROMAN, "Arial"));
    EXPECT_EQ(font.lfHeight, 16);
    EXPECT_EQ(font.lfWidth, 6);
    EXPECT_EQ(font.lfEscapement, 900);
    EXPECT_EQ(font.lfOrientation, 900);
    EXPECT_EQ(font.lfWeight, 300);
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(font.lfPitchAndFamily, FF_ROMAN);
    EXPECT_STREQ(font.lfFaceName, "Arial");
}

TEST_F(Controls, PointFontHeightComesFromTheScreenResolution) {
    HDC dc = GetDC(parent);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(parent, dc);

    const LOGFONTA font = logfont_of(wt_create_point_font(parent, 8, 400, 0, "Arial"));
    EXPECT_EQ(font.lfHeight, -MulDiv(8, dpi, 72));
    if (dpi == 96) {
        EXPECT_EQ(font.lfHeight, -11);
    }
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfPitchAndFamily, FF_SWISS | DEFAULT_PITCH);
}

TEST_F(Controls, SetFontGivesTheControlItsFont) {
    HWND edit = wt_create_edit(parent, 10, 10, 100, 24, "L", 10);
    HFONT font = wt_create_point_font(parent, 10, 400, 0, "Arial");
    EXPECT_EQ(wt_set_font(edit, font), 0);
    EXPECT_EQ(SendMessageA(edit, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
}

} // namespace
