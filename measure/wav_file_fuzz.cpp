// Any bytes as a WAV file: reading must stay inside the bytes and end, and what it accepts must
// be what it promises: a rate and channel count in range, two channels of equal length within
// the bound, every sample finite.
#include "measure/wav_file.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Recording recording;
    MeasureError error;
    if (!read_wav_data(data, size, "fuzz", recording, error)) {
        if (error.message.view().rfind("fuzz: ", 0) != 0)
            std::abort();
        return 0;
    }
    if (recording.rate < WAV_MIN_RATE || recording.rate > WAV_MAX_RATE || recording.channels < 2 ||
        recording.channels > WAV_MAX_CHANNELS || recording.frames() == 0 ||
        recording.frames() > WAV_MAX_FRAMES || recording.right.size() != recording.frames() ||
        recording.frames() * recording.channels * (recording.bits / 8) > size)
        std::abort();
    for (std::size_t i = 0; i < recording.frames(); ++i)
        if (!std::isfinite(recording.left[i]) || !std::isfinite(recording.right[i]) ||
            (!recording.is_float &&
             (std::fabs(recording.left[i]) > 1 || std::fabs(recording.right[i]) > 1)))
            std::abort();
    return 0;
}
