#include "measure/sweep_fit.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

const FitValueRow FIT_VALUE_ROWS[FIT_VALUE_ROW_COUNT] = {
    {"Re", "ohm", 1, &SweepFit::Re},     {"Fs", "Hz", 1, &SweepFit::Fs},
    {"Zmax", "ohm", 1, &SweepFit::Zmax}, {"Qms", "", 1, &SweepFit::Qms},
    {"Qes", "", 1, &SweepFit::Qes},      {"Qts", "", 1, &SweepFit::Qts},
    {"Le", "mH", 1e3, &SweepFit::Le},    {"R2", "ohm", 1, &SweepFit::R2},
    {"L2", "mH", 1e3, &SweepFit::L2},    {"Res", "ohm", 1, &SweepFit::Res},
};

namespace {

using Complex = std::complex<double>;
constexpr double TWO_PI = 2 * 3.14159265358979323846;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The fit uses the sweep from Fs / BAND_FACTOR to Fs · BAND_FACTOR.
constexpr double BAND_FACTOR = 6;
constexpr int MIN_FIT_POINTS = 12;
constexpr std::size_t MAX_FIT_POINTS = 5000; // beyond, every k-th point of the band
// The resonance must stand this much above the lowest |Z| on either side of it.
constexpr double MIN_PEAK_RATIO = 1.1;
constexpr int SMOOTHING = 5; // points in the running median that finds the peak
// R2 ∥ L2 is kept when it lowers the residual this much more than noise would (F statistic).
constexpr double MIN_LOSS_F = 10;
// Singular values of the Jacobian below this share of the largest are taken as 0: the
// directions they stand for are not told by the sweep.
constexpr double RANK_TOLERANCE = 1e-9;
// Evaluations of the model one fit may take before it counts as failed.
constexpr int MAX_EVALUATIONS = 400;
// A fit whose residual norm falls by less than STALL_GAIN over STALL_ITERATIONS has settled.
constexpr std::size_t STALL_ITERATIONS = 10;
constexpr double STALL_GAIN = 1e-4;
// Corners of R2 ∥ L2 the loss terms start from, relative to the top of the band.
constexpr double LOSS_CORNERS[] = {0.5, 2, 8};
constexpr double MIN_L2_START = 1e-5;
constexpr double MIN_RES_START = 1e-3;

// G2 = 1 / R2, so that the plain coil, R2 infinite, is within reach of the fit.
enum Param { RE, FS, QMS, RES, LE, G2, L2, PARAM_COUNT };
// How each value is fitted: a positive one as its logarithm (0 here), the coil's in these
// units, which keep them near 1 and let them reach 0.
constexpr double FIT_UNIT[PARAM_COUNT] = {0, 0, 0, 0, 1e-3, 1e-2, 1e-3};
using Params = std::array<double, PARAM_COUNT>;

struct FitPoint {
    double f;
    Complex z;
    double magnitude;
};

Complex impedance(const Params &p, bool lossy, double f, Complex *derivative = nullptr) {
    const Complex jw(0, TWO_PI * f);
    const double x = f / p[FS] - p[FS] / f;
    const Complex denominator(1, p[QMS] * x);
    const Complex motional = p[RES] / denominator;
    Complex z = p[RE] + jw * p[LE] + motional;
    const Complex coil2 = 1.0 + jw * p[L2] * p[G2];
    if (lossy)
        z += jw * p[L2] / coil2;
    if (derivative) {
        derivative[RE] = 1;
        derivative[FS] =
            -motional * Complex(0, p[QMS] * (-f / (p[FS] * p[FS]) - 1 / f)) / denominator;
        derivative[QMS] = -motional * Complex(0, x) / denominator;
        derivative[RES] = 1.0 / denominator;
        derivative[LE] = jw;
        derivative[G2] = lossy ? -(jw * p[L2]) * (jw * p[L2]) / (coil2 * coil2) : 0.0;
        derivative[L2] = lossy ? jw / (coil2 * coil2) : 0.0;
    }
    return z;
}

// Least squares of the relative error (Zfit − Z) / |Z|: real and imaginary part with the
// phase, the magnitude's alone without. Only the active parameters are fitted; the others keep
// the values they came with.
class Residuals {
  public:
    Residuals(const std::vector<FitPoint> &points, bool phase, bool lossy, const Params &fixed,
              const std::vector<int> &active)
        : points_(points), phase_(phase), lossy_(lossy), fixed_(fixed), active_(active) {}

    int values() const { return static_cast<int>(points_.size()) * (phase_ ? 2 : 1); }

    Params params(const Eigen::VectorXd &x) const {
        Params p = fixed_;
        for (std::size_t k = 0; k < active_.size(); ++k)
            p[active_[k]] = FIT_UNIT[active_[k]] ? x[k] * FIT_UNIT[active_[k]] : std::exp(x[k]);
        return p;
    }

    Eigen::VectorXd start(const Params &p) const {
        Eigen::VectorXd x(active_.size());
        for (std::size_t k = 0; k < active_.size(); ++k)
            x[k] = FIT_UNIT[active_[k]] ? p[active_[k]] / FIT_UNIT[active_[k]]
                                        : std::log(p[active_[k]]);
        return x;
    }

    // d p / d x of each active parameter.
    double slope(const Params &p, int k) const {
        return FIT_UNIT[active_[k]] ? FIT_UNIT[active_[k]] : p[active_[k]];
    }

    int operator()(const Eigen::VectorXd &x, Eigen::VectorXd &r) const {
        const Params p = params(x);
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const FitPoint &pt = points_[i];
            const Complex z = impedance(p, lossy_, pt.f);
            if (phase_) {
                const Complex e = (z - pt.z) / pt.magnitude;
                r[2 * i] = finite(e.real());
                r[2 * i + 1] = finite(e.imag());
            } else {
                r[i] = finite((std::abs(z) - pt.magnitude) / pt.magnitude);
            }
        }
        return 0;
    }

    int df(const Eigen::VectorXd &x, Eigen::MatrixXd &jacobian) const {
        const Params p = params(x);
        Complex d[PARAM_COUNT];
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const FitPoint &pt = points_[i];
            const Complex z = impedance(p, lossy_, pt.f, d);
            for (std::size_t k = 0; k < active_.size(); ++k) {
                const Complex dz = d[active_[k]] * slope(p, static_cast<int>(k)) / pt.magnitude;
                if (phase_) {
                    jacobian(2 * i, k) = finite(dz.real());
                    jacobian(2 * i + 1, k) = finite(dz.imag());
                } else {
                    jacobian(i, k) = finite((std::conj(z) * dz).real() / std::abs(z));
                }
            }
        }
        return 0;
    }

  private:
    // A step far off can overflow; a large finite value lets the minimiser step back.
    static double finite(double v) { return std::isfinite(v) ? v : 1e10; }

    const std::vector<FitPoint> &points_;
    bool phase_, lossy_;
    Params fixed_;
    std::vector<int> active_;
};

// Re is held when it was given; R2 ∥ L2 is there only in the lossy coil.
bool is_fitted(int k, bool re_given, bool lossy) {
    return !(k == RE && re_given) && (lossy || (k != G2 && k != L2));
}

struct Solution {
    bool ok;
    Params p;
    double ssr; // sum of squared residuals
    Eigen::MatrixXd jacobian;
    Eigen::VectorXd x;
};

Solution solve(const std::vector<FitPoint> &points, bool phase, bool lossy, const Params &start,
               bool re_given) {
    std::vector<int> active;
    for (int k = 0; k < PARAM_COUNT; ++k)
        if (is_fitted(k, re_given, lossy))
            active.push_back(k);
    Residuals residuals(points, phase, lossy, start, active);
    Eigen::VectorXd x = residuals.start(start);
    Eigen::LevenbergMarquardt<Residuals> lm(residuals);
    lm.parameters.ftol = 1e-12;
    lm.parameters.xtol = 1e-12;
    lm.parameters.maxfev = MAX_EVALUATIONS;
    // Beside Eigen's own tests, a stall ends the fit: where the sweep cannot tell two values
    // apart (R2 and L2 of a plain coil), the minimiser would otherwise creep along the valley
    // between them for hundreds of steps, each gaining next to nothing.
    Eigen::LevenbergMarquardtSpace::Status status = lm.minimizeInit(x);
    std::vector<double> norms;
    bool stalled = false;
    while (status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters && !stalled) {
        status = lm.minimizeOneStep(x);
        if (status != Eigen::LevenbergMarquardtSpace::Running)
            break;
        norms.push_back(lm.fnorm);
        stalled = norms.size() > STALL_ITERATIONS &&
                  lm.fnorm > norms[norms.size() - 1 - STALL_ITERATIONS] * (1 - STALL_GAIN);
    }
    Solution s{status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters &&
                   status != Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation,
               residuals.params(x), 0, Eigen::MatrixXd(residuals.values(), active.size()), x};
    Eigen::VectorXd r(residuals.values());
    residuals(x, r);
    residuals.df(x, s.jacobian);
    s.ssr = r.squaredNorm();
    // A resonance that wandered out of the band is no answer.
    s.ok = s.ok && std::isfinite(s.ssr) && s.jacobian.allFinite() && s.p[FS] >= points.front().f &&
           s.p[FS] <= points.back().f;
    return s;
}

// Consecutive rows with the same values are one reading of a coarser measurement (stair steps
// at low frequencies): each run becomes one point in the middle of its frequencies.
std::vector<FitPoint> merge_repeats(const Sweep &sweep) {
    std::vector<FitPoint> merged;
    const std::vector<SweepPoint> &in = sweep.points;
    merged.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        std::size_t j = i + 1;
        while (j < in.size() && in[j].magnitude == in[i].magnitude && in[j].phase == in[i].phase)
            ++j;
        const double f = (in[i].frequency + in[j - 1].frequency) / 2;
        if (f > 0 && in[i].magnitude > 0)
            merged.push_back({f, std::polar(in[i].magnitude, in[i].phase), in[i].magnitude});
        i = j;
    }
    return merged;
}

double median_around(const std::vector<FitPoint> &points, std::size_t i) {
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
double crossing(const std::vector<FitPoint> &points, const std::vector<double> &smooth,
                std::size_t peak, double level, int direction) {
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

    bool fail(const char *format, ...) MEASURE_PRINTF(2) {
        std::va_list args;
        va_start(args, format);
        set_measure_error(error_, name_, 0, format, args);
        va_end(args);
        return false;
    }

    // The resonance is the point that stands highest above the lowest |Z| on both sides: the
    // rise of the voice coil towards the top of the sweep, however high, has nothing lower
    // after it.
    bool classic(const std::vector<FitPoint> &points, double re_given, ClassicValues &c) {
        const std::size_t n = points.size();
        if (n < SWEEP_MIN_POINTS)
            return fail("only %zu points with frequency and |Z| above 0", n);
        std::vector<double> smooth(n), above(n);
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
            return fail("no resonance peak inside the sweep (%.6g to %.6g Hz)", points[0].f,
                        points[n - 1].f);
        // The highest measured point near the smoothed peak.
        std::size_t top = peak;
        for (std::size_t k = peak > SMOOTHING / 2 ? peak - SMOOTHING / 2 : 0;
             k <= std::min(n - 1, peak + SMOOTHING / 2); ++k)
            if (points[k].magnitude > points[top].magnitude)
                top = k;
        c.Fs = points[top].f;
        c.Zmax = points[top].magnitude;
        c.Re = std::isnan(re_given) ? *std::min_element(smooth.begin(), smooth.end()) : re_given;
        if (!(c.Re > 0))
            return fail("Re %.6g ohm is not above 0", c.Re);
        if (c.Zmax <= c.Re)
            return fail("the resonance peak (%.6g ohm at %.6g Hz) is not above Re %.6g ohm", c.Zmax,
                        c.Fs, c.Re);
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

std::vector<FitPoint> band_points(const std::vector<FitPoint> &points, double low, double high) {
    std::vector<FitPoint> band;
    for (const FitPoint &p : points)
        if (p.f >= low && p.f <= high)
            band.push_back(p);
    if (band.size() > MAX_FIT_POINTS) {
        const std::size_t step = (band.size() + MAX_FIT_POINTS - 1) / MAX_FIT_POINTS;
        std::vector<FitPoint> fewer;
        for (std::size_t i = 0; i < band.size(); i += step)
            fewer.push_back(band[i]);
        band.swap(fewer);
    }
    return band;
}

// Starting values of Le from the reactance at the top of the band that the classic values
// leave unexplained. |Z| alone does not tell the sign of the reactance there, and a start on
// the wrong side ends in a minimum with negative Le: each reading is tried, with no
// inductance at all.
std::vector<double> le_starts(const FitPoint &top, const ClassicValues &c, bool phase) {
    const double x = top.f / c.Fs - c.Fs / top.f;
    const Complex motional = (c.Zmax - c.Re) / Complex(1, c.Qms * x);
    const double w = TWO_PI * top.f;
    std::vector<double> starts{0};
    if (phase) {
        starts.push_back((top.z - motional).imag() / w);
    } else {
        const double resistance = c.Re + motional.real();
        const double reactance =
            std::sqrt(std::max(0.0, top.magnitude * top.magnitude - resistance * resistance));
        starts.push_back((reactance - motional.imag()) / w);
        starts.push_back((-reactance - motional.imag()) / w);
    }
    starts.erase(
        std::remove_if(starts.begin() + 1, starts.end(), [](double le) { return le <= 0; }),
        starts.end());
    return starts;
}

// Standard errors from the Jacobian at the solution and the residual variance. Each value is
// given by its gradient with respect to the fitted x; a gradient reaching into directions the
// sweep does not tell gets NaN.
class Errors {
  public:
    Errors(const Solution &s, std::size_t residual_count) {
        const Eigen::JacobiSVD<Eigen::MatrixXd> svd(s.jacobian, Eigen::ComputeThinV);
        const Eigen::VectorXd &sv = svd.singularValues();
        const Eigen::Index n = sv.size();
        const double dof = static_cast<double>(residual_count) - static_cast<double>(n);
        const double variance = dof > 0 ? s.ssr / dof : NaN;
        v_ = svd.matrixV();
        inverse_.resize(n);
        for (Eigen::Index k = 0; k < n; ++k)
            inverse_[k] = sv[k] > sv[0] * RANK_TOLERANCE ? std::sqrt(variance) / sv[k] : NaN;
    }

    double of(const Eigen::VectorXd &gradient) const {
        const Eigen::VectorXd along = v_.transpose() * gradient;
        double sum = 0;
        for (Eigen::Index k = 0; k < along.size(); ++k)
            if (std::abs(along[k]) > RANK_TOLERANCE * gradient.norm())
                sum += std::pow(along[k] * inverse_[k], 2);
        return std::sqrt(sum);
    }

  private:
    Eigen::MatrixXd v_;
    Eigen::VectorXd inverse_; // standard error per unit along each singular direction
};

} // namespace

bool fit_sweep(const Sweep &sweep, const char *name, const FitOptions &options, SweepFit &fit,
               MeasureError &error) {
    Fitter fitter(name, error);
    const std::vector<FitPoint> points = merge_repeats(sweep);
    ClassicValues &c = fit.classic;
    if (!fitter.classic(points, options.Re, c))
        return false;

    fit.re_given = !std::isnan(options.Re);
    // A phase column of zeros is a program's filler, not a measurement.
    fit.phase_used =
        sweep.has_phase && std::any_of(sweep.points.begin(), sweep.points.end(),
                                       [](const SweepPoint &p) { return p.phase != 0; });
    const std::vector<FitPoint> band = band_points(points, c.Fs / BAND_FACTOR, c.Fs * BAND_FACTOR);
    if (band.size() < MIN_FIT_POINTS)
        return fitter.fail("only %zu points from %.6g to %.6g Hz around the resonance; the fit "
                           "needs %d",
                           band.size(), c.Fs / BAND_FACTOR, c.Fs * BAND_FACTOR, MIN_FIT_POINTS);
    fit.band_low = band.front().f;
    fit.band_high = band.back().f;
    fit.points_used = static_cast<int>(band.size());

    const bool phase = fit.phase_used;
    Solution plain{false, {}, 0, {}, {}};
    for (double le : le_starts(band.back(), c, phase)) {
        const Params start{c.Re, c.Fs, c.Qms, std::max(c.Zmax - c.Re, MIN_RES_START), le, 0, 0};
        Solution s = solve(band, phase, false, start, fit.re_given);
        if (s.ok && (!plain.ok || s.ssr < plain.ssr))
            plain = std::move(s);
    }
    if (!plain.ok)
        return fitter.fail("the fit does not converge to a resonance near %.6g Hz", c.Fs);

    // The loss terms start from the plain coil's inductance shared between Le and L2, with the
    // corner of R2 ∥ L2 below, above and far above the top of the band.
    Solution lossy{false, {}, 0, {}, {}};
    for (double corner : LOSS_CORNERS) {
        Params start = plain.p;
        start[LE] = std::max(plain.p[LE], 0.0) / 2;
        start[L2] = std::max(std::abs(plain.p[LE]) / 2, MIN_L2_START);
        start[G2] = 1 / (TWO_PI * corner * fit.band_high * start[L2]);
        Solution s = solve(band, phase, true, start, fit.re_given);
        if (s.ok && (!lossy.ok || s.ssr < lossy.ssr))
            lossy = std::move(s);
    }
    const std::size_t residual_count = band.size() * (phase ? 2 : 1);
    const double lossy_dof = static_cast<double>(residual_count) - lossy.x.size();
    const double f_statistic = (plain.ssr - lossy.ssr) / 2 / (lossy.ssr / lossy_dof);

    // R2 ∥ L2 is kept where it fits markedly better than the plain coil, with both terms
    // positive and told by the sweep.
    fit.lossy_coil = false;
    if (lossy.ok && f_statistic >= MIN_LOSS_F && lossy.p[G2] > 0 && lossy.p[L2] > 0) {
        const Errors errors(lossy, residual_count);
        const Eigen::Index last = lossy.x.size() - 1; // G2 and L2 come last
        fit.lossy_coil = std::isfinite(errors.of(Eigen::VectorXd::Unit(last + 1, last - 1))) &&
                         std::isfinite(errors.of(Eigen::VectorXd::Unit(last + 1, last)));
    }
    const Solution &s = fit.lossy_coil ? lossy : plain;
    const Params &p = s.p;
    const Errors errors(s, residual_count);
    const Eigen::Index n = s.x.size();
    // d p / d x of each parameter as a vector over x; zero for one that was not fitted.
    Eigen::VectorXd slope[PARAM_COUNT];
    for (int k = 0, at = 0; k < PARAM_COUNT; ++k) {
        slope[k] = Eigen::VectorXd::Zero(n);
        if (is_fitted(k, fit.re_given, fit.lossy_coil))
            slope[k][at++] = FIT_UNIT[k] ? FIT_UNIT[k] : p[k];
    }
    auto estimate = [&](double value, const Eigen::VectorXd &gradient) {
        return Estimate{value, errors.of(gradient)};
    };
    fit.Re = fit.re_given ? Estimate{p[RE], 0} : estimate(p[RE], slope[RE]);
    fit.Fs = estimate(p[FS], slope[FS]);
    fit.Qms = estimate(p[QMS], slope[QMS]);
    fit.Res = estimate(p[RES], slope[RES]);
    fit.Zmax = estimate(p[RE] + p[RES], slope[RE] + slope[RES]);
    fit.Le = estimate(p[LE], slope[LE]);
    if (fit.lossy_coil) {
        fit.R2 = estimate(1 / p[G2], -slope[G2] / (p[G2] * p[G2]));
        fit.L2 = estimate(p[L2], slope[L2]);
    } else {
        fit.R2 = fit.L2 = Estimate{0, NaN};
    }
    // Qes = Qms·Re/Res and 1/Qts = 1/Qms + 1/Qes
    const double qes = p[QMS] * p[RE] / p[RES];
    const Eigen::VectorXd qes_gradient =
        qes * (slope[QMS] / p[QMS] + slope[RE] / p[RE] - slope[RES] / p[RES]);
    fit.Qes = estimate(qes, qes_gradient);
    const double qts = p[QMS] * qes / (p[QMS] + qes);
    fit.Qts =
        estimate(qts, qts * qts * (slope[QMS] / (p[QMS] * p[QMS]) + qes_gradient / (qes * qes)));
    fit.rms_percent = 100 * std::sqrt(s.ssr / static_cast<double>(band.size()));
    return true;
}

std::complex<double> fitted_impedance(const SweepFit &fit, double frequency) {
    const Params p{fit.Re.value,  fit.Fs.value, fit.Qms.value,
                   fit.Res.value, fit.Le.value, fit.lossy_coil ? 1 / fit.R2.value : 0,
                   fit.L2.value};
    return impedance(p, fit.lossy_coil, frequency);
}
