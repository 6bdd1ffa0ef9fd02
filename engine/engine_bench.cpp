// Speed of the engine paths that elemtrix-calc runs for every driver.
#include "engine/calculate.h"
#include "engine/explain.h"
#include "engine/uncertainty.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A driver data file at its largest: a 100-character name and every input at its text limit.
std::string full_file() {
    std::string text = std::string(DRIVER_NAME_LIMIT, 'N') + "\r\n";
    const char *values[INPUT_COUNT] = {"30.00000", "6.000000", "40.00000", "500.",     "50.00000",
                                       "3.000000", "0.450000", "0.390000", "25.00000", "20.00000"};
    for (const char *v : values)
        text += std::string(v) + "\r\n";
    return text;
}

const DriverFileLines &worked_lines() {
    static const DriverFileLines lines = split_driver_file(full_file().c_str());
    return lines;
}

DriverInputs worked_inputs() {
    DriverInputs in{};
    set_input_texts(in, worked_lines());
    convert_inputs(in);
    return in;
}

// What "Kalkylera" does per driver: copy the ten texts, both checks, conversion, calculation.
void CalculatePath(benchmark::State &state) {
    const DriverFileLines &lines = worked_lines();
    for (auto _ : state) {
        DriverInputs in;
        DriverResults results;
        set_input_texts(in, lines);
        benchmark::DoNotOptimize(calculate(in, results));
        benchmark::DoNotOptimize(results);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CalculatePath);

void ComputeResults(benchmark::State &state) {
    DriverInputs in = worked_inputs();
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        benchmark::DoNotOptimize(compute_results(in));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ComputeResults);

void SplitDriverFile(benchmark::State &state) {
    const std::string text = full_file();
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(split_driver_file(text.c_str()));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(SplitDriverFile);

void PropagateUncertainty(benchmark::State &state) {
    const DriverInputs in = worked_inputs();
    Tolerances t;
    for (InputTolerance &each : t.input)
        each = {1, true};
    for (auto _ : state)
        benchmark::DoNotOptimize(propagate_uncertainty(in, t));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PropagateUncertainty);

void ExplainCalculation(benchmark::State &state) {
    const DriverInputs in = worked_inputs();
    const DriverResults r = compute_results(in);
    for (auto _ : state)
        benchmark::DoNotOptimize(explain_calculation(in, r));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ExplainCalculation);

} // namespace

BENCHMARK_MAIN();
