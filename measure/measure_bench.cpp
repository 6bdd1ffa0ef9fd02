// Speed of reading and fitting impedance sweeps of the sizes measurement programs export.
#include "measure/fft.h"
#include "measure/impedance_analysis.h"
#include "measure/sweep_file.h"
#include "measure/sweep_fit.h"
#include "measure/synthetic_recording.h"

#include <benchmark/benchmark.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cmath>
#include <complex>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

#ifdef __GLIBC__
constexpr int KEPT_BYTES = 32 << 20; // the most glibc allows for the first, above every buffer here
#endif

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

// The creeping driver of scripts/make-sweeps.py with its semi-inductance and a lossy coil, so
// that the richest model has every term to find: 400 points from 10 Hz to 20 kHz with 0.2 %
// noise, free and with 8 g and 16 g on the cone.
constexpr double CREEP_FS = 45, CREEP_QMS = 2, CREEP_RE = 5.72, CREEP_RES = 20;
constexpr double CREEP_MASSES[] = {0, 0.008, 0.016}; // kg
constexpr int CREEP_POINTS = 400;
const DriverModel RICHEST = MODELS[MODEL_COUNT - 1];

std::vector<ImpedancePoint> creep_sweep(double mass) {
    double p[PARAM_COUNT];
    textbook_params(CREEP_RE, CREEP_FS, CREEP_QMS, CREEP_RES, p);
    p[BL2] = 49;
    p[CMES] = 0.0149 / p[BL2];
    p[LCES] = 1 / (std::pow(2 * 3.14159265358979323846 * CREEP_FS, 2) * p[CMES]);
    p[BETA] = 0.1;
    p[LE] = 0.3e-3;
    p[SEMI] = 0.04;
    p[G2] = 1 / 3.0;
    p[L2] = 0.5e-3;
    std::mt19937 random(1101);
    std::normal_distribution<double> noise(0, 0.002);
    std::vector<ImpedancePoint> points;
    for (int i = 0; i < CREEP_POINTS; ++i) {
        const double f = 10 * std::pow(2000.0, i / (CREEP_POINTS - 1.0));
        const std::complex<double> z =
            model_impedance(RICHEST, p, 2 * 3.14159265358979323846 * CREEP_FS, 0, mass, f) *
            std::complex<double>(1 + noise(random), noise(random));
        points.push_back({f, z, std::abs(z)});
    }
    return points;
}

// Each start of the richest model from the textbook values, as fit_sweep does.
ModelFit fit_richest(const FitSetup &setup) {
    double base[PARAM_COUNT];
    textbook_params(CREEP_RE, CREEP_FS, CREEP_QMS, CREEP_RES, base);
    const double le_starts[] = {0, 1e-3};
    return fit_model(setup, RICHEST, base, le_starts, 2);
}

void FitRichestModel400(benchmark::State &state) {
    const std::vector<ImpedancePoint> points = creep_sweep(0);
    const SweepSpan span{points.data(), CREEP_POINTS, 0};
    const FitSetup setup{&span, 1, true, false, 2 * 3.14159265358979323846 * CREEP_FS};
    for (auto _ : state) {
        const ModelFit fit = fit_richest(setup);
        if (!fit.ok)
            state.SkipWithError("no physical fit");
        benchmark::DoNotOptimize(fit);
    }
}
BENCHMARK(FitRichestModel400)->Unit(benchmark::kMillisecond);

// The three sweeps in one fit, from the free-air sweep's solution as fit_masses_jointly starts.
void FitThreeSweepsJointly(benchmark::State &state) {
    std::vector<ImpedancePoint> points[std::size(CREEP_MASSES)];
    SweepSpan spans[std::size(CREEP_MASSES)];
    for (std::size_t i = 0; i < std::size(CREEP_MASSES); ++i) {
        points[i] = creep_sweep(CREEP_MASSES[i]);
        spans[i] = {points[i].data(), CREEP_POINTS, CREEP_MASSES[i]};
    }
    const FitSetup free{spans, 1, true, false, 2 * 3.14159265358979323846 * CREEP_FS};
    double start[PARAM_COUNT];
    const ModelFit single = fit_richest(free);
    for (int k = 0; k < PARAM_COUNT; ++k)
        start[k] = single.p[k];
    start[BL2] = 0.0145 / start[CMES];
    const FitSetup joint{spans, static_cast<int>(std::size(CREEP_MASSES)), true, false,
                         free.omega0};
    for (auto _ : state) {
        const ModelFit fit = fit_from(joint, RICHEST, start);
        if (!fit.ok)
            state.SkipWithError("no physical joint fit");
        benchmark::DoNotOptimize(fit);
    }
}
BENCHMARK(FitThreeSweepsJointly)->Unit(benchmark::kMillisecond);

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

// Analysing a 10 s, 48 kHz stereo recording of the jig, with noise, hum and 16-bit steps: our
// stimulus as a sound card that keeps one clock records it and with its clocks 100 ppm apart
// (the frames are then read again between the samples), a sweep and noise from another program.
enum class Played { OWN, OWN_DRIFT, SWEEP, NOISE };

void Analyse(benchmark::State &state, Played played) {
    constexpr unsigned RATE = 48000;
    synthetic::Jig jig = synthetic::Jig::impaired();
    if (played != Played::OWN_DRIFT)
        jig.drift_ppm = 0;
    const std::vector<double> signal = played == Played::SWEEP ? synthetic::log_sweep(RATE, 9)
                                       : played == Played::NOISE
                                           ? synthetic::noise(RATE, 9)
                                           : synthetic::own_stimulus(RATE, 9.8);
    const Recording r =
        synthetic::record(jig, signal, RATE, 0.2, 10 - 0.2 - signal.size() / 48000.0);
    ImpedanceSettings settings;
    settings.rref = 10;
    for (auto _ : state) {
        ImpedanceResult result;
        MeasureError error;
        if (!analyse_impedance(r, "bench", settings, result, error))
            state.SkipWithError(error.message.c_str());
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK_CAPTURE(Analyse, Own, Played::OWN)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Analyse, OwnDrift, Played::OWN_DRIFT)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Analyse, Sweep, Played::SWEEP)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Analyse, Noise, Played::NOISE)->Unit(benchmark::kMillisecond);

// One real FFT with its plan kept, as the analysis takes a frame: the stimulus periods at 48 and
// 44.1 kHz, and a prime length, which goes by Bluestein's chirp.
void Fft(benchmark::State &state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    std::vector<double> x(n);
    std::mt19937 random(1);
    std::uniform_real_distribution<double> value(-1, 1);
    for (double &v : x)
        v = value(random);
    std::vector<std::complex<double>> spectrum(n / 2 + 1);
    RealFft fft;
    for (auto _ : state)
        if (!fft.forward(x.data(), spectrum.data(), n))
            state.SkipWithError("out of memory");
}
BENCHMARK(Fft)->Arg(67200)->Arg(61740)->Arg(100003)->Unit(benchmark::kMillisecond);

// The plan made afresh each time: a new length, or the analysis of the next recording.
void FftPlanned(benchmark::State &state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    std::vector<double> x(n, 1.0);
    std::vector<std::complex<double>> spectrum(n / 2 + 1);
    for (auto _ : state) {
        RealFft fft;
        if (!fft.forward(x.data(), spectrum.data(), n))
            state.SkipWithError("out of memory");
    }
}
BENCHMARK(FftPlanned)->Arg(67200)->Arg(100003)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
#ifdef __GLIBC__
    // An analysis frees tens of megabytes. Whether glibc keeps them for the next one or gives
    // them back to the system depends on what the set-up left where, and on this machine's costly
    // page faults that made the same analysis of a sweep take 20 or 120 ms. Kept, every run is
    // that of a program analysing one recording after another, as the measuring dialog does after
    // each period; the first analysis of a process is in elemtrix-calc --impedance's figure.
    mallopt(M_MMAP_THRESHOLD, KEPT_BYTES);
    mallopt(M_TRIM_THRESHOLD, KEPT_BYTES);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
