// Speed of reading and fitting impedance sweeps of the sizes measurement programs export.
#include "measure/sweep_file.h"
#include "measure/sweep_fit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace {

// A mid-size driver with a lossy voice coil, with 1 % noise on |Z| and 0.5° on the phase.
std::string sweep_text(int points, double (*frequency)(int)) {
    SweepFit driver{};
    textbook_params(6, 38, 4.1, 6 * 4.1 / 0.42, driver.solution.p);
    driver.solution.p[LE] = 0.5e-3;
    driver.solution.p[G2] = 1 / 10.0;
    driver.solution.p[L2] = 2e-3;
    driver.solution.model.lossy = true;
    driver.omega0 = 1;
    std::mt19937 random(1101);
    std::normal_distribution<double> noise(0, 1);
    std::string text = "* Freq(Hz) |Z|(ohm) Phase(deg)\n";
    for (int i = 0; i < points; ++i) {
        const double f = frequency(i);
        const std::complex<double> z = fitted_impedance(driver, f);
        char line[100];
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g\n", f,
                      std::abs(z) * (1 + 0.01 * noise(random)),
                      std::arg(z) * 180 / 3.14159265358979323846 + 0.5 * noise(random));
        text += line;
    }
    return text;
}

// 1/24 octave up to 20 kHz from 1 Hz, and a 0.5 Hz grid up to 5 kHz.
double log_grid(int i) {
    return 20000 * std::pow(2.0, (i - 343) / 24.0);
}
double linear_grid(int i) {
    return 0.5 * (i + 1);
}

void read_and_fit(benchmark::State &state, const std::string &text) {
    for (auto _ : state) {
        Sweep sweep;
        SweepFit fit;
        MeasureError error;
        if (!read_sweep_text(text.data(), text.size(), "bench", sweep, error) ||
            !fit_sweep(sweep, "bench", {}, fit, error))
            state.SkipWithError(error.message.c_str());
        benchmark::DoNotOptimize(fit);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void ReadAndFit344(benchmark::State &state) {
    read_and_fit(state, sweep_text(344, log_grid));
}
BENCHMARK(ReadAndFit344)->Unit(benchmark::kMillisecond);

void ReadAndFit10000(benchmark::State &state) {
    read_and_fit(state, sweep_text(10000, linear_grid));
}
BENCHMARK(ReadAndFit10000)->Unit(benchmark::kMillisecond);

void Read10000(benchmark::State &state) {
    const std::string text = sweep_text(10000, linear_grid);
    for (auto _ : state) {
        Sweep sweep;
        MeasureError error;
        benchmark::DoNotOptimize(read_sweep_text(text.data(), text.size(), "bench", sweep, error));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(Read10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
