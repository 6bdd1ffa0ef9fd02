// Speed of the box's drawing: the worked example's vented box with a port, Xmax and tolerances
// on five inputs, designed with its errors and drawn, as elemtrix-calc --box --plot does.
#include "app/calc/calc_box.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iterator>

namespace {

const char *const WORKED[DRIVER_FILE_LINES] = {"Testelement", "30",   "6",    "40", "500", "50",
                                               "3",           "0.45", "0.39", "25", "20"};
const char *const ARGS[] = {"elemtrix-calc", "w.spk",  "--box",       "vented",
                            "Port=7",        "Xmax=5", "--tolerance", "Fs=0.5",
                            "Vas=10%",       "Qts=3%", "Qes=3%",      "FsAdded=0.5"};

CalcDriver worked() {
    DriverFileLines lines{};
    lines.count = DRIVER_FILE_LINES;
    for (int i = 0; i < DRIVER_FILE_LINES; ++i)
        std::snprintf(lines.text[i], DRIVER_LINE_SIZE, "%s", WORKED[i]);
    return calculate_driver("worked.spk", lines);
}

void BoxPlot(benchmark::State &state) {
    const CalcOptions o =
        parse_options(static_cast<int>(std::size(ARGS)), const_cast<char **>(ARGS));
    const CalcDriver d = worked();
    for (auto _ : state) {
        std::shared_ptr<const CalcBox> box;
        MeasureError error;
        if (!design_calc_box(o.box, d, &o.tolerances, nullptr, box, error))
            state.SkipWithError(error.message.c_str());
        benchmark::DoNotOptimize(box_svg("Testelement", *box));
    }
}
BENCHMARK(BoxPlot)->Unit(benchmark::kMillisecond);

void BoxDrawingAlone(benchmark::State &state) {
    const CalcOptions o =
        parse_options(static_cast<int>(std::size(ARGS)), const_cast<char **>(ARGS));
    std::shared_ptr<const CalcBox> box;
    MeasureError error;
    if (!design_calc_box(o.box, worked(), &o.tolerances, nullptr, box, error))
        state.SkipWithError(error.message.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(box_svg("Testelement", *box));
}
BENCHMARK(BoxDrawingAlone)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
