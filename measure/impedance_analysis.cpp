#include "measure/impedance_analysis.h"

#include "measure/fft.h"
#include "measure/stimulus.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

namespace {

using Complex = std::complex<double>;

constexpr double PI = 3.14159265358979323846;
constexpr double GRID_LOW_HZ = STIMULUS_LOW_HZ;
constexpr double GRID_HIGH_HZ = STIMULUS_HIGH_HZ;
constexpr double GRID_HIGH_OF_RATE = 0.45;
constexpr double ENVELOPE_BLOCK_SECONDS = 0.01;
constexpr double ACTIVE_DB = -25;          // a block this far below the loudest is silence, or hum
constexpr double OWN_STIMULUS_SHARE = 0.9; // of input A's power on our tones: our stimulus
constexpr double OWN_TONE_SPREAD = 0.01;   // our tones within 20 dB of their median
constexpr double DRIFT_ALLOWANCE = 3e-4;   // of a tone's frequency, for the clocks' drift
constexpr double SETTLE_SECONDS = 0.1;     // of the steady lead-in before the first frame
constexpr double TAIL_SECONDS = 0.25;      // kept whole after a transient: the jig's decay
// Hum: a line this far above the noise between our tones, above a steady signal's averaged
// spectrum around it, or above the noise in the silence around a transient.
constexpr double HUM_RATIO_DB = 15;
constexpr double HUM_WELCH_DB = 6;
constexpr double HUM_SILENCE_DB = 10;
constexpr double HUM_FLOOR_RE_TONES = 1e-8; // a line 80 dB below our tones is no hum
constexpr double HUM_FLOOR_DBFS = -100;     // nor one below this in a silence
constexpr double HUM_SEARCH = 0.005;        // mains is within this share of its nominal
constexpr int HUM_NEIGHBOURS = 30;          // bins either side that tell a line's floor
constexpr int HUM_REACH = 100;              // bins around a line whose leakage is taken out
// Left out around each harmonic of the mains found: a transient's bins this near, a steady
// signal's this many bins either side.
constexpr double HUM_WHOLE_EXCLUDE_HZ = 3;
constexpr double HUM_WELCH_EXCLUDE_BINS = 2;
constexpr double MIN_SILENCE_SECONDS = 0.2;
constexpr double SWEEP_RATE_RATIO = 4; // zero crossings per second, last piece to first
constexpr double MIN_DRIFT = 1e-6;     // below, the tones' leakage is less than 0.01 %
constexpr double DRIFT_LOW_HZ = 100, DRIFT_HIGH_HZ = 2000;
constexpr double MAINS_FAMILIES[] = {50, 60};
constexpr double IDENTICAL_SHARE = 0.99;
constexpr std::size_t MIN_SEGMENT = 4096;
constexpr std::size_t WELCH_PERIODS = 2;

double to_dbfs(double amplitude) {
    return amplitude > 0 ? 20 * std::log10(amplitude) : -999;
}

// The median of values, which it reorders.
double median(double *values, std::size_t count) {
    if (count == 0)
        return 0;
    std::nth_element(values, values + count / 2, values + count);
    return values[count / 2];
}

// Band-limited reading between samples: a Blackman-windowed sinc over 2·HALF samples, from a
// table of its values that is interpolated linearly.
class Resampler {
  public:
    static constexpr int HALF = 16;
    static constexpr int STEPS = 256; // table entries per sample

    bool prepare() {
        if (!table_.empty())
            return true;
        if (!table_.resize((2 * HALF) * STEPS + 2))
            return false;
        for (std::size_t i = 0; i < table_.size(); ++i) {
            const double x = double(i) / STEPS - HALF;
            const double w =
                0.42 + 0.5 * std::cos(PI * x / HALF) + 0.08 * std::cos(2 * PI * x / HALF);
            table_[i] = std::fabs(x) >= HALF ? 0 : x == 0 ? 1 : w * std::sin(PI * x) / (PI * x);
        }
        return true;
    }

    double at(const Buffer<double> &x, double t) const {
        const long i0 = static_cast<long>(std::floor(t));
        const double mu = t - i0;
        const long first = std::max(0L, i0 - HALF + 1);
        const long last = std::min(static_cast<long>(x.size()) - 1, i0 + HALF);
        double sum = 0;
        for (long i = first; i <= last; ++i) {
            const double pos = (double(i - i0) - mu + HALF) * STEPS;
            const std::size_t j = static_cast<std::size_t>(pos);
            sum += x[i] * (table_[j] + (pos - j) * (table_[j + 1] - table_[j]));
        }
        return sum;
    }

  private:
    Buffer<double> table_;
};

struct TransferPoint {
    double frequency;
    Complex h;
    double coherence;
    double relative_error; // of H, from the coherence; 0 where not estimated
    double level;          // input A's power in the point
    int reason;            // a LeftOutReason, or -1 when kept
};

// What one recording gives: its H per point of the grid, with how it was taken.
struct Transfer {
    AnalysisMethod method;
    int averages;
    double resolution_hz;
    bool errors_estimated;
    double hum_hz;
    InputLevel a, b;
    Buffer<TransferPoint> points;
};

class Analysis {
  public:
    // same_node: both inputs on one node, as a calibration has them, where identical samples are
    // what a perfect pair of inputs gives rather than a fault.
    Analysis(const Recording &r, const char *name, double points_per_octave, bool same_node,
             Transfer &out, MeasureError &error)
        : rec_(r), name_(name), per_octave_(points_per_octave), same_node_(same_node), out_(out),
          error_(error) {}

    // False with error set when the recording cannot be analysed; kind then says why.
    bool run(FindingKind &kind) {
        kind = FindingKind::NO_SIGNAL;
        if (rec_.frames() < 2 || rec_.rate == 0)
            return fail("too short to analyse", u8"för kort för att analyseras");
        levels();
        if (!check_inputs(kind))
            return false;
        if (!envelope())
            return fail("no signal on input A", u8"ingen signal på ingång A");
        if (!choose_method())
            return fail("too short to analyse", u8"för kort för att analyseras");
        if (!take_spectra() || !make_bands())
            return fail("out of memory", u8"minnet räcker inte");
        if (!find_hum())
            return fail("out of memory", u8"minnet räcker inte");
        return make_points();
    }

  private:
    bool fail(const char *english, const char *swedish, ...) {
        std::va_list args;
        va_start(args, swedish);
        set_measure_error(error_, name_, 0, english, swedish, args);
        va_end(args);
        return false;
    }

    void levels() {
        const Buffer<double> *channel[2] = {&rec_.left, &rec_.right};
        InputLevel *level[2] = {&out_.a, &out_.b};
        for (int c = 0; c < 2; ++c) {
            double peak = 0, power = 0;
            for (double x : *channel[c]) {
                peak = std::fmax(peak, std::fabs(x));
                power += x * x;
            }
            level[c]->peak = to_dbfs(peak);
            level[c]->rms = to_dbfs(std::sqrt(power / rec_.frames()));
        }
    }

    bool check_inputs(FindingKind &kind) {
        const std::size_t n = rec_.frames();
        std::size_t same = 0, clipped[2] = {0, 0};
        for (std::size_t i = 0; i < n; ++i) {
            same += rec_.left[i] == rec_.right[i];
            clipped[0] += std::fabs(rec_.left[i]) >= CLIP_LEVEL;
            clipped[1] += std::fabs(rec_.right[i]) >= CLIP_LEVEL;
        }
        for (int c = 0; c < 2; ++c)
            if (clipped[c]) {
                kind = FindingKind::CLIPPING;
                const double peak = c ? out_.b.peak : out_.a.peak;
                const double lower = std::fmax(1, peak - TARGET_PEAK_DBFS);
                return fail("input %c clips: %zu samples at or near full scale; lower the level "
                            "by at least %.0f dB",
                            u8"ingång %c överstyrs: %zu sampel vid eller nära full nivå; sänk "
                            u8"nivån minst %.0f dB",
                            c ? 'B' : 'A', clipped[c], lower);
            }
        if (out_.a.peak < -900 && out_.b.peak < -900) {
            kind = FindingKind::NO_SIGNAL;
            return fail("no broadband signal: both inputs are silent",
                        u8"ingen bredbandig signal: båda ingångarna är tysta");
        }
        if (!same_node_ && same >= IDENTICAL_SHARE * n) {
            kind = FindingKind::IDENTICAL;
            return fail(
                "both inputs carry the same samples: a mono input or a monitor mix, not "
                "the jig's two inputs",
                u8"båda ingångarna har samma sampel: en monoingång eller en medhörningsmix, "
                u8"inte mätfixturens två ingångar");
        }
        return true;
    }

    // The active stretch of input A: the blocks within ACTIVE_DB of the loudest.
    bool envelope() {
        block_ = std::max<std::size_t>(1, std::lround(rec_.rate * ENVELOPE_BLOCK_SECONDS));
        blocks_ = rec_.frames() / block_;
        if (blocks_ == 0)
            blocks_ = 1, block_ = rec_.frames();
        double loudest = 0;
        for (std::size_t b = 0; b < blocks_; ++b)
            loudest = std::fmax(loudest, block_power(b));
        if (!(loudest > 0))
            return false;
        const double floor = loudest * std::pow(10, ACTIVE_DB / 10);
        first_block_ = 0;
        while (block_power(first_block_) < floor)
            ++first_block_;
        last_block_ = blocks_ - 1;
        while (block_power(last_block_) < floor)
            --last_block_;
        return true;
    }

    double block_power(std::size_t b) const {
        double power = 0;
        const double *x = rec_.left.data() + b * block_;
        for (std::size_t i = 0; i < block_; ++i)
            power += x[i] * x[i];
        return power / block_;
    }

    bool choose_method() {
        const std::size_t period = stimulus_period(rec_.rate);
        if (rec_.rate >= STIMULUS_MIN_RATE && rec_.rate <= STIMULUS_MAX_RATE &&
            stimulus_tone_bins(rec_.rate, tones_) && tones_.size() >= 2) {
            // Frames of whole periods from the lead-in's steady half, once the jig has settled,
            // up to the fade-out.
            const std::size_t start =
                first_block_ * block_ + period / 2 + std::lround(rec_.rate * SETTLE_SECONDS);
            const std::size_t fade = std::lround(rec_.rate * STIMULUS_FADE_OUT_SECONDS);
            const std::size_t end = (last_block_ + 1) * block_;
            const std::size_t frames = end > start + fade ? (end - fade - start) / period : 0;
            if (frames >= 1 && holds_our_tones(start, period)) {
                out_.method = AnalysisMethod::PERIODIC;
                frame_start_ = start;
                frames_ = frames;
                n_ = period;
                return true;
            }
        }
        tones_.clear();
        if (first_block_ > 0 && last_block_ + 1 < blocks_ && is_sweep()) {
            out_.method = AnalysisMethod::WHOLE;
            n_ = smooth_length(rec_.frames());
            frames_ = 1;
            return true;
        }
        // Segments of two periods where the signal allows three of them at least: shorter ones
        // smooth a sharp resonance by their coarser resolution.
        out_.method = AnalysisMethod::WELCH;
        const std::size_t active = (last_block_ + 1 - first_block_) * block_;
        n_ = WELCH_PERIODS * period;
        while (n_ > MIN_SEGMENT && active < 2 * n_)
            n_ /= 2;
        if (active < n_)
            n_ = active;
        n_ &= ~std::size_t(3);
        frame_start_ = first_block_ * block_;
        if (n_ < MIN_SEGMENT / 16)
            return false;
        frames_ = 1 + (active - n_) / (n_ / 2);
        return true;
    }

    // A sweep changes its frequency over the recording, which noise does not: the zero
    // crossings per second of the active stretch's first and last eighth tell.
    bool is_sweep() const {
        const std::size_t first = first_block_ * block_, last = (last_block_ + 1) * block_;
        const std::size_t piece = (last - first) / 8;
        if (piece < 2)
            return false;
        double rate[2];
        for (int i = 0; i < 2; ++i) {
            const std::size_t at = i ? last - piece : first;
            int crossings = 0;
            for (std::size_t t = at + 1; t < at + piece; ++t)
                crossings += (rec_.left[t] >= 0) != (rec_.left[t - 1] >= 0);
            rate[i] = crossings + 1.0;
        }
        return rate[0] > SWEEP_RATE_RATIO * rate[1] || rate[1] > SWEEP_RATE_RATIO * rate[0];
    }

    // Whether input A's power lies on our tones: the recording holds our stimulus.
    bool holds_our_tones(std::size_t start, std::size_t period) {
        Buffer<Complex> spectrum;
        if (!spectrum.resize(period / 2 + 1))
            return false;
        // A plan that finds no memory is no sign of our tones: the segments' own then fail.
        if (!fft_.forward(rec_.left.data() + start, spectrum.data(), period))
            return false;
        double total = 0, on_tones = 0;
        for (std::size_t k = 1; k < spectrum.size(); ++k)
            total += std::norm(spectrum[k]);
        std::size_t next = 0;
        for (int tone : tones_) {
            const int reach = 1 + static_cast<int>(tone * DRIFT_ALLOWANCE);
            for (int k = std::max<int>(tone - reach, static_cast<int>(next));
                 k <= tone + reach && k < int(spectrum.size()); ++k)
                on_tones += std::norm(spectrum[k]);
            next = static_cast<std::size_t>(tone + reach + 1);
        }
        if (on_tones < OWN_STIMULUS_SHARE * total)
            return false;
        // And on all of them alike, as a slow sweep's piece on the low, dense tones is not.
        Buffer<double> power;
        if (!power.reserve(tones_.size()))
            return false;
        for (int tone : tones_)
            power.push_back(std::norm(spectrum[tone]));
        const double typical = median(power.data(), power.size());
        std::size_t level = 0;
        for (int tone : tones_)
            level += std::norm(spectrum[tone]) > OWN_TONE_SPREAD * typical;
        return level >= OWN_STIMULUS_SHARE * tones_.size();
    }

    bool take_spectra() {
        const std::size_t bins = n_ / 2 + 1;
        if (!aa_.resize(bins) || !bb_.resize(bins) || !ab_.resize(bins) || !fa_.resize(bins) ||
            !fb_.resize(bins) || !frame_a_.resize(n_) || !frame_b_.resize(n_))
            return false;
        std::fill(aa_.begin(), aa_.end(), 0.0);
        std::fill(bb_.begin(), bb_.end(), 0.0);
        std::fill(ab_.begin(), ab_.end(), Complex(0));
        out_.resolution_hz = rec_.rate / double(n_);
        if (!tone_.resize(bins) || !scratch_.reserve(bins))
            return false;
        std::fill(tone_.begin(), tone_.end(), static_cast<unsigned char>(0));
        for (int t : tones_)
            for (int k = t - 1; k <= t + 1; ++k)
                if (k >= 0 && k < int(bins))
                    tone_[k] = 1;
        if (out_.method == AnalysisMethod::WHOLE) {
            whole_frame();
            if (!add_frame())
                return false;
        } else if (out_.method == AnalysisMethod::WELCH) {
            for (std::size_t f = 0; f < frames_; ++f) {
                const std::size_t at = frame_start_ + f * (n_ / 2);
                for (std::size_t t = 0; t < n_; ++t) {
                    const double w = 0.5 - 0.5 * std::cos(2 * PI * t / n_);
                    frame_a_[t] = w * rec_.left[at + t];
                    frame_b_[t] = w * rec_.right[at + t];
                }
                if (!add_frame())
                    return false;
            }
        } else if (!periodic_frames()) {
            return false;
        }
        out_.averages = static_cast<int>(frames_);
        out_.errors_estimated =
            out_.method != AnalysisMethod::WHOLE && out_.averages >= MIN_AVERAGES_FOR_ERRORS;
        return true;
    }

    // Whole periods. When the inputs' clock runs apart from the output's, a frame of the
    // output's period in input samples is no whole period: each tone leaks onto its neighbours,
    // which near a resonance carry another H. The drift shows as each tone's phase advancing
    // from frame to frame by 2πk·ε; where it is measurable the frames are read again at the
    // output's clock, between the samples by a windowed sinc.
    bool periodic_frames() {
        if (!phases_.resize(2 * tones_.size()))
            return false;
        std::fill(phases_.begin(), phases_.end(), Complex(0));
        for (std::size_t f = 0; f < frames_; ++f) {
            const std::size_t at = frame_start_ + f * n_;
            std::memcpy(frame_a_.data(), rec_.left.data() + at, n_ * sizeof(double));
            std::memcpy(frame_b_.data(), rec_.right.data() + at, n_ * sizeof(double));
            if (!add_frame())
                return false;
            track_phases(f);
        }
        const double drift = clock_drift();
        if (!(std::fabs(drift) > MIN_DRIFT))
            return true;
        // Sample n of frame f at the output's clock lies at frame_start + (f·N + n)·step.
        const double step = 1 / (1 + drift);
        const std::size_t end =
            (last_block_ + 1) * block_ - std::lround(rec_.rate * STIMULUS_FADE_OUT_SECONDS);
        const std::size_t frames =
            static_cast<std::size_t>((double(end) - frame_start_ - Resampler::HALF) / (n_ * step));
        if (frames == 0 || !resampler_.prepare())
            return true;
        frames_ = std::min(frames_, frames);
        std::fill(aa_.begin(), aa_.end(), 0.0);
        std::fill(bb_.begin(), bb_.end(), 0.0);
        std::fill(ab_.begin(), ab_.end(), Complex(0));
        hum_lines_[0] = hum_lines_[1] = 0;
        for (std::size_t f = 0; f < frames_; ++f) {
            for (std::size_t t = 0; t < n_; ++t) {
                const double at = frame_start_ + (f * n_ + t) * step;
                frame_a_[t] = resampler_.at(rec_.left, at);
                frame_b_[t] = resampler_.at(rec_.right, at);
            }
            if (!add_frame())
                return false;
        }
        return true;
    }

    // Each tone's phase change from the previous frame, summed over the frames.
    void track_phases(std::size_t frame) {
        for (std::size_t i = 0; i < tones_.size(); ++i) {
            const Complex now = fa_[tones_[i]];
            if (frame > 0)
                phases_[2 * i + 1] += now * std::conj(phases_[2 * i]);
            phases_[2 * i] = now;
        }
    }

    // ε, the share by which a frame falls short of a period (or runs over it), from the
    // tones between DRIFT_LOW_HZ and DRIFT_HIGH_HZ, where 100 ppm turn a tone by less than half
    // a cycle per frame: a least-squares slope of the phase advance against the bin.
    double clock_drift() const {
        if (frames_ < 2)
            return 0;
        double sum_kk = 0, sum_kp = 0;
        for (std::size_t i = 0; i < tones_.size(); ++i) {
            const double f = tones_[i] * out_.resolution_hz;
            if (f < DRIFT_LOW_HZ || f > DRIFT_HIGH_HZ || std::abs(phases_[2 * i + 1]) == 0)
                continue;
            const double k = tones_[i];
            sum_kk += k * k;
            sum_kp += k * std::arg(phases_[2 * i + 1]);
        }
        return sum_kk > 0 ? sum_kp / sum_kk / (2 * PI) : 0;
    }

    // The whole recording, zero-padded, its silent ends tapered so that hum does not leak far;
    // the transient and the jig's decay after it stay whole.
    void whole_frame() {
        const std::size_t length = rec_.frames();
        const std::size_t rise = first_block_ * block_;
        const std::size_t tail = std::lround(rec_.rate * TAIL_SECONDS);
        std::size_t fall = (last_block_ + 1) * block_ + tail;
        if (fall > length)
            fall = length;
        for (std::size_t t = 0; t < n_; ++t) {
            double w = 0;
            if (t < length) {
                w = 1;
                if (t < rise)
                    w = 0.5 - 0.5 * std::cos(PI * t / rise);
                else if (t >= fall)
                    w = 0.5 + 0.5 * std::cos(PI * (t - fall) / double(length - fall));
                frame_a_[t] = w * rec_.left[t];
                frame_b_[t] = w * rec_.right[t];
            } else {
                frame_a_[t] = frame_b_[t] = 0;
            }
        }
    }

    // False when the transform finds no memory.
    bool add_frame() {
        if (!fft_.forward(frame_a_.data(), fa_.data(), n_) ||
            !fft_.forward(frame_b_.data(), fb_.data(), n_))
            return false;
        if (out_.method == AnalysisMethod::PERIODIC) {
            remove_hum(fa_);
            remove_hum(fb_);
        }
        for (std::size_t k = 0; k < fa_.size(); ++k) {
            aa_[k] += std::norm(fa_[k]);
            bb_[k] += std::norm(fb_[k]);
            ab_[k] += std::conj(fa_[k]) * fb_[k];
        }
        return true;
    }

    // Our tones stay off the mains harmonics, but hum a little off its nominal frequency leaks
    // from its line onto them (as 1/distance, with no window). Between the tones its line and
    // the bins beside it hold nothing else: a sinusoid's leakage is C/(ε − m) at m bins from
    // its nearest bin, ε its offset from that bin, so two bins tell C and ε, and the whole
    // leakage is taken out of every bin around.
    void remove_hum(Buffer<Complex> &x) {
        const double floor = std::fmax(std::pow(10, HUM_RATIO_DB / 10) * noise_floor(x),
                                       HUM_FLOOR_RE_TONES * tone_power(x));
        for (int family = 0; family < 2; ++family) {
            const double mains = MAINS_FAMILIES[family];
            for (int h = 1; h <= MAINS_LAST_HARMONIC; ++h) {
                const int centre = static_cast<int>(std::lround(h * mains / out_.resolution_hz));
                if (centre + HUM_REACH + 2 >= int(x.size()))
                    break;
                if (centre - 3 < 1 || tone_[centre])
                    continue;
                int k = centre;
                for (int c : {centre - 1, centre + 1})
                    if (!tone_[c] && std::norm(x[c]) > std::norm(x[k]))
                        k = c;
                if (!(std::norm(x[k]) > floor) || !is_line(x, k))
                    continue;
                const int side = std::norm(x[k + 1]) >= std::norm(x[k - 1]) ? 1 : -1;
                if (tone_[k + side])
                    continue;
                const Complex r = x[k] / x[k + side];
                double e = side > 0 ? (1.0 / (1.0 - r)).real() : (1.0 / (r - 1.0)).real();
                e = std::fmax(-0.5, std::fmin(0.5, e));
                const Complex c = x[k] * e;
                x[k] = 0;
                if (std::fabs(e) > 1e-12)
                    for (int m = 1; m <= HUM_REACH; ++m) {
                        x[k + m] -= c / (e - m);
                        if (k - m > 0)
                            x[k - m] -= c / (e + m);
                    }
                ++hum_lines_[family];
            }
        }
    }

    // A line's own shape: a peak whose bins two away hold a ninth of its power at most, as
    // the C/(ε − m) of a sinusoid within half a bin of k gives. The tail of a tone's leakage
    // falls away from the tone instead.
    bool is_line(const Buffer<Complex> &x, int k) const {
        const double peak = std::norm(x[k]);
        for (int m : {-2, -1, 1, 2}) {
            const double limit = std::abs(m) == 2 ? peak / 9 : peak;
            if (!tone_[k + m] && std::norm(x[k + m]) > limit)
                return false;
        }
        return true;
    }

    double tone_power(const Buffer<Complex> &x) {
        scratch_.clear();
        for (int t : tones_)
            scratch_.push_back(std::norm(x[t]));
        return median(scratch_.data(), scratch_.size());
    }

    // The frame's noise floor: the median of the bins without a tone. Around the lowest
    // harmonics every bin nearby is a tone, so the floor is the whole frame's.
    double noise_floor(const Buffer<Complex> &x) {
        scratch_.clear();
        for (std::size_t k = 1; k < x.size(); ++k)
            if (!tone_[k])
                scratch_.push_back(std::norm(x[k]));
        return median(scratch_.data(), scratch_.size());
    }

    // Each point's bins: around each of our tones, halfway to the next; otherwise the log grid,
    // never finer than the bins.
    bool make_bands() {
        bands_.clear();
        const int top = static_cast<int>(aa_.size()) - 1;
        if (out_.method == AnalysisMethod::PERIODIC) {
            for (std::size_t i = 0; i < tones_.size(); ++i) {
                const int low = i == 0 ? tones_[0] - (tones_[1] - tones_[0]) / 2
                                       : (tones_[i - 1] + tones_[i]) / 2 + 1;
                const int high = i + 1 == tones_.size()
                                     ? tones_[i] + (tones_[i] - tones_[i - 1]) / 2
                                     : (tones_[i] + tones_[i + 1]) / 2;
                if (!bands_.push_back({std::max(1, low), std::min(top, high)}))
                    return false;
            }
            return true;
        }
        const double high = std::fmin(GRID_HIGH_HZ, GRID_HIGH_OF_RATE * rec_.rate);
        const double half_step = std::exp2(0.5 / per_octave_);
        int from =
            std::max(1, static_cast<int>(std::ceil(GRID_LOW_HZ / half_step / out_.resolution_hz)));
        for (double f = GRID_LOW_HZ; f <= high; f *= half_step * half_step) {
            const int to = static_cast<int>(std::ceil(f * half_step / out_.resolution_hz)) - 1;
            if (to < from)
                continue; // finer than the bins: merged with the next point
            if (!bands_.push_back({from, std::min(top, to)}))
                return false;
            from = to + 1;
            if (from > top)
                break;
        }
        return true;
    }

    // Hum: a harmonic of 50 or 60 Hz standing far above the bins around it in either input. Its
    // bins are left out of every point.
    bool find_hum() {
        out_.hum_hz = 0;
        if (!excluded_.resize(aa_.size()))
            return false;
        std::fill(excluded_.begin(), excluded_.end(), static_cast<unsigned char>(0));
        if (out_.method == AnalysisMethod::PERIODIC) {
            if (hum_lines_[0] || hum_lines_[1])
                out_.hum_hz = MAINS_FAMILIES[hum_lines_[1] > hum_lines_[0]];
            return true;
        }
        // A steady signal shows hum as lines above its own spectrum; a transient's spectrum is
        // too uneven for that, but the silence around it holds the hum alone.
        double ratio_db = HUM_WELCH_DB;
        line_floor_ = 0;
        const double *pa = aa_.data(), *pb = bb_.data();
        std::size_t size = aa_.size();
        double resolution = out_.resolution_hz;
        if (out_.method == AnalysisMethod::WHOLE) {
            if (!silence_spectrum())
                return false;
            ratio_db = HUM_SILENCE_DB;
            pa = silent_a_.data();
            pb = silent_b_.data();
            size = silent_a_.size();
            resolution = silence_resolution_;
        }
        // Weaker harmonics than those found may still stand out of the stimulus in one bin:
        // every harmonic of the mains found is left out.
        int most = 0;
        for (double mains : MAINS_FAMILIES) {
            int found = 0;
            for (int h = 1; h <= MAINS_LAST_HARMONIC && size; ++h) {
                const double f = h * mains;
                const int centre = static_cast<int>(std::lround(f / resolution));
                const int search = std::max(1, static_cast<int>(HUM_SEARCH * f / resolution));
                if (centre + search + 2 >= int(size))
                    break;
                if (centre - search < 1)
                    continue;
                int peak = centre;
                for (int k = centre - search; k <= centre + search; ++k)
                    if (pa[k] + pb[k] > pa[peak] + pb[peak])
                        peak = k;
                found += pa[peak] + pb[peak] > line_floor_ &&
                         stands_out(pa, pb, size, peak, search, ratio_db);
            }
            if (found > most) {
                most = found;
                out_.hum_hz = mains;
            }
        }
        if (out_.hum_hz == 0)
            return true;
        const double width = out_.method == AnalysisMethod::WHOLE
                                 ? HUM_WHOLE_EXCLUDE_HZ
                                 : HUM_WELCH_EXCLUDE_BINS * out_.resolution_hz;
        for (int h = 1; h <= MAINS_LAST_HARMONIC; ++h) {
            const double line = h * out_.hum_hz;
            const int low =
                std::max(1, static_cast<int>(
                                std::ceil((line * (1 - HUM_SEARCH) - width) / out_.resolution_hz)));
            const int high =
                std::min(int(aa_.size()) - 1,
                         static_cast<int>((line * (1 + HUM_SEARCH) + width) / out_.resolution_hz));
            for (int k = low; k <= high; ++k)
                excluded_[k] = 1;
        }
        return true;
    }

    // Input A's and B's power in the longer silence before or after the transient, Hann-
    // windowed; empty when neither lasts MIN_SILENCE_SECONDS.
    bool silence_spectrum() {
        silent_a_.clear();
        silent_b_.clear();
        const std::size_t before = first_block_ * block_;
        const std::size_t after_start =
            std::min(rec_.frames(), (last_block_ + 1) * block_ +
                                        static_cast<std::size_t>(rec_.rate * TAIL_SECONDS));
        const std::size_t after = rec_.frames() - after_start;
        const std::size_t at = before >= after ? 0 : after_start;
        // Cut to a quick length: a silence of any length may have a large prime factor.
        const std::size_t length = smooth_length_within(before >= after ? before : after);
        if (length < MIN_SILENCE_SECONDS * rec_.rate)
            return true;
        Buffer<double> x;
        Buffer<Complex> spectrum;
        if (!x.resize(length) || !spectrum.resize(length / 2 + 1) ||
            !silent_a_.resize(length / 2 + 1) || !silent_b_.resize(length / 2 + 1))
            return false;
        const Buffer<double> *channel[2] = {&rec_.left, &rec_.right};
        Buffer<double> *power[2] = {&silent_a_, &silent_b_};
        for (int c = 0; c < 2; ++c) {
            for (std::size_t t = 0; t < length; ++t)
                x[t] = (0.5 - 0.5 * std::cos(2 * PI * t / length)) * (*channel[c])[at + t];
            if (!fft_.forward(x.data(), spectrum.data(), length))
                return false;
            for (std::size_t k = 0; k < spectrum.size(); ++k)
                (*power[c])[k] = std::norm(spectrum[k]);
        }
        silence_resolution_ = rec_.rate / double(length);
        // A line that faint is no hum to leave points out for, whatever the silence's noise.
        const double amplitude = std::pow(10, HUM_FLOOR_DBFS / 20) * length / 4;
        line_floor_ = amplitude * amplitude;
        return true;
    }

    static bool stands_out(const double *pa, const double *pb, std::size_t size, int peak,
                           int search, double ratio_db) {
        double around_a[2 * HUM_NEIGHBOURS], around_b[2 * HUM_NEIGHBOURS];
        std::size_t count = 0;
        for (int d = search + 2; d < search + 2 + HUM_NEIGHBOURS; ++d)
            for (int k : {peak - d, peak + d})
                if (k > 0 && k < int(size) && count < 2 * HUM_NEIGHBOURS) {
                    around_a[count] = pa[k];
                    around_b[count++] = pb[k];
                }
        if (count < 4)
            return false;
        const double ratio = std::pow(10, ratio_db / 10);
        return pa[peak] > ratio * median(around_a, count) ||
               pb[peak] > ratio * median(around_b, count);
    }

    bool make_points() {
        Buffer<TransferPoint> &points = out_.points;
        points.clear();
        if (!points.reserve(bands_.size()))
            return fail("out of memory", u8"minnet räcker inte");
        for (const Band &band : bands_) {
            double saa = 0, sbb = 0, weighted = 0;
            Complex sab = 0;
            int used = 0, hum = 0;
            for (int k = band.first; k <= band.last; ++k) {
                if (excluded_[k]) {
                    ++hum;
                    continue;
                }
                saa += aa_[k];
                sbb += bb_[k];
                sab += ab_[k];
                weighted += aa_[k] * k;
                ++used;
            }
            TransferPoint p{};
            p.level = saa;
            p.reason = -1;
            if (used == 0 || !(saa > 0)) {
                if (hum == 0 && used == 0)
                    continue;
                p.frequency = 0.5 * (band.first + band.last) * out_.resolution_hz;
                p.reason = hum ? LEFT_OUT_HUM : LEFT_OUT_LEVEL;
            } else {
                p.frequency = weighted / saa * out_.resolution_hz;
                p.h = sab / saa;
                p.coherence = sbb > 0 ? std::norm(sab) / (saa * sbb) : 0;
                if (out_.errors_estimated) {
                    double n = out_.averages;
                    if (out_.method == AnalysisMethod::WELCH)
                        n *= std::max(1.0, used / 2.0); // Hann's neighbouring bins overlap
                    const double g = std::fmax(p.coherence, 1e-12);
                    p.relative_error = std::sqrt(std::fmax(0.0, 1 - g) / (2 * n * g));
                }
            }
            points.push_back(p);
        }
        // Level: against the median point, so that a stimulus that leaves out a part of the band
        // does not count its noise there.
        Buffer<double> levels;
        if (!levels.reserve(points.size()))
            return fail("out of memory", u8"minnet räcker inte");
        for (const TransferPoint &p : points)
            if (p.reason < 0)
                levels.push_back(p.level);
        const double floor =
            median(levels.data(), levels.size()) * std::pow(10, LEVEL_FLOOR_DB / 10);
        for (TransferPoint &p : points) {
            if (p.reason >= 0)
                continue;
            if (!(p.level > floor))
                p.reason = LEFT_OUT_LEVEL;
            else if (p.coherence < MIN_COHERENCE)
                p.reason = LEFT_OUT_COHERENCE;
        }
        return true;
    }

    struct Band {
        int first, last;
    };

    const Recording &rec_;
    const char *name_;
    double per_octave_;
    bool same_node_;
    Transfer &out_;
    MeasureError &error_;
    RealFft fft_;
    Buffer<int> tones_;
    std::size_t block_ = 0, blocks_ = 0, first_block_ = 0, last_block_ = 0;
    std::size_t n_ = 0, frames_ = 0, frame_start_ = 0;
    Buffer<double> aa_, bb_, frame_a_, frame_b_, scratch_;
    Buffer<Complex> ab_, fa_, fb_, phases_;
    Resampler resampler_;
    Buffer<Band> bands_;
    Buffer<unsigned char> excluded_, tone_;
    Buffer<double> silent_a_, silent_b_;
    double silence_resolution_ = 0, line_floor_ = 0;
    int hum_lines_[2] = {0, 0}; // taken out of the frames, per family
};

// A complex value at f between the kept points of a transfer, linear in log f; the nearest
// end's value outside them.
class Interpolated {
  public:
    // value(p) gives what is interpolated from each kept point.
    template <typename Value> bool set(const Transfer &t, Value value) {
        f_.clear();
        v_.clear();
        for (const TransferPoint &p : t.points)
            if (p.reason < 0 && (!f_.push_back(std::log(p.frequency)) || !v_.push_back(value(p))))
                return false;
        return !f_.empty();
    }

    Complex at(double f) const {
        const double x = std::log(f);
        if (x <= f_.front())
            return v_.front();
        if (x >= f_.back())
            return v_.back();
        const std::size_t i = std::upper_bound(f_.begin(), f_.end(), x) - f_.begin();
        const double s = (x - f_[i - 1]) / (f_[i] - f_[i - 1]);
        return v_[i - 1] + s * (v_[i] - v_[i - 1]);
    }

  private:
    Buffer<double> f_;
    Buffer<Complex> v_;
};

class ImpedanceAnalysis {
  public:
    ImpedanceAnalysis(const char *name, const ImpedanceSettings &s, ImpedanceResult &r,
                      MeasureError &e)
        : name_(name), settings_(s), result_(r), error_(e) {}

    bool run(const Recording &recording) {
        reset();
        if (!(settings_.rref > 0) || !std::isfinite(settings_.rref))
            return refuse_as(FindingKind::NO_SIGNAL, name_, "Rref must be above 0 ohm",
                             u8"Rref måste vara över 0 ohm");
        Transfer measured;
        if (!analyse(recording, name_, measured))
            return false;
        result_.method = measured.method;
        result_.averages = measured.averages;
        result_.resolution_hz = measured.resolution_hz;
        result_.errors_estimated = measured.errors_estimated;
        result_.hum_hz = measured.hum_hz;
        result_.a = measured.a;
        result_.b = measured.b;
        if (!calibration() || !check_short(measured) || !check_signal(measured))
            return false;
        if (swapped(measured)) {
            result_.swapped = true;
            for (TransferPoint &p : measured.points)
                if (p.reason < 0)
                    p.h = 1.0 / p.h;
            warn(FindingKind::SWAPPED,
                 "the inputs are swapped: input B (right) carries more than input A (left); they "
                 "were exchanged",
                 u8"ingångarna är förväxlade: ingång B (höger) har mer än ingång A (vänster); de "
                 u8"byttes");
        }
        if (!check_jig(measured) || !corrections())
            return false;
        return make_points(measured);
    }

  private:
    void reset() {
        result_.method = AnalysisMethod::WELCH;
        result_.averages = 0;
        result_.resolution_hz = 0;
        result_.errors_estimated = false;
        result_.swapped = result_.calibrated = false;
        result_.open_corrected = result_.short_corrected = false;
        result_.hum_hz = 0;
        result_.a = result_.b = InputLevel{-999, -999};
        result_.band_low = result_.band_high = 0;
        result_.grid_points = 0;
        for (int &n : result_.left_out)
            n = 0;
        result_.points.clear();
        result_.finding_count = 0;
    }

    void add(FindingKind kind, Severity severity, const char *name, const char *english,
             const char *swedish, std::va_list args) {
        if (result_.finding_count == MAX_FINDINGS)
            return;
        Finding &f = result_.findings[result_.finding_count++];
        f.kind = kind;
        f.severity = severity;
        set_measure_error(f.text, name, 0, english, swedish, args);
    }

    void warn(FindingKind kind, const char *english, const char *swedish, ...) {
        std::va_list args;
        va_start(args, swedish);
        add(kind, Severity::WARNING, name_, english, swedish, args);
        va_end(args);
    }

    bool refuse_as(FindingKind kind, const char *name, const char *english, const char *swedish,
                   ...) {
        std::va_list args, again;
        va_start(args, swedish);
        va_copy(again, args);
        add(kind, Severity::REFUSED, name, english, swedish, args);
        set_measure_error(error_, name, 0, english, swedish, again);
        va_end(again);
        va_end(args);
        return false;
    }

    // A recording analysed on its own; a refusal of it becomes a finding.
    bool analyse(const Recording &recording, const char *name, Transfer &t,
                 bool same_node = false) {
        FindingKind kind;
        if (Analysis(recording, name, settings_.points_per_octave, same_node, t, error_).run(kind))
            return true;
        if (result_.finding_count < MAX_FINDINGS) {
            Finding &f = result_.findings[result_.finding_count++];
            f.kind = kind;
            f.severity = Severity::REFUSED;
            f.text = error_;
        }
        return false;
    }

    static int kept(const Transfer &t) {
        int n = 0;
        for (const TransferPoint &p : t.points)
            n += p.reason < 0;
        return n;
    }

    bool check_signal(const Transfer &t) {
        const int n = kept(t);
        if (n < MIN_POINTS)
            return refuse_as(FindingKind::NO_SIGNAL, name_,
                             "no broadband signal: %d points of the band carry one, fewer than %d",
                             u8"ingen bredbandig signal: %d punkter av bandet har en, färre än %d",
                             n, MIN_POINTS);
        return true;
    }

    // A short leaves input B with nothing of the stimulus, so that its points fail for
    // coherence: the points with the level are looked at before that.
    bool check_short(const Transfer &t) {
        Buffer<double> values;
        for (const TransferPoint &p : t.points)
            if ((p.reason < 0 || p.reason == LEFT_OUT_COHERENCE) &&
                !values.push_back(std::abs(p.h)))
                return refuse_as(FindingKind::NO_SIGNAL, name_, "out of memory",
                                 u8"minnet räcker inte");
        const double shorted = median(values.data(), values.size());
        if (values.size() >= std::size_t(MIN_POINTS) && shorted < SHORT_LIMIT)
            return refuse_as(
                FindingKind::SHORTED, name_,
                "the driver is shorted: input B carries nothing of the stimulus "
                "(H = 0 within %.2f %%)",
                u8"elementet är kortslutet: ingång B har inget av signalen (H = 0 inom "
                u8"%.2f %%)",
                100 * shorted);
        return true;
    }

    // The median over the kept points of what value gives.
    template <typename Value> static double median_of(const Transfer &t, Value value) {
        Buffer<double> values;
        for (const TransferPoint &p : t.points)
            if (p.reason < 0 && !values.push_back(value(p)))
                return NAN;
        return median(values.data(), values.size());
    }

    bool calibration() {
        if (!settings_.calibration) {
            warn(FindingKind::UNCALIBRATED,
                 "uncalibrated: no channel-match calibration, the inputs are taken as equal",
                 u8"okalibrerad: ingen kalibrering av ingångarna, de antas lika");
            return true;
        }
        const char *name = settings_.calibration_name;
        if (!analyse(*settings_.calibration, name, calibration_, true) ||
            !check_signal(calibration_))
            return false;
        const double gain = median_of(calibration_, [](const TransferPoint &p) {
            return std::fabs(20 * std::log10(std::abs(p.h)));
        });
        const double degrees = median_of(calibration_, [](const TransferPoint &p) {
            return std::fabs(std::arg(p.h)) * 180 / PI;
        });
        if (!(gain <= CALIBRATION_LIMIT_DB && degrees <= CALIBRATION_LIMIT_DEGREES))
            return refuse_as(FindingKind::NOT_CALIBRATION, name,
                             "not a calibration: the inputs differ by %.1f dB and %.0f degrees; "
                             "record it with both inputs on the same node",
                             u8"ingen kalibrering: ingångarna skiljer %.1f dB och %.0f grader; "
                             u8"spela in med båda ingångarna på samma punkt",
                             gain, degrees);
        result_.calibrated = true;
        return calibration_h_.set(calibration_, [](const TransferPoint &p) { return p.h; }) &&
               calibration_error_.set(
                   calibration_, [](const TransferPoint &p) { return Complex(p.relative_error); });
    }

    Complex h_cal(double f) const { return result_.calibrated ? calibration_h_.at(f) : Complex(1); }

    // Input B beyond input A over most of the band: the jig cannot give that, the cables can.
    bool swapped(const Transfer &t) const {
        int above = 0, n = 0;
        for (const TransferPoint &p : t.points)
            if (p.reason < 0) {
                ++n;
                above += std::abs(p.h / h_cal(p.frequency)) > 1;
            }
        return above > SWAP_SHARE * n;
    }

    bool check_jig(Transfer &t) {
        if (result_.swapped && result_.calibrated)
            swap_calibration_ = true;
        for (TransferPoint &p : t.points)
            if (p.reason < 0)
                p.h /= calibrated(p.frequency);
        const double open =
            median_of(t, [](const TransferPoint &p) { return std::abs(1.0 - p.h); });
        if (open < OPEN_LIMIT)
            return refuse_as(
                FindingKind::OPEN_JIG, name_,
                "no driver connected: input B follows input A (H = 1 within %.2f %%)",
                u8"ingen element anslutet: ingång B följer ingång A (H = 1 inom %.2f %%)",
                100 * open);
        return true;
    }

    // The calibration's H as it applies to the measurement's channel order.
    Complex calibrated(double f) const {
        const Complex c = h_cal(f);
        return swap_calibration_ ? 1.0 / c : c;
    }

    // Z of a correction's recording, calibrated, interpolated over its kept points.
    bool correction(const Recording &recording, const char *name, Interpolated &z) {
        Transfer t;
        if (!analyse(recording, name, t) || !check_signal(t))
            return false;
        const double rref = settings_.rref;
        for (TransferPoint &p : t.points)
            if (p.reason < 0)
                p.h = (result_.swapped ? 1.0 / p.h : p.h) / calibrated(p.frequency);
        return z.set(t, [rref](const TransferPoint &p) { return rref * p.h / (1.0 - p.h); });
    }

    bool corrections() {
        if (settings_.open) {
            if (!correction(*settings_.open, settings_.open_name, open_z_))
                return false;
            result_.open_corrected = true;
        } else if (settings_.rin > 0) {
            result_.open_corrected = true;
        }
        if (settings_.shorted) {
            if (!correction(*settings_.shorted, settings_.short_name, short_z_))
                return false;
            result_.short_corrected = true;
        } else if (settings_.rlead >= 0) {
            result_.short_corrected = true;
        }
        return true;
    }

    // Input B's admittance, in parallel with whatever hangs on the jig's terminals.
    Complex input_admittance(double f) const {
        if (settings_.open)
            return 1.0 / open_z_.at(f);
        return settings_.rin > 0 ? Complex(1 / settings_.rin) : Complex(0);
    }

    // The circuit: input B sees Zin ∥ (Zlead + Z), so Zm = Zin·(Zlead + Z)/(Zin + Zlead + Z)
    // and Zlead + Z = Zm/(1 − Zm·Yin). The shorted jig's reading is the same with Z = 0:
    // Zlead = Zs/(1 − Zs·Yin). Z is their difference.
    Complex corrected(double f, Complex zm) const {
        const Complex y = input_admittance(f);
        Complex z = zm / (1.0 - zm * y);
        if (settings_.shorted) {
            const Complex zs = short_z_.at(f);
            z -= zs / (1.0 - zs * y);
        } else if (settings_.rlead >= 0) {
            z -= settings_.rlead;
        }
        return z;
    }

    bool make_points(const Transfer &t) {
        if (!result_.points.reserve(t.points.size()))
            return refuse_as(FindingKind::NO_SIGNAL, name_, "out of memory",
                             u8"minnet räcker inte");
        result_.grid_points = static_cast<int>(t.points.size());
        int first_kept = -1, last_kept = -1, index = 0;
        for (const TransferPoint &p : t.points) {
            if (p.reason >= 0) {
                ++result_.left_out[p.reason];
            } else {
                MeasuredPoint m;
                m.frequency = p.frequency;
                m.z = corrected(p.frequency, settings_.rref * p.h / (1.0 - p.h));
                m.coherence = p.coherence;
                m.magnitude_error = 0;
                if (t.errors_estimated) {
                    double relative = p.relative_error;
                    if (result_.calibrated) {
                        const double c = calibration_error_.at(p.frequency).real();
                        relative = std::sqrt(relative * relative + c * c);
                    }
                    m.magnitude_error = std::abs(m.z) * relative / std::abs(1.0 - p.h);
                }
                result_.points.push_back(m);
                if (first_kept < 0)
                    first_kept = index;
                last_kept = index;
            }
            ++index;
        }
        result_.band_low = result_.points.front().frequency;
        result_.band_high = result_.points.back().frequency;
        if (result_.left_out[LEFT_OUT_HUM])
            warn(FindingKind::HUM, "mains hum at %.0f Hz: %d points left out",
                 u8"nätbrum vid %.0f Hz: %d punkter utelämnade", result_.hum_hz,
                 result_.left_out[LEFT_OUT_HUM]);
        const int level = result_.left_out[LEFT_OUT_LEVEL];
        const int coherence = result_.left_out[LEFT_OUT_COHERENCE];
        const bool narrowed = first_kept > 0 || last_kept + 1 < int(t.points.size());
        if (narrowed && (level || coherence))
            warn(FindingKind::BAND_NARROWED,
                 "band narrowed to %.4g to %.4g Hz: the level is too low beyond it (%d points "
                 "left out below the level, %d for coherence under %.2f)",
                 u8"bandet begränsat till %.4g till %.4g Hz: nivån är för låg utanför (%d punkter "
                 u8"utelämnade under nivån, %d för koherens under %.2f)",
                 result_.band_low, result_.band_high, level, coherence, MIN_COHERENCE);
        if (result_.a.peak < LOW_LEVEL_DBFS)
            warn(FindingKind::LOW_LEVEL,
                 "input A peaks at %.1f dBFS only: raise the level towards %.0f dBFS",
                 u8"ingång A når bara %.1f dBFS: höj nivån mot %.0f dBFS", result_.a.peak,
                 TARGET_PEAK_DBFS);
        return true;
    }

    static constexpr double SWAP_SHARE = 0.9;

    const char *name_;
    const ImpedanceSettings &settings_;
    ImpedanceResult &result_;
    MeasureError &error_;
    Transfer calibration_;
    Interpolated calibration_h_, calibration_error_, open_z_, short_z_;
    bool swap_calibration_ = false;
};

} // namespace

namespace {

bool smooth(std::size_t n) {
    std::size_t m = n;
    for (std::size_t f : {2, 3, 5})
        while (m % f == 0)
            m /= f;
    return m == 1 && n % 4 == 0;
}

} // namespace

std::size_t smooth_length(std::size_t size) {
    std::size_t n = size < 2 ? 2 : size;
    while (!smooth(n))
        ++n;
    return n;
}

std::size_t smooth_length_within(std::size_t size) {
    std::size_t n = size & ~std::size_t(3);
    while (n > 0 && !smooth(n))
        n -= 4;
    return n;
}

bool ImpedanceResult::refused() const {
    for (int i = 0; i < finding_count; ++i)
        if (findings[i].severity == Severity::REFUSED)
            return true;
    return false;
}

bool analyse_impedance(const Recording &recording, const char *name,
                       const ImpedanceSettings &settings, ImpedanceResult &result,
                       MeasureError &error) {
    return ImpedanceAnalysis(name, settings, result, error).run(recording);
}

bool result_to_sweep(const ImpedanceResult &result, Sweep &sweep) {
    sweep.points.clear();
    sweep.has_phase = true;
    sweep.has_errors = result.errors_estimated;
    if (!sweep.points.reserve(result.points.size()))
        return false;
    for (const MeasuredPoint &p : result.points)
        sweep.points.push_back({p.frequency, std::abs(p.z), std::arg(p.z), p.magnitude_error});
    return true;
}
