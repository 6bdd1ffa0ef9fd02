#include "measure/stimulus.h"

#include "measure/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {

constexpr unsigned RATES[] = {8000, 22050, 44100, 48000, 96000, 192000};

TEST(StimulusTones, RiseLogSpacedAndStayOffMains) {
    for (unsigned rate : RATES) {
        Buffer<int> bins;
        ASSERT_TRUE(stimulus_tone_bins(rate, bins)) << rate;
        const double bin_hz = rate / double(stimulus_period(rate));
        EXPECT_NEAR(bin_hz, 1 / STIMULUS_PERIOD_SECONDS, 1e-12) << rate;
        EXPECT_LE(bins.front() * bin_hz, STIMULUS_LOW_HZ + bin_hz);
        EXPECT_GE(bins.back() * bin_hz, std::fmin(STIMULUS_HIGH_HZ, 0.45 * rate) / 1.02) << rate;
        for (std::size_t i = 0; i < bins.size(); ++i) {
            const double f = bins[i] * bin_hz;
            for (double mains : {50.0, 60.0})
                for (int h = 1; h <= MAINS_LAST_HARMONIC; ++h)
                    EXPECT_GE(std::fabs(f - h * mains), MAINS_GUARD_HZ) << f << " Hz at " << rate;
            if (i == 0)
                continue;
            EXPECT_GT(bins[i], bins[i - 1]);
            // 1/48 octave apart, or neighbouring bins where that is finer, or a step over a
            // mains harmonic.
            const bool near_log_step = bins[i] <= bins[i - 1] * std::exp2(1.0 / 48) + 1;
            bool over_mains = false;
            for (double mains : {50.0, 60.0})
                over_mains |= std::floor(f / mains) != std::floor(bins[i - 1] * bin_hz / mains) &&
                              f < (MAINS_LAST_HARMONIC + 1) * mains;
            EXPECT_TRUE(near_log_step || over_mains) << f << " Hz at " << rate;
        }
    }
    Buffer<int> bins;
    EXPECT_FALSE(stimulus_tone_bins(7999, bins));
    EXPECT_FALSE(stimulus_tone_bins(192001, bins));
}

TEST(StimulusPeriod, HoldsOnlyItsTonesAtOneAmplitude) {
    for (unsigned rate : {8000u, 48000u}) {
        Buffer<double> period;
        ASSERT_TRUE(make_stimulus_period(rate, -12, period));
        const std::size_t n = period.size();
        ASSERT_EQ(n, stimulus_period(rate));
        double peak = 0, power = 0;
        for (double x : period) {
            peak = std::fmax(peak, std::fabs(x));
            power += x * x;
        }
        EXPECT_NEAR(20 * std::log10(peak), -12, 1e-9);
        // Far below the 4 to 4.5 of random phases (and the √(2·K) of tones all in phase).
        const double crest = peak / std::sqrt(power / n);
        EXPECT_LT(crest, 3.3) << rate;
        std::vector<std::complex<double>> spectrum(n / 2 + 1);
        RealFft fft;
        ASSERT_TRUE(fft.forward(period.data(), spectrum.data(), n));
        Buffer<int> bins;
        ASSERT_TRUE(stimulus_tone_bins(rate, bins));
        std::vector<bool> tone(n / 2 + 1, false);
        for (int b : bins)
            tone[b] = true;
        const double amplitude = std::abs(spectrum[bins[0]]);
        double off = 0;
        for (std::size_t k = 0; k < spectrum.size(); ++k) {
            if (tone[k])
                EXPECT_NEAR(std::abs(spectrum[k]) / amplitude, 1, 1e-9) << k;
            else
                off = std::fmax(off, std::abs(spectrum[k]) / amplitude);
        }
        EXPECT_LT(off, 1e-9) << rate;
    }
}

TEST(Stimulus, IsALeadInThenWholePeriodsThenAFade) {
    Buffer<double> period, whole;
    ASSERT_TRUE(make_stimulus_period(48000, -12, period));
    ASSERT_TRUE(make_stimulus(48000, STIMULUS_DEFAULT_SECONDS, -12, whole));
    const std::size_t n = period.size(), fade = 4800;
    ASSERT_EQ(whole.size(), 10 * n + fade);
    EXPECT_EQ(whole[0], 0);
    for (std::size_t t = n / 2; t < whole.size() - fade; t += 997)
        ASSERT_EQ(whole[t], period[t % n]) << t;
    EXPECT_LT(std::fabs(whole.back()), 1e-3 * std::fabs(period[(whole.size() - 1) % n]) + 1e-9);
    Buffer<double> shortest;
    ASSERT_TRUE(make_stimulus(48000, 0.5, -12, shortest));
    EXPECT_EQ(shortest.size(), 3 * n + fade);
}

} // namespace
