// Any bytes as an impedance sweep, read only: reading must stay inside the buffer and end, keep
// only what it promises, and what it reads as a sweep the file dialog's quick look must also
// take for one. The fit has a target of its own, as a fit costs some hundreds of readings.
// Inputs over FUZZ_MAX_BYTES are refused at once: the reader has no branch that only a longer
// text reaches (a sweep's twenty rows fit, and so does a number over the reader's 64
// characters), and longer texts would only slow every run.
#include "measure/sweep_file.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::size_t FUZZ_MAX_BYTES = 1024;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > FUZZ_MAX_BYTES)
        return -1; // libFuzzer keeps it out of the corpus
    const char *text = reinterpret_cast<const char *>(data);
    const bool looks_like_sweep = is_sweep_text(text, size);
    Sweep sweep;
    MeasureError error;
    if (!read_sweep_text(text, size, "fuzz", sweep, error)) {
        if (error.message.view().rfind("fuzz", 0) != 0)
            std::abort();
        return 0;
    }
    if (!looks_like_sweep || sweep.points.size() < SWEEP_MIN_POINTS ||
        sweep.points.size() > SWEEP_MAX_POINTS)
        std::abort();
    double previous = 0;
    for (const SweepPoint &p : sweep.points) {
        if (!(p.frequency >= previous) || !std::isfinite(p.frequency) || !(p.magnitude >= 0) ||
            !std::isfinite(p.magnitude) || !std::isfinite(p.phase))
            std::abort();
        previous = p.frequency;
    }
    return 0;
}
