// Times one "Kalkylera" with message-free input, from the button's command to the end of the
// repaint, on the real window; with a sweep file as argument also its import: read, fitted and
// filled into the fields, without the box that tells how well it fits; and "Lådberäkning" for the
// same driver, from its menu command until it is painted, and its "Beräkna".
#include "toolkit/controls.h"
#include "window/box_dialog.h"
#include "window/calculator.h"
#include "window/sweep_open.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median_ms(std::vector<double> &ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

double elapsed_ms(const LARGE_INTEGER &start) {
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

} // namespace

int main(int argc, char **argv) {
    const char *const worked[] = {"30", "6", "40", "500", "50", "3", "0.45", "0.39", "25", "20"};
    constexpr int RUNS = 200;
    HWND window = create_calculator(GetModuleHandleA(nullptr));
    if (!window)
        return 1;
    for (int i = 0; i < 10; ++i)
        wt_set_text(calculator_field(i + 1), worked[i]);
    UpdateWindow(window);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    for (int run = 0; run < RUNS; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        SendMessageA(window, WM_COMMAND, ID_CALCULATE, 0);
        UpdateWindow(window);
        GdiFlush();
        QueryPerformanceCounter(&end);
        ms.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("calculate_ms_median %.3f\ncalculate_ms_p90 %.3f\n", ms[RUNS / 2],
                ms[RUNS * 9 / 10]);
    constexpr int OPENS = 21;
    std::vector<double> open_ms, design_ms;
    for (int run = 0; run < OPENS; ++run) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        SendMessageA(window, WM_SYSCOMMAND, ID_BOX_DIALOG, 0);
        HWND dialog = box_dialog();
        if (!dialog)
            return 1;
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        open_ms.push_back(elapsed_ms(start));
        QueryPerformanceCounter(&start);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        design_ms.push_back(elapsed_ms(start));
        DestroyWindow(dialog);
    }
    std::printf("box_dialog_open_ms_median %.3f\nbox_design_ms_median %.3f\n", median_ms(open_ms),
                median_ms(design_ms));
    if (argc == 2) {
        constexpr int IMPORTS = 21;
        const char *const paths[IMPORT_MAX_SWEEPS] = {argv[1], nullptr};
        std::vector<double> import_ms;
        for (int run = 0; run < IMPORTS; ++run) {
            ImportRequest request;
            static SweepImport result; // large, and one at a time
            LARGE_INTEGER start;
            QueryPerformanceCounter(&start);
            if (!fill_from_sweeps(window, paths, 1, request, result))
                return 1;
            UpdateWindow(window);
            GdiFlush();
            import_ms.push_back(elapsed_ms(start));
        }
        std::printf("import_ms_median %.3f\n", median_ms(import_ms));
    }
    DestroyWindow(window);
    return 0;
}
