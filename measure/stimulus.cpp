#include "measure/stimulus.h"

#include "measure/fft.h"

#include <cmath>
#include <complex>
#include <cstring>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double RELATIVE_HIGH = 0.45; // of the rate: below the converters' anti-alias filters
constexpr double MAINS_HZ[] = {50, 60};
constexpr int CREST_PASSES = 100;
constexpr double CREST_CLIP = 1.2; // times the RMS, where each pass clips

bool near_mains(double f) {
    for (double mains : MAINS_HZ)
        for (int h = 1; h <= MAINS_LAST_HARMONIC; ++h)
            if (std::fabs(f - h * mains) < MAINS_GUARD_HZ)
                return true;
    return false;
}

double peak_of(const Buffer<double> &x) {
    double peak = 0;
    for (double v : x)
        peak = std::fmax(peak, std::fabs(v));
    return peak;
}

// The sweep's phases alone leave the tones of the sparse upper octaves adding up in pulses.
// Clipping the peaks and putting the tones back to their one amplitude, again and again, moves
// the phases towards a flatter signal (Van der Ouderaa's clipping): the best period is kept.
void lower_crest_factor(RealFft &fft, const Buffer<int> &bins,
                        Buffer<std::complex<double>> &spectrum, Buffer<double> &period) {
    const std::size_t n = period.size();
    Buffer<double> trial, best;
    if (!trial.resize(n) || !best.resize(n))
        return; // the sweep's phases serve
    std::memcpy(best.data(), period.data(), n * sizeof(double));
    double best_peak = peak_of(period);
    std::memcpy(trial.data(), period.data(), n * sizeof(double));
    for (int pass = 0; pass < CREST_PASSES; ++pass) {
        double power = 0;
        for (double x : trial)
            power += x * x;
        const double limit = CREST_CLIP * std::sqrt(power / n);
        for (double &x : trial)
            x = std::fmax(-limit, std::fmin(limit, x));
        if (!fft.forward(trial.data(), spectrum.data(), n))
            break; // the best so far serves
        std::size_t next = 0;
        for (std::size_t k = 0; k < spectrum.size(); ++k) {
            if (next < bins.size() && int(k) == bins[next]) {
                const double size = std::abs(spectrum[k]);
                spectrum[k] = size > 0 ? spectrum[k] / size : 1;
                ++next;
            } else {
                spectrum[k] = 0;
            }
        }
        if (!fft.inverse(spectrum.data(), trial.data(), n))
            break;
        const double peak = peak_of(trial);
        if (peak < best_peak) {
            best_peak = peak;
            std::memcpy(best.data(), trial.data(), n * sizeof(double));
        }
    }
    std::memcpy(period.data(), best.data(), n * sizeof(double));
}

} // namespace

std::size_t stimulus_period(unsigned rate) {
    return static_cast<std::size_t>(std::lround(rate * STIMULUS_PERIOD_SECONDS));
}

bool stimulus_tone_bins(unsigned rate, Buffer<int> &bins) {
    bins.clear();
    if (rate < STIMULUS_MIN_RATE || rate > STIMULUS_MAX_RATE)
        return false;
    const double bin_hz = rate / double(stimulus_period(rate));
    const double high = std::fmin(STIMULUS_HIGH_HZ, RELATIVE_HIGH * rate);
    const double step = std::exp2(1 / STIMULUS_TONES_PER_OCTAVE);
    int last = 0;
    for (double f = STIMULUS_LOW_HZ; f <= high; f *= step) {
        int bin = static_cast<int>(std::lround(f / bin_hz));
        if (bin <= last)
            bin = last + 1;
        while (near_mains(bin * bin_hz))
            ++bin;
        if (bin * bin_hz > high)
            break;
        if (!bins.push_back(bin))
            return false;
        last = bin;
    }
    return true;
}

bool make_stimulus_period(unsigned rate, double peak_dbfs, Buffer<double> &period) {
    Buffer<int> bins;
    if (!stimulus_tone_bins(rate, bins) || bins.empty())
        return false;
    const std::size_t n = stimulus_period(rate);
    Buffer<std::complex<double>> spectrum;
    if (!spectrum.resize(n / 2 + 1) || !period.resize(n))
        return false;
    for (std::complex<double> &x : spectrum)
        x = 0;
    // A log sweep over the period passes frequency f at T·ln(f/f1)/ln(f2/f1); a tone whose
    // phase advances by −2π·∫τ(f)df has its energy at that time too, so the tones add up as the
    // sweep does, not all at once.
    const double bin_hz = rate / double(n);
    const double f1 = bins.front() * bin_hz, f2 = bins.back() * bin_hz;
    const double span = std::log(f2 / f1 > 1 ? f2 / f1 : 2);
    double phase = 0, previous = f1;
    for (int bin : bins) {
        const double f = bin * bin_hz, middle = 0.5 * (f + previous);
        const double delay = STIMULUS_PERIOD_SECONDS * std::log(middle / f1) / span;
        phase = std::remainder(phase - 2 * PI * (f - previous) * delay, 2 * PI);
        spectrum[bin] = std::polar(1.0, phase);
        previous = f;
    }
    RealFft fft;
    if (!fft.inverse(spectrum.data(), period.data(), n))
        return false;
    lower_crest_factor(fft, bins, spectrum, period);
    const double scale = std::pow(10, peak_dbfs / 20) / peak_of(period);
    for (double &x : period)
        x *= scale;
    return true;
}

bool make_stimulus(unsigned rate, double seconds, double peak_dbfs, Buffer<double> &samples) {
    Buffer<double> period;
    if (!make_stimulus_period(rate, peak_dbfs, period))
        return false;
    const std::size_t n = period.size();
    const long whole = std::lround(seconds / STIMULUS_PERIOD_SECONDS) - 1;
    const std::size_t periods = whole < 2 ? 2 : static_cast<std::size_t>(whole);
    const std::size_t fade =
        static_cast<std::size_t>(std::lround(rate * STIMULUS_FADE_OUT_SECONDS));
    const std::size_t total = (periods + 1) * n + fade;
    if (!samples.resize(total))
        return false;
    for (std::size_t t = 0; t < total; ++t) {
        double gain = 1;
        if (t < n / 2)
            gain = 0.5 - 0.5 * std::cos(PI * t / (n / 2)); // the lead-in's first half
        else if (t >= total - fade)
            gain = 0.5 + 0.5 * std::cos(PI * (t - (total - fade)) / fade);
        samples[t] = gain * period[t % n];
    }
    return true;
}
