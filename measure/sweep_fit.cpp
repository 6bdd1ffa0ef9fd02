#include "measure/sweep_fit.h"

#include <algorithm>
#include <cmath>

const FitValueRow FIT_VALUE_ROWS[FIT_VALUE_ROW_COUNT] = {
    {"Re", "ohm", 1, &SweepFit::Re},     {"Fs", "Hz", 1, &SweepFit::Fs},
    {"Zmax", "ohm", 1, &SweepFit::Zmax}, {"Qms", "", 1, &SweepFit::Qms},
    {"Qes", "", 1, &SweepFit::Qes},      {"Qts", "", 1, &SweepFit::Qts},
    {"Le", "mH", 1e3, &SweepFit::Le},    {"K", "sH", 1, &SweepFit::K},
    {"R2", "ohm", 1, &SweepFit::R2},     {"L2", "mH", 1e3, &SweepFit::L2},
    {"Res", "ohm", 1, &SweepFit::Res},   {"beta", "", 1, &SweepFit::Beta},
};

namespace {

using Complex = std::complex<double>;
using FitPoint = ImpedancePoint;
constexpr double TWO_PI = 2 * 3.14159265358979323846;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Beyond, every k-th point of the sweep: more would add time, not accuracy.
constexpr std::size_t MAX_FIT_POINTS = 1000;
// The resonance must stand this much above the lowest |Z| on either side of it.
constexpr double MIN_PEAK_RATIO = 1.1;
constexpr int SMOOTHING = 5; // points in the running median that finds the peak
constexpr double MIN_RES_START = 1e-3;

// Consecutive rows with the same values are one reading of a coarser measurement (stair steps
// at low frequencies): each run becomes one point in the middle of its frequencies.
// False when memory runs out.
bool merge_repeats(const Sweep &sweep, Buffer<FitPoint> &merged) {
    const Buffer<SweepPoint> &in = sweep.points;
    merged.clear();
    if (!merged.reserve(in.size()))
        return false;
    for (std::size_t i = 0; i < in.size();) {
        std::size_t j = i + 1;
        while (j < in.size() && in[j].magnitude == in[i].magnitude && in[j].phase == in[i].phase)
            ++j;
        const double f = (in[i].frequency + in[j - 1].frequency) / 2;
        if (f > 0 && in[i].magnitude > 0)
            merged.push_back({f, std::polar(in[i].magnitude, in[i].phase), in[i].magnitude});
        i = j;
    }
    return true;
}

double median_around(const Buffer<FitPoint> &points, std::size_t i) {
    const std::size_t half = SMOOTHING / 2;
    const std::size_t first = i < half ? 0 : i - half;
    const std::size_t last = std::min(points.size(), i + half + 1);
    double window[SMOOTHING];
    std::size_t n = 0;
    for (std::size_t k = first; k < last; ++k)
        window[n++] = points[k].magnitude;
    std::nth_element(window, window + n / 2, window + n);
    return window[n / 2];
}

// Where the smoothed |Z| crosses the level going out from the peak, interpolated; NaN when it
// does not within the sweep.
double crossing(const Buffer<FitPoint> &points, const double *smooth, std::size_t peak,
                double level, int direction) {
    for (std::size_t i = peak; i > 0 && i + 1 < points.size();) {
        const std::size_t next = direction < 0 ? i - 1 : i + 1;
        if (smooth[next] < level) {
            const double t = (smooth[i] - level) / (smooth[i] - smooth[next]);
            return points[i].f + t * (points[next].f - points[i].f);
        }
        i = next;
    }
    return NaN;
}

class Fitter {
  public:
    Fitter(const char *name, MeasureError &error) : name_(name), error_(error) {}

    bool fail(const char *english, const char *swedish, ...) MEASURE_PRINTF(2) {
        std::va_list args;
        va_start(args, swedish);
        set_measure_error(error_, name_, 0, english, swedish, args);
        va_end(args);
        return false;
    }

    // The resonance is the point that stands highest above the lowest |Z| on both sides: the
    // rise of the voice coil towards the top of the sweep, however high, has nothing lower
    // after it.
    bool out_of_memory() { return fail("out of memory", u8"minnet räcker inte"); }

    bool classic(const Buffer<FitPoint> &points, double re_given, ClassicValues &c) {
        const std::size_t n = points.size();
        // Rows that repeat |Z| and phase merge into one point: all of them into one at most.
        if (n == 1)
            return fail("|Z| is %.6g ohm on every row: no resonance peak to fit",
                        u8"|Z| är %.6g ohm på varje rad: kurvan har ingen resonanstopp att "
                        u8"anpassa",
                        points[0].magnitude);
        if (n < SWEEP_MIN_POINTS)
            return fail("only %zu points with frequency and |Z| above 0",
                        u8"bara %zu punkter med frekvens och |Z| över 0", n);
        // The running median, and the lowest of it from each point on.
        Buffer<double> scratch;
        if (!scratch.resize(2 * n))
            return out_of_memory();
        double *smooth = scratch.data(), *above = smooth + n;
        for (std::size_t i = 0; i < n; ++i)
            smooth[i] = median_around(points, i);
        for (std::size_t i = n; i-- > 0;)
            above[i] = i == n - 1 ? smooth[i] : std::min(above[i + 1], smooth[i]);
        std::size_t peak = 0;
        double best = 0, below = smooth[0];
        for (std::size_t i = 1; i + 1 < n; ++i) {
            below = std::min(below, smooth[i]);
            const double ratio = smooth[i] / std::max(below, above[i]);
            if (ratio > best) {
                best = ratio;
                peak = i;
            }
        }
        if (best < MIN_PEAK_RATIO)
            return fail("no resonance peak inside the sweep (%.6g to %.6g Hz)",
                        u8"ingen resonanstopp inom kurvan (%.6g till %.6g Hz)", points[0].f,
                        points[n - 1].f);
        // The highest measured point near the smoothed peak.
        std::size_t top = peak;
        for (std::size_t k = peak > SMOOTHING / 2 ? peak - SMOOTHING / 2 : 0;
             k <= std::min(n - 1, peak + SMOOTHING / 2); ++k)
            if (points[k].magnitude > points[top].magnitude)
                top = k;
        c.Fs = points[top].f;
        c.Zmax = points[top].magnitude;
        c.Re = std::isnan(re_given) ? *std::min_element(smooth, smooth + n) : re_given;
        if (!(c.Re > 0))
            return fail("Re %.6g ohm is not above 0", u8"Re %.6g ohm är inte över 0", c.Re);
        if (c.Zmax <= c.Re)
            return fail("the resonance peak (%.6g ohm at %.6g Hz) is not above Re %.6g ohm",
                        u8"resonanstoppen (%.6g ohm vid %.6g Hz) ligger inte över Re %.6g ohm",
                        c.Zmax, c.Fs, c.Re);
        const double level = std::sqrt(c.Re * c.Zmax);
        c.F1 = crossing(points, smooth, top, level, -1);
        c.F2 = crossing(points, smooth, top, level, +1);
        // The peak is symmetric in log f: F1·F2 = Fs².
        if (std::isnan(c.F1))
            c.F1 = c.Fs * c.Fs / c.F2;
        if (std::isnan(c.F2))
            c.F2 = c.Fs * c.Fs / c.F1;
        if (std::isnan(c.F1))
            return fail("no resonance peak inside the sweep: |Z| stays above %.6g ohm on both "
                        "sides of %.6g Hz",
                        u8"ingen resonanstopp inom kurvan: |Z| stannar över %.6g ohm på båda sidor "
                        u8"om %.6g Hz",
                        level, c.Fs);
        const double ro = c.Zmax / c.Re;
        c.Qms = c.Fs * std::sqrt(ro) / (c.F2 - c.F1);
        c.Qes = c.Qms / (ro - 1);
        c.Qts = c.Qms * c.Qes / (c.Qms + c.Qes);
        return true;
    }

  private:
    const char *name_;
    MeasureError &error_;
};

// At most MAX_FIT_POINTS, taken in place.
void thin(Buffer<FitPoint> &points) {
    const std::size_t step = (points.size() + MAX_FIT_POINTS - 1) / MAX_FIT_POINTS;
    if (step <= 1)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < points.size(); i += step)
        points[kept++] = points[i];
    points.resize(kept);
}

// Starting values of Le from the reactance at the top of the band that the classic values
// leave unexplained. |Z| alone does not tell the sign of the reactance there, and a start on
// the wrong side ends in a minimum with negative Le: each reading is tried, with no
// inductance at all.
struct LeStarts {
    double value[3];
    int count;
    void add(double le) {
        if (le > 0)
            value[count++] = le;
    }
};
LeStarts le_starts(const FitPoint &top, const ClassicValues &c, bool phase) {
    const double x = top.f / c.Fs - c.Fs / top.f;
    const Complex motional = (c.Zmax - c.Re) / Complex(1, c.Qms * x);
    const double w = TWO_PI * top.f;
    LeStarts starts{{0}, 1};
    if (phase) {
        starts.add((top.z - motional).imag() / w);
    } else {
        const double resistance = c.Re + motional.real();
        const double reactance =
            std::sqrt(std::max(0.0, top.magnitude * top.magnitude - resistance * resistance));
        starts.add((reactance - motional.imag()) / w);
        starts.add((-reactance - motional.imag()) / w);
    }
    return starts;
}

// The stretch of the band [first, last] where the model follows the sweep, by the rule in
// sweep_fit.h; all of it when memory runs out.
struct Followed {
    std::size_t first, last;
};
Followed followed_band(const FitSetup &setup, const ModelFit &solution, double fs) {
    const SweepSpan &span = setup.spans[0];
    const std::size_t n = span.count;
    // sums[i]: the squared residuals of the points before i, for the RMS of any neighbourhood.
    Buffer<double> sums;
    if (!sums.resize(n + 1))
        return {0, n - 1};
    sums[0] = 0;
    for (std::size_t i = 0; i < n; ++i)
        sums[i + 1] = sums[i] + std::norm(point_residual(setup, solution, 0, span.points[i]));
    const double limit =
        std::max(BAND_RATIO * fit_quality(setup, solution).scatter_percent, MIN_MISFIT_PERCENT) /
        100;
    const auto misfit = [&](std::size_t i) {
        const std::size_t half = LOCAL_POINTS / 2;
        const std::size_t low = i < half ? 0 : i - half, high = std::min(n, i + half + 1);
        const ImpedancePoint &p = span.points[i];
        const bool core = p.f > fs / CORE_RANGE && p.f < fs * CORE_RANGE;
        return !core && std::sqrt((sums[high] - sums[low]) / (high - low)) > limit;
    };
    const std::size_t centre =
        std::lower_bound(span.points, span.points + n, fs,
                         [](const ImpedancePoint &p, double f) { return p.f < f; }) -
        span.points;
    Followed band{0, n - 1};
    for (std::size_t i = centre; i < n; ++i)
        if (misfit(i)) {
            band.last = i - 1;
            break;
        }
    for (std::size_t i = std::min(centre, n - 1) + 1; i-- > 0;)
        if (misfit(i)) {
            band.first = i + 1;
            break;
        }
    if (band.last + 1 - band.first < static_cast<std::size_t>(MIN_FIT_POINTS))
        return {0, n - 1};
    return band;
}

} // namespace

bool fit_sweep(const Sweep &sweep, const char *name, const FitOptions &options, SweepFit &fit,
               MeasureError &error) {
    Fitter fitter(name, error);
    Buffer<FitPoint> &points = fit.band;
    if (!merge_repeats(sweep, points))
        return fitter.out_of_memory();
    ClassicValues &c = fit.classic;
    if (!fitter.classic(points, options.Re, c))
        return false;

    fit.re_given = !std::isnan(options.Re);
    // A phase column of zeros is a program's filler, not a measurement.
    fit.phase_used =
        sweep.has_phase && std::any_of(sweep.points.begin(), sweep.points.end(),
                                       [](const SweepPoint &p) { return p.phase != 0; });
    thin(fit.band);
    fit.sweep_low = fit.band.front().f;
    fit.sweep_high = fit.band.back().f;
    if (fit.band.size() < static_cast<std::size_t>(MIN_FIT_POINTS))
        return fitter.fail(
            "only %zu points from %.6g to %.6g Hz around the resonance; the fit "
            "needs %d",
            u8"bara %zu punkter från %.6g till %.6g Hz kring resonansen; anpassningen behöver %d",
            fit.band.size(), fit.sweep_low, fit.sweep_high, MIN_FIT_POINTS);

    fit.omega0 = TWO_PI * c.Fs;
    double base[PARAM_COUNT];
    textbook_params(c.Re, c.Fs, c.Qms, std::max(c.Zmax - c.Re, MIN_RES_START), base);
    // Each pass can only narrow the band, so that the loop ends.
    SweepSpan span{};
    FitSetup setup{&span, 1, fit.phase_used, fit.re_given, fit.omega0};
    for (;;) {
        span = {fit.band.data(), static_cast<int>(fit.band.size()), 0};
        const LeStarts le = le_starts(fit.band.back(), c, fit.phase_used);
        fit.solution = select_model(setup, base, le.value, le.count);
        if (!fit.solution.ok)
            return fitter.fail("the fit does not converge to a resonance near %.6g Hz",
                               u8"anpassningen når ingen resonans nära %.6g Hz", c.Fs);
        const Followed followed = followed_band(setup, fit.solution, c.Fs);
        if (followed.first == 0 && followed.last + 1 == fit.band.size())
            break;
        fit.band.resize(followed.last + 1);
        fit.band.erase_front(followed.first);
    }
    fit.points_used = span.count;
    fit.band_low = fit.band.front().f;
    fit.band_high = fit.band.back().f;

    Estimate v[VALUE_COUNT];
    driver_estimates(setup, fit.solution, 0, v, &fit.covariance);
    const DriverModel &model = fit.solution.model;
    const Estimate absent{0, NaN};
    fit.Re = v[V_RE];
    fit.Fs = v[V_FS];
    fit.Zmax = v[V_ZMAX];
    fit.Res = v[V_RES];
    fit.Qms = v[V_QMS];
    fit.Qes = v[V_QES];
    fit.Qts = v[V_QTS];
    fit.Le = v[V_LE];
    fit.K = model.semi ? v[V_SEMI] : absent;
    fit.R2 = model.lossy ? v[V_R2] : absent;
    fit.L2 = model.lossy ? v[V_L2] : absent;
    fit.Beta = model.creep ? v[V_BETA] : absent;
    fit.quality = fit_quality(setup, fit.solution);
    return true;
}

std::complex<double> fitted_impedance(const SweepFit &fit, double frequency) {
    return model_impedance(fit.solution.model, fit.solution.p, fit.omega0, 0, 0, frequency);
}
