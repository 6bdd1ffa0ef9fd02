#include "window/calculator.h"

#include "window/measure_dialog.h"

#include "engine/driver.h"
#include "engine/driver_file.h"
#include "toolkit/controls.h"
#include "toolkit/paint.h"
#include "toolkit/test_support/box_catcher.h"
#include "window/test_support/calculator_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const char *const WORKED[INPUT_COUNT] = {"30", "6",    "40",   "500", "50",
                                         "3",  "0.45", "0.39", "25",  "20"};
const char *const WORKED_COLUMN[VALUE_ROW_COUNT] = {
    "30.00",    "6.00",  "40.00", "500.00",   "50.00", "3.00",  "0.45",
    "0.39",     "6.67",  "2.58",  "15.49",    "6.43",  "45.45", "0.000618",
    "0.000468", "10.70", "51.88", "0.002880", "86.79", "34.00"};

constexpr int VALUE_X = 410, UNIT_X = 465, ROW_TOP = 70, ROW_STEP = 20, ROW_HEIGHT = 16;

struct Calculator : ::testing::Test {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = nullptr;

    void SetUp() override {
        window = create_calculator(instance);
        ASSERT_NE(window, nullptr);
        UpdateWindow(window);
    }
    void TearDown() override { close_calculator(window); }

    std::vector<std::string> calculate(WPARAM command = ID_CALCULATE) {
        start_catching_boxes();
        SendMessageA(window, WM_COMMAND, command, 0);
        std::vector<std::string> texts;
        for (const CaughtBox &box : stop_catching_boxes()) {
            EXPECT_EQ(box.caption, "INMATNINGSFEL");
            EXPECT_EQ(box.owner, window);
            EXPECT_EQ(box.style, static_cast<UINT>(MB_OK));
            texts.push_back(box.text);
        }
        UpdateWindow(window);
        return texts;
    }
};

// The client pixels of a rectangle, row by row.
std::vector<COLORREF> capture(HDC source, int x, int y, int width, int height) {
    HDC dc = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, source, x, y, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
            pixels.push_back(GetPixel(dc, i, j));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// What the value column shows in a row, compared with the same text drawn in the label font in
// red on the window's background.
std::vector<COLORREF> expected_row(HWND window, const char *text) {
    static HFONT label_font = wt_create_font(16, 6, 0, 300, 0, 0, "Arial");
    const int width = UNIT_X - VALUE_X;
    HDC screen = GetDC(window);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, ROW_HEIGHT);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, ROW_HEIGHT};
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &all, face);
    DeleteObject(face);
    HGDIOBJ old_font = SelectObject(dc, label_font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 0, 0));
    TextOutA(dc, 0, 0, text, lstrlenA(text));
    SelectObject(dc, old_font);
    std::vector<COLORREF> pixels = capture(dc, 0, 0, width, ROW_HEIGHT);
    SelectObject(dc, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(window, screen);
    return pixels;
}

std::vector<COLORREF> shown_row(HWND window, int row) {
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels =
        capture(dc, VALUE_X, ROW_TOP + row * ROW_STEP, UNIT_X - VALUE_X, ROW_HEIGHT);
    ReleaseDC(window, dc);
    return pixels;
}

void expect_column(HWND window, const char *const texts[VALUE_ROW_COUNT]) {
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        EXPECT_TRUE(shown_row(window, row) == expected_row(window, texts[row]))
            << "row " << row << " does not show " << texts[row];
}

TEST_F(Calculator, WindowTitleStyleSizeAndPlace) {
    char title[128];
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Elemtrix       Ber\xE4knar TS-parametrar ur uppm\xE4tt element");
    GetClassNameA(window, title, sizeof title);
    EXPECT_STREQ(title, CALCULATOR_TITLE);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              WS_SYSMENU | WS_MINIMIZEBOX);
    RECT r;
    GetWindowRect(window, &r);
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(r.right - r.left, 525);
    EXPECT_EQ(r.bottom - r.top, 513 + caption);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 525) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (513 + caption + caption)) / 2);
    ICONINFO icon;
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON)), &icon));
    BITMAP mask;
    GetObjectA(icon.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    DeleteObject(icon.hbmMask);
    DeleteObject(icon.hbmColor);
}

// Below the system's own commands, after a separator; the client area keeps nothing of them.
TEST_F(Calculator, TheWindowMenuEndsWithItsOwnCommands) {
    const struct {
        const char *text;
        WPARAM id;
    } commands[] = {{"M\xE4t impedans\x85", ID_MEASURE_IMPEDANCE},
                    {"L\xE5"
                     "dber\xE4kning\x85",
                     ID_BOX_DIALOG},
                    {"Om Elemtrix\x85", ID_ABOUT}};
    constexpr int COMMANDS = sizeof commands / sizeof commands[0];
    const HMENU menu = GetSystemMenu(window, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, COMMANDS + 2);
    const int separator = count - COMMANDS - 1;
    EXPECT_EQ(GetMenuState(menu, separator, MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuState(menu, separator - 1, MF_BYPOSITION) & MF_SEPARATOR, 0u)
        << "one separator only";
    for (int i = 0; i < COMMANDS; ++i) {
        const int item = separator + 1 + i;
        char text[64];
        GetMenuStringA(menu, item, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, commands[i].text);
        EXPECT_EQ(GetMenuItemID(menu, item), commands[i].id);
        EXPECT_EQ(GetMenuState(menu, item, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED), 0u);
        EXPECT_LT(commands[i].id, static_cast<WPARAM>(SC_SIZE));
        EXPECT_EQ(commands[i].id & 0xF, 0u);
    }
}

// The menu's "Mät impedans…" opens the dialog, and a second choice brings the same one forward.
TEST_F(Calculator, MeasureImpedanceOpensOneDialog) {
    SendMessageA(window, WM_SYSCOMMAND, ID_MEASURE_IMPEDANCE | 2, 0);
    const HWND dialog = measure_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), window);
    SendMessageA(window, WM_SYSCOMMAND, ID_MEASURE_IMPEDANCE, 0);
    EXPECT_EQ(measure_dialog(), dialog);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(measure_dialog(), nullptr);
}

TEST_F(Calculator, AboutTellsNameVersionAndPurpose) {
    start_catching_boxes();
    // The system may set the low four bits of a menu command.
    SendMessageA(window, WM_SYSCOMMAND, ID_ABOUT | 2, 0);
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Om Elemtrix");
    EXPECT_EQ(boxes[0].owner, window);
    EXPECT_EQ(boxes[0].text, "Elemtrix " ELEMTRIX_VERSION "\n\nBer\xE4knar Thiele/Small-parametrar "
                             "f\xF6r h\xF6gtalarelement ur uppm\xE4tta v\xE4rden eller uppm\xE4tta "
                             "impedanskurvor.");
    // The system's own commands still work.
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Calculator, FieldsWhereTheLayoutPutsThem) {
    struct Expected {
        int x, y, width, limit;
    } fields[DRIVER_FILE_LINES] = {
        {160, 10, 200, 100}, {120, 100, 45, 8}, {120, 130, 45, 8}, {120, 160, 45, 8},
        {120, 190, 45, 4},   {120, 220, 45, 8}, {120, 250, 45, 8}, {120, 280, 45, 8},
        {120, 310, 45, 8},   {120, 370, 40, 8}, {120, 400, 40, 8},
    };
    HDC dc = GetDC(window);
    const int field_height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(window, dc);
    for (int line = 0; line < DRIVER_FILE_LINES; ++line) {
        HWND field = calculator_field(line);
        RECT r;
        GetWindowRect(field, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&r), 2);
        EXPECT_EQ(r.left, fields[line].x) << line;
        EXPECT_EQ(r.top, fields[line].y) << line;
        EXPECT_EQ(r.right - r.left, fields[line].width) << line;
        EXPECT_EQ(r.bottom - r.top, 20) << line;
        EXPECT_EQ(SendMessageA(field, EM_GETLIMITTEXT, 0, 0), fields[line].limit) << line;
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(field, WM_GETFONT, 0, 0));
        if (line == 0) {
            EXPECT_EQ(font, nullptr); // the system font
            continue;
        }
        LOGFONTA lf;
        ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf));
        EXPECT_EQ(lf.lfHeight, field_height);
        EXPECT_EQ(lf.lfWeight, 400);
        EXPECT_STREQ(lf.lfFaceName, "Arial");
    }
}

TEST_F(Calculator, ThreeDefaultButtons) {
    struct Expected {
        WPARAM id;
        const char *caption;
        int x, y;
    } buttons[] = {{ID_CALCULATE, "Kalkylera", 234, 200},
                   {ID_OPEN, "\xD6ppna", 10, 10},
                   {ID_SAVE, "Spara", 459, 10}};
    for (const Expected &b : buttons) {
        HWND button = GetDlgItem(window, static_cast<int>(b.id));
        ASSERT_NE(button, nullptr) << b.caption;
        char caption[32];
        GetWindowTextA(button, caption, sizeof caption);
        EXPECT_STREQ(caption, b.caption);
        RECT r;
        GetWindowRect(button, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&r), 2);
        EXPECT_EQ(r.left, b.x);
        EXPECT_EQ(r.top, b.y);
        EXPECT_EQ(r.right - r.left, 50);
        EXPECT_EQ(r.bottom - r.top, 25);
        EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & 0xFFFF, 0x1301);
    }
}

TEST_F(Calculator, ZerosBeforeTheFirstCalculation) {
    const char *zeros[VALUE_ROW_COUNT];
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        zeros[row] = row == 13 || row == 14 || row == 17 ? "0.000000" : "0.00";
    expect_column(window, zeros);
}

TEST_F(Calculator, WorkedExampleWithoutMessages) {
    type_inputs(WORKED);
    EXPECT_TRUE(calculate().empty());
    expect_column(window, WORKED_COLUMN);
    EXPECT_TRUE(calculate().empty()); // again: the same column
    expect_column(window, WORKED_COLUMN);
}

TEST_F(Calculator, AllEmptyGivesTenNoInputBoxesThenNan) {
    const std::vector<std::string> expected = {"Fs: Ingen inmatning!",
                                               "Re: Ingen inmatning!",
                                               "Zmax: Ingen inmatning!",
                                               "Sd: Ingen inmatning!",
                                               "Vas: Ingen inmatning!",
                                               "Qms: Ingen inmatning!",
                                               "Qes: Ingen inmatning!",
                                               "Qts: Ingen inmatning!",
                                               "Fs med adderad massa: Ingen inmatning!",
                                               "Vikt ad.massa: Anv\xE4nd Ingen inmatning!"};
    EXPECT_EQ(calculate(), expected);
    const char *column[VALUE_ROW_COUNT];
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        column[row] = row < 8 || row == 11 || row == 19 ? "0.00" : "nan";
    expect_column(window, column);
}

TEST_F(Calculator, DoubtfulEntriesInTheirOrder) {
    const char *texts[INPUT_COUNT] = {"12,5", "abc", "a1,5", "1", "123456,7",
                                      "1e3",  "-5",  "1",    "1", "1"};
    type_inputs(texts);
    const std::string digits = ": Anv\xE4nd endast siffror!",
                      comma = ": Anv\xE4nd punkt som komma!";
    const std::vector<std::string> expected = {
        "Re" + digits,          "Zmax" + digits,        "Re" + digits,
        "Qms" + digits,         "Fs" + comma,           "Zmax" + comma,
        "Re" + digits,          "Re: Ingen inmatning!", "Zmax: Ingen inmatning!",
        "Qes: Ingen inmatning!"};
    EXPECT_EQ(calculate(), expected);
    EXPECT_TRUE(shown_row(window, 0) == expected_row(window, "12.00"));
    EXPECT_TRUE(shown_row(window, 4) == expected_row(window, "1.23e+05"));
    EXPECT_TRUE(shown_row(window, 5) == expected_row(window, "1000.00"));
}

TEST_F(Calculator, OnlyTheWholeCommandRunsIt) {
    EXPECT_TRUE(calculate(MAKEWPARAM(ID_CALCULATE, 1)).empty());
    // Enter and Tab in a field reach the window as commands 13 and 9, which run nothing.
    start_catching_boxes();
    for (WPARAM key : {VK_RETURN, VK_TAB}) {
        SendMessageA(calculator_field(1), WM_KEYDOWN, key, 0);
        SendMessageA(calculator_field(1), WM_CHAR, key, 0);
    }
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    EXPECT_TRUE(stop_catching_boxes().empty());
}

TEST_F(Calculator, ValuesOfMoreThanEightCharactersTakeExponentForm) {
    const char *wide[INPUT_COUNT] = {"12345.67", "-1234.56", "123456", "500", "-12345.6",
                                     "3",        "0.45",     "0.39",   "25",  "20"};
    type_inputs(wide);
    calculate();
    const char *shown[] = {"12345.67", "-1234.56", "1.23e+05", "500.00", "-1.2e+04"};
    for (int row = 0; row < 5; ++row)
        EXPECT_TRUE(shown_row(window, row) == expected_row(window, shown[row])) << shown[row];
    type_inputs(WORKED);
    calculate();
    expect_column(window, WORKED_COLUMN); // nothing of the wider texts is left
}

TEST_F(Calculator, LabelFontHasWindowsArialWidths) {
    // The widest texts of at most eight characters that the value column shows must end by
    // x 470, where the erased strip ends; that means something only with Windows' widths.
    HDC dc = GetDC(window);
    HFONT font = wt_create_font(16, 6, 0, 300, 0, 0, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size;
    GetTextExtentPoint32A(dc, "0.000618", 8, &size);
    EXPECT_EQ(size.cx, 60);
    for (const char *widest : {"88888.88", "-8888.88", "8.88e+88", "-8.8e-88"}) {
        GetTextExtentPoint32A(dc, widest, 8, &size);
        EXPECT_LE(VALUE_X + size.cx, 470) << widest;
    }
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(window, dc);
}

// The window's own painting, without its child windows, whose carets blink.
std::vector<COLORREF> painted_pixels(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels = capture(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(window, dc);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&r), 2);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                pixels[y * client.right + x] = 0;
    }
    return pixels;
}

int differing(const std::vector<COLORREF> &a, const std::vector<COLORREF> &b) {
    int count = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}

TEST_F(Calculator, RepaintsLeaveEveryPixelAsTheFirstPaintDid) {
    const std::vector<COLORREF> first = painted_pixels(window);
    type_inputs(WORKED);
    calculate();
    const std::vector<COLORREF> once = painted_pixels(window);
    for (int press = 1; press < 20; ++press)
        calculate();
    EXPECT_EQ(differing(painted_pixels(window), once), 0);
    // Outside the value column the first paint is what stays, its heading included.
    RECT client;
    GetClientRect(window, &client);
    std::vector<COLORREF> outside = once, first_outside = first;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 380; x < 470; ++x)
            outside[y * client.right + x] = first_outside[y * client.right + x] = 0;
    EXPECT_EQ(differing(outside, first_outside), 0);
}

TEST_F(Calculator, ClosingEndsTheLoopWithZero) {
    DestroyWindow(window);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 0u);
}

} // namespace
