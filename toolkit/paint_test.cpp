#include "toolkit/paint.h"
#include "toolkit/top_window.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

constexpr COLORREF BACKGROUND = RGB(0, 128, 128);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF YELLOW = RGB(255, 255, 128);
constexpr COLORREF TRANSPARENT_BACKGROUND = 0;

class Paint : public ::testing::Test {
  protected:
    void SetUp() override {
        static int count = 0;
        const std::string title = "paint_test " + std::to_string(++count);
        window =
            wt_create_window(GetModuleHandleA(nullptr), title.c_str(), 0, 0, 700, 520, "NOLIST");
        ASSERT_NE(window, nullptr);
        wt_set_background(window, BACKGROUND);
        UpdateWindow(window);
        dc = GetDC(window);
    }
    void TearDown() override {
        ReleaseDC(window, dc);
        DestroyWindow(window);
    }

    COLORREF pixel(int x, int y) { return GetPixel(dc, x, y); }

    int count_in(RECT area, COLORREF colour) {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += pixel(x, y) == colour;
        return count;
    }

    // Whether the two areas of width by height at these corners hold the same pixels.
    bool same_pixels(int x1, int x2, int y, int width, int height) {
        for (int dy = 0; dy < height; ++dy)
            for (int dx = 0; dx < width; ++dx)
                if (pixel(x1 + dx, y + dy) != pixel(x2 + dx, y + dy))
                    return false;
        return true;
    }

    void clear() {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }

    HWND window = nullptr;
    HDC dc = nullptr;
};

struct FramePixel {
    int x, y;
    bool first_pen;
};

// Midpoints of the ten lines of the frame 10, 40, 210 x 440, inset 1 (s = 21), and gaps and
// end points that stay untouched.
const FramePixel FRAME_PIXELS[] = {
    {16, 42, true},    {120, 42, true},  {115, 481, true}, {220, 260, true}, {12, 260, true},
    {10, 481, true},   {220, 40, true},  {15, 40, false},  {120, 40, false}, {115, 479, false},
    {218, 260, false}, {10, 260, false}, {218, 42, false},
};
const POINT FRAME_GAPS[] = {{11, 260}, {219, 260}, {221, 481}, {115, 480},
                            {115, 41}, {222, 40},  {10, 482}};

TEST_F(Paint, LowerFrameIsAGroove) {
    EXPECT_EQ(wt_paint_frame(window, 10, 40, 210, 440, "LOWER", 1), 0);
    for (const FramePixel &p : FRAME_PIXELS) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_EQ(pixel(p.x, p.y), p.first_pen ? WHITE : BLACK);
    }
    for (const POINT &p : FRAME_GAPS)
        EXPECT_EQ(pixel(p.x, p.y), BACKGROUND) << p.x << "," << p.y;
}

TEST_F(Paint, AnyOtherKeywordDrawsARidge) {
    for (const char *style : {"RIDGE", "lower", "LOWER "}) {
        SCOPED_TRACE(style);
        clear();
        wt_paint_frame(window, 10, 40, 210, 440, style, 1);
        for (const FramePixel &p : FRAME_PIXELS)
            EXPECT_EQ(pixel(p.x, p.y), p.first_pen ? BLACK : WHITE) << p.x << "," << p.y;
    }
}

TEST_F(Paint, NarrowFrameSplitsItsTopAtTheInset) {
    // s = 302: the inner top starts one pixel left of the inner left edge.
    wt_paint_frame(window, 300, 40, 19, 30, "LOWER", 2);
    EXPECT_EQ(pixel(301, 43), BACKGROUND);
    for (int x = 302; x < 316; ++x)
        EXPECT_EQ(pixel(x, 43), WHITE) << x;
    for (int x = 300; x < 319; ++x)
        EXPECT_EQ(pixel(x, 40), BLACK) << x;
}

TEST_F(Paint, TransparentTextLeavesTheBackground) {
    const RECT cells = {20, 20, 120, 36};
    EXPECT_EQ(wt_paint_text(window, 20, 20, "HHHHH", RED, nullptr, TRANSPARENT_BACKGROUND), 0);
    EXPECT_GT(count_in(cells, RED), 0);
    EXPECT_GT(count_in(cells, BACKGROUND), 0);
    EXPECT_EQ(pixel(20, 20), BACKGROUND);
}

TEST_F(Paint, OpaqueTextFillsItsCells) {
    const RECT cells = {20, 20, 50, 30};
    wt_paint_text(window, 20, 20, "HHHHH", RED, nullptr, YELLOW);
    EXPECT_GT(count_in(cells, RED), 0);
    EXPECT_EQ(count_in(cells, BACKGROUND), 0);
    EXPECT_EQ(pixel(20, 20), YELLOW);
}

TEST_F(Paint, DrawsOutsideTheUpdateRegionAndValidatesIt) {
    ValidateRect(window, nullptr);
    RECT small = {600, 400, 610, 410};
    InvalidateRect(window, &small, FALSE);
    wt_paint_text(window, 20, 20, "HHHHH", RED, nullptr, YELLOW);
    EXPECT_EQ(pixel(20, 20), YELLOW);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
}

COLORREF first_background = YELLOW;

// A paint handler that, like the calculator's, paints label after label and leaves the rest to
// no one: the first label validates, the later ones still draw.
LRESULT CALLBACK two_label_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_PAINT)
        return DefWindowProcA(window, message, wparam, lparam);
    wt_paint_text(window, 20, 20, "HHHHH", RED, nullptr, first_background);
    wt_paint_text(window, 20, 60, "HHHHH", RED, nullptr, WHITE);
    return 0;
}

struct PaintHandler : ::testing::Test {
    HWND window = nullptr;

    void SetUp() override {
        wt_set_window_procedure(two_label_proc);
        window =
            wt_create_window(GetModuleHandleA(nullptr), "paint handler", 0, 0, 300, 200, "NOLIST");
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        UnregisterClassA("paint handler", GetModuleHandleA(nullptr));
        wt_set_window_procedure(DefWindowProcA);
        first_background = YELLOW;
    }
    COLORREF pixel(int x, int y) {
        HDC dc = GetDC(window);
        const COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return colour;
    }
};

TEST_F(PaintHandler, LabelsAfterTheFirstDrawAndTheWindowEndsValid) {
    for (int round = 0; round < 2; ++round) {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        EXPECT_EQ(pixel(20, 20), YELLOW);
        EXPECT_EQ(pixel(20, 60), WHITE);
        EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    }
}

TEST_F(PaintHandler, DrawsOnlyWhereTheWindowIsBeingPainted) {
    UpdateWindow(window);
    first_background = WHITE;
    RECT left_part = {0, 0, 25, 200};
    InvalidateRect(window, &left_part, TRUE);
    UpdateWindow(window);
    EXPECT_EQ(pixel(20, 20), WHITE);
    EXPECT_EQ(pixel(30, 20), YELLOW); // left as the first paint drew it
    // Asked to paint with nothing to paint, it draws nothing.
    SendMessageA(window, WM_PAINT, 0, 0);
    EXPECT_EQ(pixel(30, 20), YELLOW);
}

TEST_F(Paint, NumbersShowAsTheirFormattedText) {
    constexpr double INF = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        int precision;
        const char *text;
    } cases[] = {
        {3.7, 0, "4"},
        {12.5, 2, "12.50"},
        {1.0 / 3, 6, "0.333333"},
        {2.5, 9, "2.50000000"},
        {2.5, 100, "2.50000000"},
        {3.7, -1, "4"},
        {INF, 2, "inf"},
        {-INF, 8, "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), 2, "nan"},
        {1e100, 8, "1.00000000e+100"},
        {-1e100, 0, "-1e+100"},
    };
    HFONT font = CreateFontA(-16, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        clear();
        EXPECT_EQ(wt_paint_number(window, 10, 100, c.value, c.precision, RED, nullptr, YELLOW), 0);
        wt_paint_text(window, 350, 100, c.text, RED, nullptr, YELLOW);
        wt_paint_number(window, 10, 200, c.value, c.precision, RED, font, TRANSPARENT_BACKGROUND);
        wt_paint_text(window, 350, 200, c.text, RED, font, TRANSPARENT_BACKGROUND);
        EXPECT_TRUE(same_pixels(10, 350, 100, 330, 30));
        EXPECT_TRUE(same_pixels(10, 350, 200, 330, 30));
    }
    DeleteObject(font);
}

TEST_F(Paint, EmbossedOffsetIsClampedToThree) {
    const struct { int offset, clamped; } cases[] = {{7, 3}, {-9, -3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.offset);
        clear();
        EXPECT_EQ(wt_paint_embossed_text(window, 20, 100, c.offset, "Relief", RED, nullptr,
                                         TRANSPARENT_BACKGROUND),
                  0);
        wt_paint_embossed_text(window, 300, 100, c.clamped, "Relief", RED, nullptr,
                               TRANSPARENT_BACKGROUND);
        EXPECT_TRUE(same_pixels(10, 290, 90, 200, 40));
    }
}

TEST_F(Paint, EmbossedTextShowsWhiteBesideTheColouredCopy) {
    const RECT area = {10, 90, 200, 130};
    wt_paint_embossed_text(window, 20, 100, 2, "Relief", RED, nullptr, YELLOW);
    EXPECT_GT(count_in(area, WHITE), 0);
    EXPECT_GT(count_in(area, RED), 0);
    EXPECT_EQ(count_in(area, YELLOW), 0);

    clear();
    wt_paint_embossed_text(window, 20, 100, 0, "Relief", RED, nullptr, TRANSPARENT_BACKGROUND);
    EXPECT_EQ(count_in(area, WHITE), 0);
    EXPECT_GT(count_in(area, RED), 0);
}

} // namespace
