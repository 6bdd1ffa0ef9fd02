// Reads and fits one sweep file and prints the time it took and the process's peak resident
// memory: scripts/bench.sh runs it on the largest file the reader accepts.
// usage: measure_memory FILE
#include "measure/sweep_file.h"
#include "measure/sweep_fit.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: measure_memory FILE\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Sweep sweep;
    SweepFit fit;
    MeasureError error;
    if (!read_sweep_file(argv[1], sweep, error) || !fit_sweep(sweep, argv[1], {}, fit, error)) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%zu %.3f %.1f %.4g %d\n", sweep.points.size(), seconds, usage.ru_maxrss / 1024.0,
                fit.Fs.value, fit.points_used);
    return 0;
}
