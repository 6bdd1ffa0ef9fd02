#include "toolkit/plot.h"

#include "toolkit/test_support/screenshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

namespace {

constexpr COLORREF BLUE = RGB(0, 0, 192), RED = RGB(192, 0, 0), GREEN = RGB(0, 128, 0);
constexpr COLORREF SHADE = RGB(214, 230, 250), BLACK = RGB(0, 0, 0);
constexpr int WIDTH = 480, HEIGHT = 260;
constexpr double PI = 3.14159265358979323846;

HWND parent() {
    static HWND window = [] {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = DefWindowProcA;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = "PlotTestParent";
        RegisterClassA(&window_class);
        return CreateWindowExA(0, window_class.lpszClassName, "Plot", WS_POPUP | WS_VISIBLE, 0, 0,
                               WIDTH + 20, HEIGHT + 20, nullptr, nullptr, window_class.hInstance,
                               nullptr);
    }();
    return window;
}

struct Plot : ::testing::Test {
    HWND plot = nullptr;
    void SetUp() override {
        plot = wt_create_plot(parent(), 10, 10, WIDTH, HEIGHT, 7);
        ASSERT_NE(plot, nullptr);
    }
    void TearDown() override { DestroyWindow(plot); }

    std::vector<COLORREF> pixels() {
        UpdateWindow(plot);
        HDC dc = GetDC(plot);
        std::vector<COLORREF> all;
        for (int y = 0; y < HEIGHT; ++y)
            for (int x = 0; x < WIDTH; ++x)
                all.push_back(GetPixel(dc, x, y));
        ReleaseDC(plot, dc);
        return all;
    }
    COLORREF pixel(int x, int y) {
        HDC dc = GetDC(plot);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(plot, dc);
        return c;
    }
    void fill(RECT r, COLORREF colour) {
        HDC dc = GetDC(plot);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ReleaseDC(plot, dc);
    }
};

// A driver's impedance: Re 6 ohm, Fs 38 Hz, Qms 4.1, Qes 0.42, Le 0.5 mH.
struct Driver {
    double f[241], magnitude[241], phase[241];
    Driver() {
        for (int i = 0; i < 241; ++i) {
            f[i] = 10 * std::pow(2000.0, i / 240.0);
            const double x = f[i] / 38 - 38 / f[i];
            const std::complex<double> z = 6.0 + std::complex<double>(0, 2 * PI * f[i] * 5e-4) +
                                           6.0 * 4.1 / 0.42 / std::complex<double>(1, 4.1 * x);
            magnitude[i] = std::abs(z);
            phase[i] = std::arg(z) * 180 / PI;
        }
    }
};

const double BAND_F[] = {20, 2000}, BAND_LOW[] = {-1e6, -1e6}, BAND_HIGH[] = {1e6, 1e6};

void show_driver(HWND plot, const Driver &d) {
    wt_plot_frequencies(plot, 10, 20000);
    wt_plot_axis(plot, WT_PLOT_LEFT, "|Z|", "ohm", 0, 0);
    wt_plot_axis(plot, WT_PLOT_RIGHT, "fas", "°", -90, 90);
    wt_plot_band(plot, WT_PLOT_LEFT, SHADE, BAND_F, BAND_LOW, BAND_HIGH, 2);
    wt_plot_curve(plot, WT_PLOT_LEFT, "|Z|", BLUE, d.f, d.magnitude, 241);
    wt_plot_curve(plot, WT_PLOT_RIGHT, "fas", RED, d.f, d.phase, 241);
    wt_plot_marker(plot, 38);
}

TEST_F(Plot, DriverImpedanceForTheGoldenImage) {
    const Driver d;
    show_driver(plot, d);
    UpdateWindow(plot);
    ASSERT_TRUE(write_client_bitmap(plot, "plot.bmp"));
}

// Three significant digits; the degree sign follows the number, Windows-1252.
TEST_F(Plot, TheReadoutGivesEachCurveWhereTheMarkerStands) {
    const double f[] = {10, 100, 1000}, z[] = {1, 2, 3};
    const double f_phase[] = {10, 1000}, phase[] = {-90, 90};
    const double f_short[] = {200, 300}, short_curve[] = {7, 8};
    wt_plot_axis(plot, WT_PLOT_RIGHT, "fas", "\xB0", -90, 90);
    wt_plot_axis(plot, WT_PLOT_LEFT, "|Z|", "ohm", 0, 0);
    wt_plot_curve(plot, WT_PLOT_LEFT, "|Z|", BLUE, f, z, 3);
    wt_plot_curve(plot, WT_PLOT_RIGHT, "fas", RED, f_phase, phase, 2);
    wt_plot_curve(plot, WT_PLOT_LEFT, "kort", GREEN, f_short, short_curve, 2);
    EXPECT_STREQ(wt_plot_readout(plot), "");
    wt_plot_marker(plot, std::sqrt(10.0 * 100));
    EXPECT_STREQ(wt_plot_readout(plot), "31.6 Hz   |Z| 1.50 ohm   fas -45.0\xB0");
    wt_plot_marker(plot, 1000);
    EXPECT_STREQ(wt_plot_readout(plot), "1000 Hz   |Z| 3.00 ohm   fas 90.0\xB0");
    wt_plot_marker(plot, 0);
    EXPECT_STREQ(wt_plot_readout(plot), "");
}

// A curve that grows as a measurement goes on: its new points are read, the old ones no more.
TEST_F(Plot, ACurveTakesNewPoints) {
    const double f[] = {10, 100}, v[] = {1, 2};
    const double more_f[] = {10, 100, 1000}, more_v[] = {4, 5, 6};
    const int curve = wt_plot_curve(plot, WT_PLOT_LEFT, "|Z|", BLUE, f, v, 2);
    wt_plot_marker(plot, 500);
    EXPECT_STREQ(wt_plot_readout(plot), "500 Hz");
    wt_plot_curve_points(plot, curve, more_f, more_v, 3);
    EXPECT_STREQ(wt_plot_readout(plot), "500 Hz   |Z| 5.70"); // an axis without a unit
}

TEST_F(Plot, TheMarkerFollowsTheMouseInsideThePlottingArea) {
    const double f[] = {10, 20000}, v[] = {1, 2};
    wt_plot_curve(plot, WT_PLOT_LEFT, "v", BLUE, f, v, 2);
    const std::vector<COLORREF> before = pixels();
    SendMessageA(plot, WM_MOUSEMOVE, 0, MAKELPARAM(WIDTH / 2, HEIGHT / 2));
    const std::string readout = wt_plot_readout(plot);
    EXPECT_EQ(readout.find(" Hz   v 1."), readout.find(' ')) << readout;
    EXPECT_NE(pixels(), before);
    SendMessageA(plot, WM_MOUSELEAVE, 0, 0);
    EXPECT_STREQ(wt_plot_readout(plot), "");
    EXPECT_EQ(pixels(), before);
    // Over the labels below the area there is no frequency to read.
    SendMessageA(plot, WM_MOUSEMOVE, 0, MAKELPARAM(WIDTH / 2, HEIGHT - 2));
    EXPECT_STREQ(wt_plot_readout(plot), "");
}

// A constant curve on a fixed axis is one straight row of its colour, unbroken over the width
// of the plotting area; a value that is not finite leaves a gap.
TEST_F(Plot, ACurveIsDrawnWhereItsValuesAre) {
    const double f[] = {10, 100, 200, 20000}, v[] = {5, 5, NAN, 5};
    wt_plot_axis(plot, WT_PLOT_LEFT, "dB", "dB", 0, 10);
    wt_plot_curve(plot, WT_PLOT_LEFT, "dB", GREEN, f, v, 4);
    const std::vector<COLORREF> all = pixels();
    std::vector<int> rows, columns;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x)
            if (all[y * WIDTH + x] == GREEN) {
                rows.push_back(y);
                columns.push_back(x);
            }
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), rows.back());
    // The gap spans 100 to 20000 Hz: the drawn run ends at 100 Hz, a third of the way across.
    const int run = columns.back() - columns.front();
    EXPECT_EQ(static_cast<int>(columns.size()), run + 1);
    const int area = run * std::log(2000.0) / std::log(10.0);
    EXPECT_GT(area, WIDTH * 3 / 4);
    EXPECT_LT(area, WIDTH);
}

TEST_F(Plot, BandsShadeTheirAreaAndGoWhenCleared) {
    wt_plot_band(plot, WT_PLOT_LEFT, SHADE, BAND_F, BAND_LOW, BAND_HIGH, 2);
    std::vector<COLORREF> all = pixels();
    const int shaded = static_cast<int>(std::count(all.begin(), all.end(), SHADE));
    // Two of the three decades and a third, the whole height but for the grid over it.
    EXPECT_GT(shaded, WIDTH * HEIGHT / 3);
    EXPECT_LT(shaded, WIDTH * HEIGHT * 3 / 4);
    wt_plot_clear(plot);
    all = pixels();
    EXPECT_EQ(std::count(all.begin(), all.end(), SHADE), 0);
}

// Only what the update region asks for is painted, from the off-screen bitmap: a part left
// valid keeps whatever is on the screen, and the background is never erased first.
TEST_F(Plot, PaintsOnlyTheUpdateRegionAndNeverErases) {
    const Driver d;
    show_driver(plot, d);
    const std::vector<COLORREF> painted = pixels();
    const RECT kept = {20, 40, 120, 120}, repainted = {200, 40, 300, 120};
    fill(kept, BLACK);
    fill(repainted, BLACK);
    HDC dc = GetDC(plot);
    EXPECT_NE(SendMessageA(plot, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(plot, dc);
    EXPECT_EQ(pixel(250, 80), BLACK);
    InvalidateRect(plot, &repainted, TRUE);
    const std::vector<COLORREF> after = pixels();
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const POINT at = {x, y};
            const COLORREF expected = PtInRect(&kept, at) ? BLACK : painted[y * WIDTH + x];
            ASSERT_EQ(after[y * WIDTH + x], expected) << x << "," << y;
        }
}

TEST_F(Plot, HoldsAFixedNumberOfCurvesBandsAndPlots) {
    const double f[] = {10, 100}, v[] = {1, 2};
    for (int i = 0; i < WT_PLOT_CURVES; ++i)
        EXPECT_EQ(wt_plot_curve(plot, WT_PLOT_LEFT, "c", BLUE, f, v, 2), i);
    EXPECT_EQ(wt_plot_curve(plot, WT_PLOT_LEFT, "c", BLUE, f, v, 2), -1);
    EXPECT_EQ(wt_plot_curve(nullptr, WT_PLOT_LEFT, "c", BLUE, f, v, 2), -1);
    for (int i = 0; i < WT_PLOT_BANDS; ++i)
        EXPECT_EQ(wt_plot_band(plot, WT_PLOT_LEFT, SHADE, f, v, v, 2), i);
    EXPECT_EQ(wt_plot_band(plot, WT_PLOT_LEFT, SHADE, f, v, v, 2), -1);
    std::vector<HWND> more;
    for (int i = 1; i < WT_PLOT_COUNT; ++i) {
        more.push_back(wt_create_plot(parent(), 0, 0, 50, 50, 8));
        EXPECT_NE(more.back(), nullptr);
    }
    EXPECT_EQ(wt_create_plot(parent(), 0, 0, 50, 50, 8), nullptr);
    // A plot destroyed gives its place back.
    DestroyWindow(more.back());
    more.back() = wt_create_plot(parent(), 0, 0, 50, 50, 8);
    EXPECT_NE(more.back(), nullptr);
    for (HWND w : more)
        DestroyWindow(w);
}

} // namespace
