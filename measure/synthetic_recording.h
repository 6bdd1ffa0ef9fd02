// For the tests, the bench and tools/make-recording: two-channel recordings of the impedance jig
// made from a circuit model, with the impairments of a real sound card and the faults that the
// analysis must catch, or as plain as the window's tests want them: a textbook driver on an
// ideal jig, in its steady state from the first sample.
//
// The circuit: the output, with its own impedance Zs, drives node A; node A carries input A
// (Rin ∥ Cin) and Rref; Rref leads to node B, which carries input B and, through the leads
// (Rlead), the driver. Each input has its own gain and AC-coupling high-pass; both share one
// clock, which may run apart from the output's, and one latency. Noise, hum and the 16-bit
// steps are added at the inputs.
#pragma once

#include "measure/fft.h"
#include "measure/impedance_analysis.h"
#include "measure/model_fit.h"
#include "measure/stimulus.h"
#include "measure/wav_file.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <new>
#include <random>
#include <vector>

namespace synthetic {

using Complex = std::complex<double>;
constexpr double PI = 3.14159265358979323846;

// A driver with a creeping suspension and a lossy coil (R2 ∥ L2), through measure/model_fit.h,
// or the textbook resonator with a coil of no inductance.
struct Driver {
    double Re = 6, Fs = 38, Qms = 4.1, Qes = 0.42;
    double beta = 0.08, Le = 0.5e-3, R2 = 10, L2h = 2e-3; // L2 in henry
    DriverModel kind = {true, false, true};

    static Driver textbook() {
        Driver d;
        d.beta = 0;
        d.Le = 0;
        d.kind = DriverModel{};
        return d;
    }
    double Qts() const { return Qms * Qes / (Qms + Qes); }
    DriverModel model() const { return kind; }
    double omega0() const { return 2 * PI * Fs; }
    void params(double (&p)[PARAM_COUNT]) const {
        textbook_params(Re, Fs, Qms, Re * Qms / Qes, p);
        p[BETA] = beta;
        p[LE] = Le;
        p[G2] = 1 / R2;
        p[L2] = L2h;
    }
    Complex z(double f) const {
        double p[PARAM_COUNT];
        params(p);
        return model_impedance(model(), p, omega0(), 0, 0, f);
    }
    // Fs (where the motional impedance is real) and Qts as the fit reports them.
    void values(double (&v)[VALUE_COUNT]) const {
        ImpedancePoint none{};
        SweepSpan span{&none, 1, 0};
        FitSetup setup{&span, 1, true, false, omega0()};
        ModelFit fit{};
        fit.ok = true;
        fit.model = model();
        params(fit.p);
        driver_values(setup, fit, 0, v);
    }
};

enum class Wiring {
    JIG,         // as it should be
    SWAPPED,     // A and B exchanged
    OPEN,        // no driver
    SHORTED,     // the driver's clips shorted
    CALIBRATION, // both inputs on node A
    IDENTICAL,   // B a copy of A: a mono input
};

struct Jig {
    Driver driver;
    Wiring wiring = Wiring::JIG;
    double rref = 10;
    double source_ohm = 0;
    double rin_a = INFINITY, cin_a = 0, rin_b = INFINITY, cin_b = 0; // ohm, farad
    double rlead = 0;
    double gain_a_db = 0, gain_b_db = 0;
    double highpass_a_hz = 0, highpass_b_hz = 0; // first order; 0: none
    double latency_samples = 0;                  // of the inputs' clock
    double drift_ppm = 0;          // how much faster the inputs' clock runs than the output's
    double output_gain = 1;        // input full scale per output full scale at node A's source
    double noise_dbfs = -INFINITY; // RMS, white, per input
    double hum_dbfs = -INFINITY;   // RMS of the fundamental
    double hum_hz = 50.02;
    bool pcm16 = false;
    unsigned noise_draw = 1;

    // A textbook driver on an ideal jig.
    static Jig plain() {
        Jig j;
        j.driver = Driver::textbook();
        return j;
    }
    // Every impairment at once, at the figures the analysis is held to.
    static Jig impaired() {
        Jig j;
        j.source_ohm = 0.8;
        j.rin_a = 47e3, j.cin_a = 220e-12;
        j.rin_b = 47e3, j.cin_b = 150e-12;
        j.gain_a_db = 0.4, j.gain_b_db = -0.6; // 1 dB apart
        j.highpass_a_hz = 3, j.highpass_b_hz = 7;
        j.latency_samples = 1234.4;
        j.drift_ppm = 100;
        j.noise_dbfs = -90;
        j.hum_dbfs = -50;
        j.pcm16 = true;
        return j;
    }
    Jig calibration() const {
        Jig j = *this;
        j.wiring = Wiring::CALIBRATION;
        j.noise_draw = noise_draw + 100;
        return j;
    }

    // The node voltages per volt of the source at f: A and B as the inputs see them.
    void nodes(double f, Complex &a, Complex &b) const {
        const Complex jw(0, 2 * PI * f);
        const Complex ya = 1 / rin_a + jw * cin_a, yb = 1 / rin_b + jw * cin_b;
        Complex zb; // from node B to ground
        switch (wiring) {
        case Wiring::OPEN: zb = 1.0 / yb; break;
        case Wiring::SHORTED: zb = 1.0 / (yb + 1 / rlead_or_tiny()); break;
        default: zb = 1.0 / (yb + 1.0 / (rlead + driver.z(f)));
        }
        Complex load = 1.0 / (ya + 1.0 / (rref + zb));
        if (wiring == Wiring::CALIBRATION)
            load = 1.0 / (1.0 / load + yb); // input B moved to node A
        a = load / (source_ohm + load);
        b = wiring == Wiring::CALIBRATION ? a : a * zb / (rref + zb);
    }
    double rlead_or_tiny() const { return rlead > 0 ? rlead : 1e-9; }

    // What the jig's own Z is, as the analysis should find it with every correction.
    Complex z(double f) const { return driver.z(f); }

    static Complex highpass(double f, double corner) {
        if (corner <= 0)
            return 1;
        const Complex s(0, f / corner);
        return s / (1.0 + s);
    }

    Complex channel(double f, double gain_db, double corner, unsigned rate) const {
        return std::pow(10, gain_db / 20) * highpass(f, corner) *
               std::polar(1.0, -2 * PI * f * latency_samples / rate);
    }
};

// Band-limited reading of x at fractional positions, by a Blackman-windowed sinc.
class Resampler {
  public:
    static constexpr int HALF = 24;
    static constexpr int STEPS = 512;
    Resampler() : table_((2 * HALF + 1) * STEPS + 1) {
        for (std::size_t i = 0; i < table_.size(); ++i) {
            const double x = double(i) / STEPS - HALF;
            const double w =
                0.42 + 0.5 * std::cos(PI * x / HALF) + 0.08 * std::cos(2 * PI * x / HALF);
            table_[i] = (x == 0 ? 1 : std::sin(PI * x) / (PI * x)) * (std::fabs(x) < HALF ? w : 0);
        }
    }
    double at(const std::vector<double> &x, double t) const {
        const long i0 = static_cast<long>(std::floor(t));
        const double mu = t - i0;
        double sum = 0;
        for (int k = -HALF + 1; k <= HALF; ++k) {
            const long i = i0 + k;
            if (i < 0 || i >= long(x.size()))
                continue;
            const double pos = (k - mu + HALF) * STEPS;
            const std::size_t j = static_cast<std::size_t>(pos);
            const double frac = pos - j;
            sum += x[i] * (table_[j] + frac * (table_[j + 1] - table_[j]));
        }
        return sum;
    }

  private:
    std::vector<double> table_;
};

// What the inputs' signals are for x at node A's source, filtered over x's whole length at
// once: as though x were played over and over.
inline void filter(const Jig &jig, const std::vector<double> &x, unsigned rate,
                   std::vector<double> &ya, std::vector<double> &yb) {
    const std::size_t n = x.size();
    ya.resize(n);
    yb.resize(n);
    std::vector<Complex> spectrum(n / 2 + 1), sa(n / 2 + 1), sb(n / 2 + 1);
    RealFft fft;
    // Out of memory as the vectors here are: this maker of test recordings is no window code.
    if (!fft.forward(x.data(), spectrum.data(), n))
        throw std::bad_alloc();
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
        const double f = k * double(rate) / n;
        Complex a, b;
        if (k == 0) {
            a = b = 0;
        } else {
            jig.nodes(f, a, b);
        }
        if (jig.wiring == Wiring::SWAPPED)
            std::swap(a, b); // node B into the left input, with that input's gain and high-pass
        sa[k] = spectrum[k] * a * jig.channel(f, jig.gain_a_db, jig.highpass_a_hz, rate);
        sb[k] = spectrum[k] * b * jig.channel(f, jig.gain_b_db, jig.highpass_b_hz, rate);
    }
    if (!fft.inverse(sa.data(), ya.data(), n) || !fft.inverse(sb.data(), yb.data(), n))
        throw std::bad_alloc();
}

// The first length samples that the inputs take of their signals, with the inputs' clock, noise,
// hum and steps.
inline Recording sample(const Jig &jig, const std::vector<double> &ya,
                        const std::vector<double> &yb, std::size_t length, unsigned rate) {
    Recording r;
    r.rate = rate;
    r.channels = 2;
    r.bits = jig.pcm16 ? 16 : 32;
    r.is_float = !jig.pcm16;
    r.left.resize(length);
    r.right.resize(length);
    const Resampler resampler;
    // The inputs' clock runs drift_ppm faster: its sample m falls at m/(1 + drift) of the
    // output's samples.
    const double step = 1 / (1 + jig.drift_ppm * 1e-6);
    std::mt19937 random(jig.noise_draw);
    std::normal_distribution<double> gauss(0, std::pow(10, jig.noise_dbfs / 20));
    const double hum = std::sqrt(2) * std::pow(10, jig.hum_dbfs / 20);
    // Hum's harmonics, each with its own level and phase; input B picks up less of it.
    const struct {
        int harmonic;
        double level, phase;
    } HUM[] = {{1, 1, 0.3}, {2, 0.1, 1.1}, {3, 0.3, 2.0}, {5, 0.12, 0.7}};
    for (std::size_t m = 0; m < length; ++m) {
        double a = jig.drift_ppm == 0 ? ya[m] : resampler.at(ya, m * step);
        double b = jig.drift_ppm == 0 ? yb[m] : resampler.at(yb, m * step);
        if (std::isfinite(jig.noise_dbfs)) {
            a += gauss(random);
            b += gauss(random);
        }
        if (std::isfinite(jig.hum_dbfs)) {
            const double t = m / double(rate);
            for (const auto &h : HUM) {
                const double w = 2 * PI * h.harmonic * jig.hum_hz * t;
                a += hum * h.level * std::sin(w + h.phase);
                b += 0.7 * hum * h.level * std::sin(w + h.phase + 0.4);
            }
        }
        if (jig.pcm16) {
            a = std::fmax(-1, std::fmin(32767 / 32768.0, std::nearbyint(a * 32768) / 32768));
            b = std::fmax(-1, std::fmin(32767 / 32768.0, std::nearbyint(b * 32768) / 32768));
        }
        if (jig.wiring == Wiring::IDENTICAL)
            b = a;
        r.left[m] = a;
        r.right[m] = b;
    }
    return r;
}

// The recording of `played` (the output's samples at rate) through the jig, with lead seconds of
// silence before and tail after it.
inline Recording record(const Jig &jig, const std::vector<double> &played, unsigned rate,
                        double lead = 0.3, double tail = 0.7) {
    const std::size_t before = static_cast<std::size_t>(lead * rate);
    const std::size_t length = before + played.size() + static_cast<std::size_t>(tail * rate);
    // A second more, so that nothing wraps round.
    std::vector<double> x(smooth_length(length + rate), 0.0), ya, yb;
    for (std::size_t i = 0; i < played.size(); ++i)
        x[before + i] = jig.output_gain * played[i];
    filter(jig, x, rate, ya, yb);
    return sample(jig, ya, yb, length, rate);
}

// The recording of `played` played over and over, from the moment the jig's decay has died
// away: exact on whole periods of our own stimulus.
inline Recording record_steady(const Jig &jig, const std::vector<double> &played, unsigned rate) {
    std::vector<double> x(played.size()), ya, yb;
    for (std::size_t i = 0; i < played.size(); ++i)
        x[i] = jig.output_gain * played[i];
    filter(jig, x, rate, ya, yb);
    return sample(jig, ya, yb, played.size(), rate);
}

inline std::vector<double> own_stimulus(unsigned rate, double seconds = STIMULUS_DEFAULT_SECONDS,
                                        double peak_dbfs = STIMULUS_DEFAULT_PEAK_DBFS) {
    Buffer<double> s;
    make_stimulus(rate, seconds, peak_dbfs, s);
    return std::vector<double>(s.begin(), s.end());
}

// A log sweep as another program plays it: low to high over `seconds`, its ends faded in and
// out over fade seconds.
inline std::vector<double> log_sweep(unsigned rate, double seconds = 6, double low = 5,
                                     double high = 22000, double peak_dbfs = -12,
                                     double fade = 0.02) {
    const std::size_t n = static_cast<std::size_t>(seconds * rate);
    const double k = std::log(high / low);
    const double amplitude = std::pow(10, peak_dbfs / 20);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / double(rate);
        double w = 1;
        if (t < fade)
            w = 0.5 - 0.5 * std::cos(PI * t / fade);
        else if (t > seconds - fade)
            w = 0.5 - 0.5 * std::cos(PI * (seconds - t) / fade);
        x[i] =
            amplitude * w * std::sin(2 * PI * low * seconds / k * (std::exp(t * k / seconds) - 1));
    }
    return x;
}

// White noise with a Gaussian distribution at an RMS level.
inline std::vector<double> noise(unsigned rate, double seconds, double rms_dbfs = -22,
                                 unsigned noise_draw = 7) {
    std::mt19937 random(noise_draw);
    std::normal_distribution<double> gauss(0, std::pow(10, rms_dbfs / 20));
    std::vector<double> x(static_cast<std::size_t>(seconds * rate));
    for (double &v : x)
        v = gauss(random);
    return x;
}

inline std::vector<double> sine(unsigned rate, double seconds, double hz, double peak_dbfs = -12) {
    std::vector<double> x(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = std::pow(10, peak_dbfs / 20) * std::sin(2 * PI * hz * i / rate);
    return x;
}

} // namespace synthetic
