// Any bytes as an impedance sweep: reading must stay inside the buffer and end, keep only
// what it promises, and whatever it accepts the fit must take or refuse with a message.
#include "measure/sweep_file.h"
#include "measure/sweep_fit.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Sweep sweep;
    MeasureError error;
    if (!read_sweep_text(reinterpret_cast<const char *>(data), size, "fuzz", sweep, error)) {
        if (error.message.view().rfind("fuzz", 0) != 0)
            std::abort();
        return 0;
    }
    if (sweep.points.size() < SWEEP_MIN_POINTS || sweep.points.size() > SWEEP_MAX_POINTS)
        std::abort();
    double previous = 0;
    for (const SweepPoint &p : sweep.points) {
        if (!(p.frequency >= previous) || !std::isfinite(p.frequency) || !(p.magnitude >= 0) ||
            !std::isfinite(p.magnitude) || !std::isfinite(p.phase))
            std::abort();
        previous = p.frequency;
    }
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
