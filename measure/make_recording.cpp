// Writes a two-channel recording of the impedance jig made from the circuit model of
// measure/synthetic_recording.h, for tests that play it through a real audio path, and, when
// asked, the model's own impedance as a sweep file to compare the analysis with.
// usage: make-recording OUT.wav [--truth TRUE.zma] [--sweep] [--impaired] [--float]
//                       [--rate HZ] [--seconds S]
#include "measure/sweep_file.h"
#include "measure/synthetic_recording.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage() {
    std::fprintf(stderr, "usage: make-recording OUT.wav [--truth TRUE.zma] [--sweep] [--impaired] "
                         "[--float] [--rate HZ] [--seconds S]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argv[1][0] == '-')
        return usage();
    const char *out = argv[1], *truth = nullptr;
    bool sweep = false, impaired = false, pcm16 = true;
    unsigned rate = 48000;
    double seconds = STIMULUS_DEFAULT_SECONDS;
    for (int i = 2; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--truth") && has_value)
            truth = argv[++i];
        else if (!std::strcmp(argv[i], "--sweep"))
            sweep = true;
        else if (!std::strcmp(argv[i], "--impaired"))
            impaired = true;
        else if (!std::strcmp(argv[i], "--float"))
            pcm16 = false;
        else if (!std::strcmp(argv[i], "--rate") && has_value)
            rate = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--seconds") && has_value)
            seconds = std::atof(argv[++i]);
        else
            return usage();
    }
    if (rate < STIMULUS_MIN_RATE || rate > STIMULUS_MAX_RATE || !(seconds > 0) || seconds > 120)
        return usage();
    synthetic::Jig jig = impaired ? synthetic::Jig::impaired() : synthetic::Jig();
    jig.pcm16 = pcm16;
    const std::vector<double> played =
        sweep ? synthetic::log_sweep(rate, seconds) : synthetic::own_stimulus(rate, seconds);
    const Recording r = synthetic::record(jig, played, rate);
    MeasureError error;
    if (!write_wav_file(out, rate, r.left.data(), r.right.data(), r.frames(),
                        pcm16 ? WavFormat::PCM16 : WavFormat::FLOAT32, error)) {
        std::fprintf(stderr, "make-recording: %s\n", error.message.c_str());
        return 1;
    }
    if (truth) {
        Sweep z;
        z.has_phase = true;
        for (double f = 10; f <= 20000; f *= std::exp2(1.0 / 48)) {
            const std::complex<double> v = jig.z(f);
            z.points.push_back({f, std::abs(v), std::arg(v)});
        }
        if (!write_sweep_file(truth, z, error)) {
            std::fprintf(stderr, "make-recording: %s\n", error.message.c_str());
            return 1;
        }
    }
    return 0;
}
