// Times the plot's paints on a real window: the whole plot of a driver's impedance (two curves
// of 241 points, a band), and what a move of the marker repaints.
#include "toolkit/plot.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

namespace {

constexpr int SAMPLES = 241, RUNS = 200;

double elapsed_ms(const LARGE_INTEGER &start) {
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

// Runs the action RUNS times, each time until the plot has painted; the median in ms.
template <typename Action> double median_ms(HWND plot, Action action) {
    std::vector<double> ms;
    for (int run = 0; run < RUNS; ++run) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        action(run);
        UpdateWindow(plot);
        GdiFlush();
        ms.push_back(elapsed_ms(start));
    }
    std::sort(ms.begin(), ms.end());
    return ms[RUNS / 2];
}

} // namespace

int main() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "PlotBench";
    RegisterClassA(&window_class);
    HWND parent = CreateWindowExA(0, window_class.lpszClassName, "Plot", WS_POPUP | WS_VISIBLE, 0,
                                  0, 500, 280, nullptr, nullptr, window_class.hInstance, nullptr);
    HWND plot = wt_create_plot(parent, 10, 10, 480, 260, 1);
    if (!plot)
        return 1;
    static double f[SAMPLES], magnitude[SAMPLES], phase[SAMPLES];
    for (int i = 0; i < SAMPLES; ++i) {
        f[i] = 10 * std::pow(2000.0, i / (SAMPLES - 1.0));
        const double x = f[i] / 38 - 38 / f[i];
        const std::complex<double> z = 6.0 + 6.0 * 4.1 / 0.42 / std::complex<double>(1, 4.1 * x);
        magnitude[i] = std::abs(z);
        phase[i] = std::arg(z) * 180 / 3.14159265358979323846;
    }
    const double band_f[] = {20, 2000}, low[] = {-1e6, -1e6}, high[] = {1e6, 1e6};
    wt_plot_axis(plot, WT_PLOT_LEFT, "|Z|", "ohm", 0, 0);
    wt_plot_axis(plot, WT_PLOT_RIGHT, "fas", "\xB0", -90, 90);
    wt_plot_band(plot, WT_PLOT_LEFT, RGB(214, 230, 250), band_f, low, high, 2);
    wt_plot_curve(plot, WT_PLOT_LEFT, "|Z|", RGB(0, 0, 192), f, magnitude, SAMPLES);
    wt_plot_curve(plot, WT_PLOT_RIGHT, "fas", RGB(192, 0, 0), f, phase, SAMPLES);
    UpdateWindow(plot);
    const double whole = median_ms(plot, [&](int) { InvalidateRect(plot, nullptr, FALSE); });
    const double marker = median_ms(plot, [&](int run) { wt_plot_marker(plot, 20 + run * 5); });
    std::printf("plot_repaint_ms_median %.3f\nplot_marker_ms_median %.3f\n", whole, marker);
    DestroyWindow(parent);
    return 0;
}
