// Speed of one box design with the errors of all its figures and of its response.
#include "enclosure/box.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A 20 cm woofer with independent errors of 1 to 5 % on all eight parameters, so that every
// parameter's derivatives are worked out.
BoxDriver woofer(double qts) {
    BoxDriver d;
    const double values[DRIVER_PARAMETER_COUNT] = {30, qts, 0.05, 0.45, 6, 215e-4, 7.5, 0.030};
    const double relative[DRIVER_PARAMETER_COUNT] = {0.01, 0.03, 0.05, 0.03,
                                                     0.01, 0.02, 0.03, 0.03};
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
        d.value[i] = values[i];
        d.covariance[i][i] = std::pow(relative[i] * values[i], 2);
    }
    return d;
}

void design(benchmark::State &state, const BoxRequest &request, double qts) {
    const BoxDriver driver = woofer(qts);
    static BoxDesign result;
    MeasureError error;
    for (auto _ : state) {
        if (!design_box(driver, request, result, error))
            state.SkipWithError(error.message.c_str());
        benchmark::DoNotOptimize(result.figure[FIG_F3].error);
    }
}

BoxRequest vented() {
    BoxRequest request;
    request.type = BOX_VENTED;
    request.alignment = ALIGN_FLATTEST;
    request.port_diameter = 0.07;
    request.xmax = 0.005;
    request.pe = 60;
    return request;
}

// The vented default for Qts 0.39, QB3: its two flatness conditions solved for every
// derivative.
void VentedDesign(benchmark::State &state) {
    design(state, vented(), 0.39);
}

// The default for Qts 0.45, C4: a search along the Chebyshev family for every derivative, the
// slowest design.
void VentedChebyshevDesign(benchmark::State &state) {
    design(state, vented(), 0.45);
}

void SealedDesign(benchmark::State &state) {
    BoxRequest request;
    request.xmax = 0.005;
    design(state, request, 0.39);
}

BENCHMARK(VentedDesign)->Unit(benchmark::kMicrosecond);
BENCHMARK(VentedChebyshevDesign)->Unit(benchmark::kMicrosecond);
BENCHMARK(SealedDesign)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
