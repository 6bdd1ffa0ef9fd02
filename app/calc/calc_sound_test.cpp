// elemtrix-calc.exe itself, run with the private sound card of the tests (scripts/sound-jig.sh),
// whose null sink gives back on both inputs what is played: a recording made from the circuit
// model, played with --record --play, must come back as the model's impedance, and our own
// stimulus, played with --record, on both inputs as it was made.
#include "measure/impedance_analysis.h"
#include "measure/synthetic_recording.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

constexpr unsigned RATE = 48000;
// Wine's mixer on a loaded machine now and then drops a few milliseconds, as a sound card on a
// busy PC can: a run that shows it is made again, up to this many times, each one printed.
constexpr int TRIES = 3;

// The program run as a user runs it; its exit status, or -1 when it did not end within a minute.
int run_calc(const std::string &arguments) {
    std::string program = "Z:" ELEMTRIX_CALC_EXE;
    std::replace(program.begin(), program.end(), '/', '\\');
    std::string line = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    DWORD status = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

Recording read(const char *path) {
    Recording r;
    MeasureError error;
    EXPECT_TRUE(read_wav_file(path, r, error)) << error.message;
    return r;
}

} // namespace

TEST(RecordAndPlay, TheModelsRecordingComesBackAsTheModelsImpedance) {
    // The jig's two inputs as the model records them, with every impairment of a sound card
    // but the drift, which a loopback cannot add to a file played as it is.
    synthetic::Jig jig = synthetic::Jig::impaired();
    jig.drift_ppm = 0;
    const Recording model = synthetic::record(jig, synthetic::own_stimulus(RATE, 3), RATE);
    MeasureError error;
    ASSERT_TRUE(write_wav_file("model.wav", RATE, model.left.data(), model.right.data(),
                               model.frames(), WavFormat::PCM16, error))
        << error.message;
    const synthetic::Jig calibration_jig = jig.calibration();
    const Recording calibration =
        synthetic::record(calibration_jig, synthetic::own_stimulus(RATE, 3), RATE);

    ImpedanceSettings settings;
    settings.rref = jig.rref;
    settings.calibration = &calibration;
    int compared = 0;
    double worst = HUGE_VAL, worst_degrees = HUGE_VAL;
    for (int attempt = 1; attempt <= TRIES && !(worst < 0.005 && worst_degrees < 0.5); ++attempt) {
        ASSERT_EQ(run_calc("--record played.wav --play model.wav"), 0);
        const Recording played = read("played.wav");
        ImpedanceResult result;
        ASSERT_TRUE(analyse_impedance(played, "played.wav", settings, result, error))
            << error.message;
        compared = 0;
        worst = worst_degrees = 0;
        for (std::size_t i = 0; i < result.points.size(); ++i) {
            const MeasuredPoint &p = result.points[i];
            if (p.frequency < 20 || p.frequency > 10000)
                continue;
            const std::complex<double> z = jig.z(p.frequency);
            worst = std::max(worst, std::abs(std::abs(p.z) / std::abs(z) - 1));
            worst_degrees =
                std::max(worst_degrees, std::abs(std::arg(p.z / z)) * 180 / synthetic::PI);
            ++compared;
        }
        std::printf("try %d: %d points from 20 Hz to 10 kHz, |Z| within %.4f %%, phase within "
                    "%.4f degrees\n",
                    attempt, compared, 100 * worst, worst_degrees);
    }
    EXPECT_GT(compared, 400);
    EXPECT_LT(worst, 0.005);
    EXPECT_LT(worst_degrees, 0.5);
}

// Both inputs carry the same samples all along, and in them a whole period of our stimulus as
// it was made, at the level asked for. A drop-out of Wine's mixer elsewhere in the recording
// shifts what follows it, so one period is compared, not the whole.
TEST(RecordAndPlay, OurStimulusComesBackOnBothInputs) {
    Buffer<double> stimulus;
    ASSERT_TRUE(make_stimulus(RATE, 5, STIMULUS_DEFAULT_PEAK_DBFS, stimulus));
    // Played at the highest level allowed: its peak 8 dB above the stimulus file's.
    const double gain = std::pow(10, (-20 - STIMULUS_DEFAULT_PEAK_DBFS) / 20);
    const std::size_t period = stimulus_period(RATE);
    double worst = HUGE_VAL, apart = 0;
    // Within two steps of 16 bits, the rounding of the played and the recorded samples.
    for (int attempt = 1; attempt <= TRIES && !(worst * 32768 < 2.5); ++attempt) {
        ASSERT_EQ(run_calc("--record own.wav --seconds 5 --max-level -20"), 0);
        const Recording own = read("own.wav");
        ASSERT_GT(own.frames(), stimulus.size());
        apart = 0;
        for (std::size_t i = 0; i < own.frames(); ++i)
            apart = std::max(apart, std::abs(own.left[i] - own.right[i]));
        // Where the second period starts: the best match of its first samples.
        const std::size_t length = 2000;
        std::size_t at = 0;
        double best = HUGE_VAL;
        for (std::size_t start = 0; start + 2 * period <= own.frames(); ++start) {
            double distance = 0;
            for (std::size_t i = 0; i < length && distance < best; ++i) {
                const double d = own.left[start + i] - gain * stimulus[period + i];
                distance += d * d;
            }
            if (distance < best) {
                best = distance;
                at = start;
            }
        }
        worst = 0;
        for (std::size_t i = 0; i < period; ++i)
            worst = std::max(worst, std::abs(own.left[at + i] - gain * stimulus[period + i]));
        std::printf("try %d: a period within %.2f steps of 16 bits of the stimulus's\n", attempt,
                    worst * 32768);
    }
    EXPECT_LT(worst * 32768, 2.5);
    EXPECT_EQ(apart, 0);
}
