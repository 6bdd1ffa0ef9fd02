// Any short sweep through the fit: whatever the reader accepts the fit must take or refuse with
// a message, and what it takes must have its resonance inside the band it fitted. Sweeps of
// more than FUZZ_MAX_POINTS are left to the reader's target: the fit's work grows with the
// points, and a few dozen already reach every branch of it.
#include "measure/sweep_file.h"
#include "measure/sweep_fit.h"

#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::size_t FUZZ_MAX_POINTS = 32;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Sweep sweep;
    MeasureError error;
    if (!read_sweep_text(reinterpret_cast<const char *>(data), size, "fuzz", sweep, error) ||
        sweep.points.size() > FUZZ_MAX_POINTS)
        return -1; // libFuzzer keeps it out of the corpus, so that mutations start from fits
    SweepFit fit;
    if (fit_sweep(sweep, "fuzz", {}, fit, error)) {
        if (!(fit.Fs.value >= fit.band_low && fit.Fs.value <= fit.band_high) ||
            fit.points_used <= 0)
            std::abort();
    } else if (error.message.view().rfind("fuzz: ", 0) != 0) {
        std::abort();
    }
    return 0;
}
