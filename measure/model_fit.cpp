#include "measure/model_fit.h"

#include "measure/buffer.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

const DriverModel MODELS[MODEL_COUNT] = {
    {false, false, false}, {false, false, true}, {false, true, false}, {false, true, true},
    {true, false, false},  {true, false, true},  {true, true, false},  {true, true, true},
};

void describe_model(const DriverModel &model, char (&text)[MODEL_DESCRIPTION_SIZE]) {
    std::snprintf(text, sizeof text, "%s, talspole Le%s%s%s",
                  model.creep ? u8"upphängning med krypning (LOG)" : u8"upphängning utan krypning",
                  model.semi ? " + halvinduktans K" : "",
                  model.lossy ? " + R2 parallellt med L2" : "",
                  model.semi || model.lossy ? "" : u8" utan förluster");
}

namespace {

using Complex = std::complex<double>;
// Fixed largest sizes: Eigen keeps them on the stack.
using Vector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, PARAM_COUNT, 1>;
using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, PARAM_COUNT, PARAM_COUNT>;

constexpr double PI = 3.14159265358979323846;
constexpr double TWO_PI = 2 * PI;
constexpr double LN10 = 2.30258509299404568402;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// How each parameter is fitted: a positive one as its logarithm (0 here), which keeps it
// physical on every step: R2, L2 and K fitted in plain units walk through 0 from most starts
// and end at an unphysical minimum. β and Le in these units, which keep them near 1 and let
// them reach 0.
constexpr double FIT_UNIT[PARAM_COUNT] = {0, 0, 0, 0.1, 1e-3, 0, 0, 0, 0};

// Levenberg–Marquardt: the damping starts here, falls tenfold after a step that gains and
// rises tenfold after one that does not; beyond MAX_DAMPING no step gains any more.
constexpr double START_DAMPING = 1e-3, MIN_DAMPING = 1e-12, MAX_DAMPING = 1e12;
constexpr int MAX_ITERATIONS = 200;
// A fit whose residual falls by less than STALL_GAIN over STALL_ITERATIONS has settled: where
// the sweep cannot tell two values apart, the minimiser would creep along the valley between
// them for hundreds of steps, each gaining next to nothing.
constexpr int STALL_ITERATIONS = 10;
constexpr double STALL_GAIN = 1e-4;
// A parameter the residual does not feel still gets this share of the largest damping.
constexpr double DIAGONAL_FLOOR = 1e-12;

// Starts of the terms that the simpler models lack.
constexpr double BETA_START = 0.05;
constexpr double SEMI_START = 1e-2; // ohm·s^½: 0.8 ohm at 1 kHz
// Corners of R2 ∥ L2 the loss terms start from, relative to the top of the sweep.
constexpr double LOSS_CORNERS[] = {0.5, 2, 8};
constexpr double MIN_L2_START = 1e-5;
// The corner of R2 ∥ L2 must lie within this factor of the sweep's ends to be told by it.
constexpr double CORNER_MARGIN = 10;

// Eigenvalues of JᵀJ below this share of the largest are taken as 0: the directions they stand
// for are not told by the sweep.
constexpr double RANK_TOLERANCE = 1e-14;
// Central differences of the reported values, relative to the fit coordinate.
constexpr double DIFFERENCE_STEP = 1e-6;
// The resonance is sought within this factor of the creep-free one, to the last bits.
constexpr double RESONANCE_RANGE = 4;
constexpr int RESONANCE_BISECTIONS = 200;

double to_fit(int k, double p) {
    return FIT_UNIT[k] ? p / FIT_UNIT[k] : std::log(p);
}
double from_fit(int k, double x) {
    return FIT_UNIT[k] ? x * FIT_UNIT[k] : std::exp(x);
}
// d p / d x
double slope(int k, double p) {
    return FIT_UNIT[k] ? FIT_UNIT[k] : p;
}

bool is_fitted(const FitSetup &setup, const DriverModel &model, int k) {
    switch (k) {
    case BETA: return model.creep;
    case SEMI: return model.semi;
    case G2:
    case L2: return model.lossy;
    case BL2: return setup.span_count > 1;
    default: return k < RE || (k - RE < setup.span_count && !setup.re_given);
    }
}

struct Active {
    int k[PARAM_COUNT];
    int n;
};

Active active_params(const FitSetup &setup, const DriverModel &model) {
    Active a{{}, 0};
    for (int k = 0; k < PARAM_COUNT; ++k)
        if (is_fitted(setup, model, k))
            a.k[a.n++] = k;
    return a;
}

// The model's complex arithmetic in pairs of doubles, real and imaginary part in one SSE2
// register (a GCC and Clang vector) and one instruction for both, each rounded as std::complex's
// own operation, so that every fit ends where it ended with std::complex. In a build for size
// std::complex multiplies through the library's __muldc3, which also mends infinities that a
// fit has no use for (a step far off that overflows is caught by accumulate), and inlines none
// of its products with a real number: the two took more than half of a fit's time.
using Pair = double __attribute__((vector_size(16)));

[[gnu::always_inline]] inline Pair times(Pair a, Pair b) {
    return a[0] * b + a[1] * Pair{-b[1], b[0]};
}
// j·w·a: the products with s = jω, and with s·L2.
[[gnu::always_inline]] inline Pair times_j(double w, Pair a) {
    return w * Pair{-a[1], a[0]};
}
// 1/z without the checks for infinities of the complex division.
[[gnu::always_inline]] inline Pair inverse(Pair z) {
    return Pair{z[0], -z[1]} / (z[0] * z[0] + z[1] * z[1]);
}

// The imaginary part of log10(s/ω0) = log10(ω/ω0) + j·π/2/ln 10.
constexpr double LOG_J = PI / 2 / LN10;

// What the impedance needs of a point's frequency.
struct Frequency {
    double w;
    double half_root; // √(jω) = √(ω/2)·(1 + j)
    double log_w;     // log10(ω/ω0); 0 where creep is left out
};

Frequency frequency_terms(bool creep, double omega0, double w) {
    return {w, std::sqrt(w / 2), creep ? std::log(w / omega0) / LN10 : 0};
}

// Each point's frequency terms, for every pass of every fit over the same sweeps. Worked out in
// each pass, the logarithm and the square root took a third of a fit under Wine. Where memory
// for them runs out, each pass works them out again.
class FrequencyTable {
  public:
    explicit FrequencyTable(const FitSetup &setup) {
        std::size_t count = 0;
        for (int i = 0; i < setup.span_count; ++i)
            count += setup.spans[i].count;
        if (!terms_.resize(count))
            return;
        Frequency *t = terms_.data();
        for (int i = 0; i < setup.span_count; ++i)
            for (int m = 0; m < setup.spans[i].count; ++m)
                *t++ = frequency_terms(true, setup.omega0, TWO_PI * setup.spans[i].points[m].f);
    }
    // The points of every sweep in turn; null without them.
    const Frequency *terms() const { return terms_.empty() ? nullptr : terms_.data(); }

  private:
    Buffer<Frequency> terms_;
};

// 1 − β·log10(s/ω0)
[[gnu::always_inline]] inline Pair creep_factor(const double *p, Pair log_s) {
    return Pair{1.0 - p[BETA] * log_s[0], -(p[BETA] * log_s[1])};
}

// What the impedance needs of the parameters, the same for every point of a sweep.
struct Terms {
    double cmes, conductance, re;
    double by_resistance, by_bl2; // d(1/Res)/dRes, dCmes/dBl²
};

Terms sweep_terms(const double *p, int span, double mass) {
    return {p[CMES] + mass / p[BL2], 1 / p[RES], p[RE + span], -1 / (p[RES] * p[RES]),
            -mass / (p[BL2] * p[BL2])};
}

// A point's impedance, and the terms its derivatives are made of. The terms a model lacks are
// left out: the fits spend their time here.
struct PointImpedance {
    Pair z, log_s, creep, lces, inverse_lces, motional, inverse_coil2;
};

[[gnu::always_inline]] inline PointImpedance impedance(const DriverModel &model, const double *p,
                                                       const Terms &terms, const Frequency &t) {
    PointImpedance v;
    const double w = t.w;
    v.log_s = model.creep ? Pair{t.log_w, LOG_J} : Pair{0, 0};
    v.creep = creep_factor(p, v.log_s);
    v.lces = v.creep * p[LCES];
    v.inverse_lces = inverse(times_j(w, v.lces));
    v.motional = inverse(Pair{terms.conductance, w * terms.cmes} + v.inverse_lces);
    v.z = Pair{terms.re, w * p[LE]} + v.motional;
    v.inverse_coil2 = Pair{0, 0};
    if (model.semi)
        v.z += p[SEMI] * t.half_root;
    if (model.lossy) {
        v.inverse_coil2 = inverse(Pair{1.0, w * p[L2] * p[G2]});
        v.z += times_j(w * p[L2], v.inverse_coil2);
    }
    return v;
}

// The impedance's derivative by each physical parameter of the model but Re (see accumulate).
void derivatives(const DriverModel &model, const double *p, const Terms &terms, const Frequency &t,
                 const PointImpedance &v, Pair *derivative) {
    const double w = t.w;
    const Pair squared = times(v.motional, v.motional);
    const Pair by_admittance = -squared;
    const Pair by_lces = times(times(squared, v.inverse_lces), inverse(v.lces));
    derivative[CMES] = times_j(w, by_admittance);
    derivative[LCES] = times(by_lces, v.creep);
    derivative[RES] = by_admittance * terms.by_resistance;
    derivative[LE] = Pair{0, w};
    derivative[BL2] = derivative[CMES] * terms.by_bl2;
    if (model.creep)
        derivative[BETA] = times(by_lces, v.log_s * -p[LCES]);
    if (model.semi)
        derivative[SEMI] = Pair{t.half_root, t.half_root};
    if (model.lossy) {
        const Pair by_coil2 = times(v.inverse_coil2, v.inverse_coil2);
        const double wl2 = w * p[L2];
        derivative[G2] = by_coil2 * (wl2 * wl2);
        derivative[L2] = times_j(w, by_coil2);
    }
}

[[gnu::always_inline]] inline double divisor(const ImpedancePoint &pt) {
    return pt.scale > 0 ? pt.scale : pt.magnitude;
}

// The relative residual (Zfit − Z)/|Z| of a point (or divided by its scale): real and imaginary
// part with the phase, the magnitude's and 0 without, where magnitude is set to |Zfit|.
[[gnu::always_inline]] inline Pair residual(bool phase, Pair z, const ImpedancePoint &pt,
                                            double &magnitude) {
    if (phase)
        return (z - Pair{pt.z.real(), pt.z.imag()}) / divisor(pt);
    magnitude = std::abs(Complex(z[0], z[1]));
    return Pair{(magnitude - pt.magnitude) / divisor(pt), 0};
}

int residual_count(const FitSetup &setup) {
    int n = 0;
    for (int i = 0; i < setup.span_count; ++i)
        n += setup.spans[i].count;
    return n * (setup.phase ? 2 : 1);
}

// The sum of squares of the relative residuals; infinity where it overflows. table: the
// frequency terms, or null.
double residual_sum(const FitSetup &setup, const Frequency *table, const DriverModel &model,
                    const double *p) {
    double ssr = 0, magnitude;
    for (int i = 0; i < setup.span_count; ++i) {
        const SweepSpan &span = setup.spans[i];
        const Terms terms = sweep_terms(p, i, span.mass);
        for (int m = 0; m < span.count; ++m) {
            const ImpedancePoint &pt = span.points[m];
            const Frequency t =
                table ? *table++ : frequency_terms(model.creep, setup.omega0, TWO_PI * pt.f);
            const Pair r = residual(setup.phase, impedance(model, p, terms, t).z, pt, magnitude);
            ssr += r[0] * r[0];
            ssr += r[1] * r[1];
        }
    }
    return std::isfinite(ssr) ? ssr : std::numeric_limits<double>::infinity();
}

// The same sum, the normal equations JᵀJ and Jᵀr in fit coordinates, summed point by point,
// and with scores also Σ gᵢ·gᵢᵀ of each point's share gᵢ of Jᵀr. The rows of the Jacobian
// are a point's residual's real and imaginary part; without the phase the second row is 0,
// which leaves every sum as it is. The sums are kept in plain arrays, two columns in each pair:
// Eigen's element access of a matrix of dynamic size costs more than the products. The points
// are taken in blocks, each step for the whole block before the next: the divisions in a
// point's impedance follow one from another, and only in a loop that does little else can the
// next points' run beside them. Infinity where anything overflows.
double accumulate(const FitSetup &setup, const Frequency *table, const DriverModel &model,
                  const Active &active, const double *p, Matrix &jtj, Vector &jtr,
                  Matrix *scores = nullptr) {
    constexpr int PAIRS = PARAM_COUNT / 2, BLOCK = 16;
    const int n = active.n, pairs = (n + 1) / 2;
    Pair normal[PARAM_COUNT][PAIRS] = {}, gradient[PAIRS] = {}, score_sums[PARAM_COUNT][PAIRS] = {};
    // The derivative by each parameter (each sweep's Re: 1 at its own points, 0 at the others'),
    // and a last one of 0 that fills the second half of a last pair.
    Pair d[PARAM_COUNT + 1] = {};
    int column[PARAM_COUNT];
    Pair slopes[PAIRS];
    for (int j = 0; j < 2 * pairs; ++j) {
        column[j] = j < n ? active.k[j] : PARAM_COUNT;
        slopes[j / 2][j % 2] = j < n ? slope(active.k[j], p[active.k[j]]) : 0;
    }
    // A block's frequency terms and impedances; each point's residual and rows, the real parts'
    // and the imaginary parts', two columns in each pair; a point's share of Jᵀr.
    Frequency frequencies[BLOCK];
    PointImpedance values[BLOCK];
    struct Rows {
        Pair r, real[PAIRS], imaginary[PAIRS];
    } rows[BLOCK];
    Pair score[PAIRS];
    double ssr = 0;
    for (int i = 0; i < setup.span_count; ++i) {
        const SweepSpan &span = setup.spans[i];
        const Terms terms = sweep_terms(p, i, span.mass);
        d[RE + i] = Pair{1, 0};
        for (int first = 0; first < span.count; first += BLOCK) {
            const ImpedancePoint *points = span.points + first;
            const int count = std::min(BLOCK, span.count - first);
            for (int m = 0; m < count; ++m) {
                const Frequency &t = frequencies[m] =
                    table ? *table++
                          : frequency_terms(model.creep, setup.omega0, TWO_PI * points[m].f);
                values[m] = impedance(model, p, terms, t);
            }
            for (int m = 0; m < count; ++m) {
                const ImpedancePoint &pt = points[m];
                const Pair z = values[m].z;
                derivatives(model, p, terms, frequencies[m], values[m], d);
                double magnitude;
                rows[m].r = residual(setup.phase, z, pt, magnitude);
                for (int j = 0; j < pairs; ++j) {
                    const Pair a = d[column[2 * j]], b = d[column[2 * j + 1]];
                    Pair real = Pair{a[0], b[0]} * slopes[j] / divisor(pt);
                    Pair imaginary = Pair{a[1], b[1]} * slopes[j] / divisor(pt);
                    if (!setup.phase) {
                        real = (z[0] * real + z[1] * imaginary) / magnitude;
                        imaginary = Pair{0, 0};
                    }
                    rows[m].real[j] = real;
                    rows[m].imaginary[j] = imaginary;
                }
            }
            // The second row of a pair, and the second column of a pair on the diagonal, gather
            // what is never read where they lie beyond the last parameter or above the diagonal.
            for (int m = 0; m < count; ++m) {
                const Rows &row = rows[m];
                const Pair r = row.r;
                ssr += r[0] * r[0];
                ssr += r[1] * r[1];
                for (int j = 0; j < pairs; ++j) {
                    const Pair real = row.real[j], imaginary = row.imaginary[j];
                    score[j] = real * r[0] + imaginary * r[1];
                    gradient[j] += score[j];
                    for (int l = 0; l <= j; ++l) {
                        normal[2 * j][l] = normal[2 * j][l] + real[0] * row.real[l] +
                                           imaginary[0] * row.imaginary[l];
                        normal[2 * j + 1][l] = normal[2 * j + 1][l] + real[1] * row.real[l] +
                                               imaginary[1] * row.imaginary[l];
                    }
                    if (scores)
                        for (int l = 0; l <= j; ++l) {
                            score_sums[2 * j][l] += score[j][0] * score[l];
                            score_sums[2 * j + 1][l] += score[j][1] * score[l];
                        }
                }
            }
        }
        d[RE + i] = Pair{0, 0};
    }
    jtj.resize(n, n);
    jtr.resize(n);
    for (int j = 0; j < n; ++j) {
        jtr[j] = gradient[j / 2][j % 2];
        for (int l = 0; l <= j; ++l)
            jtj(j, l) = jtj(l, j) = normal[j][l / 2][l % 2];
    }
    if (scores) {
        scores->resize(n, n);
        for (int j = 0; j < n; ++j)
            for (int l = 0; l <= j; ++l)
                (*scores)(j, l) = (*scores)(l, j) = score_sums[j][l / 2][l % 2];
    }
    // A step far off can overflow: it counts as no gain, and the minimiser steps back.
    return std::isfinite(ssr) && jtj.allFinite() && jtr.allFinite()
               ? ssr
               : std::numeric_limits<double>::infinity();
}

void set_params(const Active &active, const Vector &x, double *p) {
    for (int j = 0; j < active.n; ++j)
        p[active.k[j]] = from_fit(active.k[j], x[j]);
}

double resonance(const double *p, double cmes, double omega0);

// The terms are physical: the resonance inside the sweeps, the coil's terms and the creep
// above 0, and a corner of R2 ∥ L2 the sweeps can see. Each sweep's motional impedance must
// also be real somewhere near it, with a resistance above 0: Fs and the Q's are read there.
bool is_physical(const FitSetup &setup, const DriverModel &model, const double *p) {
    const double low = setup.spans[0].points[0].f;
    const double high = setup.spans[0].points[setup.spans[0].count - 1].f;
    const double undamped = 1 / (TWO_PI * std::sqrt(p[CMES] * p[LCES]));
    bool ok = undamped >= low && undamped <= high;
    if (model.creep)
        ok = ok && p[BETA] > 0;
    if (model.semi)
        ok = ok && p[SEMI] > 0;
    if (model.lossy) {
        const double corner = 1 / (TWO_PI * p[L2] * p[G2]);
        ok = ok && p[G2] > 0 && p[L2] > 0 && corner > low / CORNER_MARGIN &&
             corner < high * CORNER_MARGIN;
    }
    ok = ok && p[RES] > 0;
    for (int span = 0; ok && span < setup.span_count; ++span) {
        const double cmes = p[CMES] + setup.spans[span].mass / p[BL2];
        ok = std::isfinite(resonance(p, cmes, setup.omega0));
    }
    return ok;
}

ModelFit fit_from_start(const FitSetup &setup, const Frequency *table, const DriverModel &model,
                        const double (&start)[PARAM_COUNT]) {
    const Active active = active_params(setup, model);
    ModelFit fit{false, model, {}, 0, residual_count(setup), active.n, 0};
    for (int k = 0; k < PARAM_COUNT; ++k)
        fit.p[k] = start[k];
    Vector x(active.n);
    for (int j = 0; j < active.n; ++j)
        x[j] = to_fit(active.k[j], start[active.k[j]]);
    Matrix jtj;
    Vector jtr;
    fit.ssr = accumulate(setup, table, model, active, fit.p, jtj, jtr);
    double damping = START_DAMPING, checkpoint = fit.ssr;
    for (int iteration = 1; iteration <= MAX_ITERATIONS && std::isfinite(fit.ssr); ++iteration) {
        Matrix damped = jtj;
        const double floor = DIAGONAL_FLOOR * jtj.diagonal().maxCoeff();
        damped.diagonal() += damping * jtj.diagonal().cwiseMax(floor);
        const Vector step = damped.ldlt().solve(-jtr);
        const Vector trial_x = x + step;
        double trial[PARAM_COUNT];
        for (int k = 0; k < PARAM_COUNT; ++k)
            trial[k] = fit.p[k];
        set_params(active, trial_x, trial);
        // The residual alone first: most of the time goes into the normal equations, and a
        // step that does not gain needs none.
        const double trial_ssr = residual_sum(setup, table, model, trial);
        if (trial_ssr < fit.ssr) {
            x = trial_x;
            for (int k = 0; k < PARAM_COUNT; ++k)
                fit.p[k] = trial[k];
            fit.ssr = accumulate(setup, table, model, active, fit.p, jtj, jtr);
            damping = std::fmax(damping / 10, MIN_DAMPING);
        } else if ((damping *= 10) > MAX_DAMPING) {
            break;
        }
        if (iteration % STALL_ITERATIONS == 0) {
            if (fit.ssr > checkpoint * (1 - STALL_GAIN))
                break;
            checkpoint = fit.ssr;
        }
    }
    const double n = fit.residual_count;
    fit.ok = std::isfinite(fit.ssr) && is_physical(setup, model, fit.p);
    fit.information = n * std::log(std::fmax(fit.ssr, std::numeric_limits<double>::min()) / n) +
                      active.n * std::log(n);
    return fit;
}

// The frequency where the motional admittance is real, rad/s; NaN when there is none near the
// creep-free resonance.
double resonance(const double *p, double cmes, double omega0) {
    auto susceptance = [&](double w) {
        const Pair log_s{frequency_terms(true, omega0, w).log_w, LOG_J};
        const Pair lces = creep_factor(p, log_s) * p[LCES];
        return w * cmes + inverse(times_j(w, lces))[1];
    };
    const double centre = 1 / std::sqrt(cmes * p[LCES]);
    double low = centre / RESONANCE_RANGE, high = centre * RESONANCE_RANGE;
    if (!(susceptance(low) < 0 && susceptance(high) > 0))
        return NaN;
    for (int i = 0; i < RESONANCE_BISECTIONS && high - low > 0; ++i) {
        const double middle = (low + high) / 2;
        if (middle <= low || middle >= high)
            break;
        (susceptance(middle) < 0 ? low : high) = middle;
    }
    return (low + high) / 2;
}

} // namespace

std::complex<double> model_impedance(const DriverModel &model, const double (&p)[PARAM_COUNT],
                                     double omega0, int span, double mass, double f) {
    const Pair z = impedance(model, p, sweep_terms(p, span, mass),
                             frequency_terms(model.creep, omega0, TWO_PI * f))
                       .z;
    return {z[0], z[1]};
}

std::complex<double> point_residual(const FitSetup &setup, const ModelFit &fit, int span,
                                    const ImpedancePoint &point) {
    const std::complex<double> z =
        model_impedance(fit.model, fit.p, setup.omega0, span, setup.spans[span].mass, point.f);
    double magnitude;
    const Pair e = residual(setup.phase, Pair{z.real(), z.imag()}, point, magnitude);
    return {e[0], e[1]};
}

ModelFit fit_from(const FitSetup &setup, const DriverModel &model,
                  const double (&start)[PARAM_COUNT]) {
    const FrequencyTable table(setup);
    return fit_from_start(setup, table.terms(), model, start);
}

void normal_equations(const FitSetup &setup, const DriverModel &model,
                      const double (&p)[PARAM_COUNT], double (&jtj)[PARAM_COUNT][PARAM_COUNT],
                      double (&jtr)[PARAM_COUNT]) {
    const Active active = active_params(setup, model);
    const FrequencyTable table(setup);
    Matrix normal;
    Vector gradient;
    accumulate(setup, table.terms(), model, active, p, normal, gradient);
    for (int k = 0; k < PARAM_COUNT; ++k) {
        jtr[k] = 0;
        for (int l = 0; l < PARAM_COUNT; ++l)
            jtj[k][l] = 0;
    }
    for (int j = 0; j < active.n; ++j) {
        const int k = active.k[j];
        jtr[k] = gradient[j] / slope(k, p[k]);
        for (int i = 0; i < active.n; ++i) {
            const int l = active.k[i];
            jtj[k][l] = normal(j, i) / (slope(k, p[k]) * slope(l, p[l]));
        }
    }
}

void textbook_params(double re, double fs, double qms, double res, double (&p)[PARAM_COUNT]) {
    const double ws = TWO_PI * fs;
    for (double &v : p)
        v = 0;
    p[CMES] = qms / (ws * res);
    p[LCES] = 1 / (ws * ws * p[CMES]);
    p[RES] = res;
    p[BL2] = 1;
    for (int k = RE; k < PARAM_COUNT; ++k)
        p[k] = re;
}

void driver_values(const FitSetup &setup, const ModelFit &fit, int span, double (&v)[VALUE_COUNT]) {
    const double *p = fit.p;
    const double mass = setup.spans[span].mass;
    const double cmes = p[CMES] + mass / p[BL2];
    const double ws = resonance(p, cmes, setup.omega0);
    const Pair log_s{frequency_terms(true, setup.omega0, ws).log_w, LOG_J};
    const Pair lces = creep_factor(p, log_s) * p[LCES];
    const double motional = 1 / (1 / p[RES] + inverse(times_j(ws, lces))[0]);
    const double re = p[RE + span];
    v[V_RE] = re;
    v[V_FS] = ws / TWO_PI;
    v[V_RES] = motional;
    v[V_ZMAX] = re + motional;
    v[V_QMS] = ws * cmes * motional;
    v[V_QES] = ws * cmes * re;
    v[V_QTS] = v[V_QMS] * v[V_QES] / (v[V_QMS] + v[V_QES]);
    v[V_LE] = p[LE];
    v[V_R2] = 1 / p[G2];
    v[V_L2] = p[L2];
    v[V_SEMI] = p[SEMI];
    v[V_BETA] = p[BETA] / (1 - p[BETA] * std::log10(ws / setup.omega0));
    const bool joint = setup.span_count > 1;
    const double mms = p[CMES] * p[BL2];
    v[V_MMS] = joint ? mms : NaN;
    v[V_CMS] = joint ? 1 / (ws * ws * (mms + mass)) : NaN;
    v[V_BL] = joint ? std::sqrt(p[BL2]) : NaN;
}

FitQuality fit_quality(const FitSetup &setup, const ModelFit &fit) {
    double sum = 0, second = 0;
    int count = 0, seconds = 0;
    for (int i = 0; i < setup.span_count; ++i) {
        const SweepSpan &s = setup.spans[i];
        Complex before[2] = {};
        for (int n = 0; n < s.count; ++n) {
            const ImpedancePoint &pt = s.points[n];
            const Complex e = point_residual(setup, fit, i, pt);
            sum += std::norm(e);
            if (n >= 2) {
                second += std::norm(before[0] - 2.0 * before[1] + e);
                ++seconds;
            }
            before[0] = before[1];
            before[1] = e;
        }
        count += s.count;
    }
    FitQuality q;
    q.rms_percent = 100 * std::sqrt(sum / count);
    // White noise of variance σ² gives second differences of variance 6σ².
    q.scatter_percent = seconds > 0 ? 100 * std::sqrt(second / (6.0 * seconds)) : NaN;
    q.error_scale =
        q.rms_percent > MISFIT_RATIO * q.scatter_percent ? q.rms_percent / q.scatter_percent : 1;
    return q;
}

namespace {

void estimate(const FitSetup &setup, const Frequency *table, const ModelFit &fit, int span,
              Estimate (&out)[VALUE_COUNT], ValueCovariance *covariance = nullptr) {
    const Active active = active_params(setup, fit.model);
    Matrix jtj, scores;
    Vector jtr;
    accumulate(setup, table, fit.model, active, fit.p, jtj, jtr, &scores);
    // JᵀJ is symmetric and semi-definite, so its singular values are its eigenvalues and V holds
    // its eigenvectors. Jacobi rotations find them as accurately as the eigen-solver, whose
    // tridiagonal and blocked Householder code was 25 KB of the window program.
    const Eigen::JacobiSVD<Matrix, Eigen::NoQRPreconditioner> eigen(jtj, Eigen::ComputeFullV);
    const Vector &eigenvalues = eigen.singularValues();
    // Two covariances, the larger kept: σ²·(JᵀJ)⁻¹ with the mean squared residual σ², and
    // (JᵀJ)⁻¹·Σgᵢgᵢᵀ·(JᵀJ)⁻¹, which takes each point's own residual. The noise of a sweep is
    // not the same everywhere (stair steps read between the lines of a coarse FFT are worst
    // where |Z| changes fastest, at the resonance), and the values are told by the points
    // around the resonance; the second is itself noisy where the first is right.
    // n/(n − parameters) makes up for the fitted parameters in both.
    const double dof = fit.residual_count - active.n;
    const double correction = dof > 0 ? fit.residual_count / dof : NaN;
    const double mean_square = fit.ssr / fit.residual_count;
    const double scale = fit_quality(setup, fit).error_scale;

    double values[VALUE_COUNT];
    driver_values(setup, fit, span, values);
    // Each value's gradient in fit coordinates, by central differences.
    Eigen::Matrix<double, Eigen::Dynamic, VALUE_COUNT, 0, PARAM_COUNT, VALUE_COUNT> gradient(
        active.n, VALUE_COUNT);
    for (int j = 0; j < active.n; ++j) {
        const int k = active.k[j];
        const double x = to_fit(k, fit.p[k]);
        const double h = DIFFERENCE_STEP * std::fmax(1.0, std::fabs(x));
        ModelFit up = fit, down = fit;
        up.p[k] = from_fit(k, x + h);
        down.p[k] = from_fit(k, x - h);
        double v_up[VALUE_COUNT], v_down[VALUE_COUNT];
        driver_values(setup, up, span, v_up);
        driver_values(setup, down, span, v_down);
        for (int v = 0; v < VALUE_COUNT; ++v)
            gradient(j, v) = (v_up[v] - v_down[v]) / (2 * h);
    }
    const double largest = eigenvalues.size() ? eigenvalues.maxCoeff() : 0;
    Vector inverse_gradients[VALUE_COUNT];
    for (int v = 0; v < VALUE_COUNT; ++v) {
        const Vector along = eigen.matrixV().transpose() * gradient.col(v);
        const double norm = gradient.col(v).norm();
        // (JᵀJ)⁻¹ times the gradient, within the directions the sweeps tell.
        Vector told = Vector::Zero(active.n);
        bool untold = false;
        for (int k = 0; k < active.n; ++k) {
            if (eigenvalues[k] > largest * RANK_TOLERANCE)
                told[k] = along[k] / eigenvalues[k];
            else if (std::fabs(along[k]) > std::sqrt(RANK_TOLERANCE) * norm)
                untold = true;
        }
        const Vector &inverse_gradient = inverse_gradients[v] = eigen.matrixV() * told;
        const double variance =
            correction * std::fmax(mean_square * inverse_gradient.dot(jtj * inverse_gradient),
                                   inverse_gradient.dot(scores * inverse_gradient));
        out[v] = {values[v], untold ? NaN : scale * std::sqrt(variance)};
    }
    if (!covariance)
        return;
    // Each value's error is the larger of two covariances, so no one matrix holds them all:
    // the correlations are those of σ²·(JᵀJ)⁻¹, set to the errors as reported (widened too).
    for (int v = 0; v < VALUE_COUNT; ++v)
        for (int w = v; w < VALUE_COUNT; ++w) {
            const Vector &a = inverse_gradients[v], &b = inverse_gradients[w];
            const double ab = a.dot(jtj * b), aa = a.dot(jtj * a), bb = b.dot(jtj * b);
            const double errors = out[v].error * out[w].error;
            covariance->c[v][w] = covariance->c[w][v] = v == w        ? errors
                                                        : errors == 0 ? 0
                                                        : aa > 0 && bb > 0
                                                            ? errors * ab / std::sqrt(aa * bb)
                                                            : errors * NaN;
        }
}

ModelFit fit_starts(const FitSetup &setup, const Frequency *table, const DriverModel &model,
                    const double (&base)[PARAM_COUNT], const double *le_starts, int le_count) {
    const SweepSpan &free = setup.spans[0];
    const double top = free.points[free.count - 1].f;
    const int corners = model.lossy ? static_cast<int>(std::size(LOSS_CORNERS)) : 1;
    ModelFit best{};
    for (int i = 0; i < le_count; ++i) {
        for (int c = 0; c < corners; ++c) {
            double start[PARAM_COUNT];
            for (int k = 0; k < PARAM_COUNT; ++k)
                start[k] = base[k];
            start[BETA] = model.creep ? BETA_START : 0;
            start[SEMI] = model.semi ? SEMI_START : 0;
            start[LE] = le_starts[i];
            start[G2] = start[L2] = 0;
            // The loss terms start from the inductance shared between Le and L2.
            if (model.lossy) {
                start[LE] = std::fmax(le_starts[i], 0.0) / 2;
                start[L2] = std::fmax(std::fabs(le_starts[i]) / 2, MIN_L2_START);
                start[G2] = 1 / (TWO_PI * LOSS_CORNERS[c] * top * start[L2]);
            }
            const ModelFit fit = fit_from_start(setup, table, model, start);
            if (fit.ok && (!best.ok || fit.ssr < best.ssr))
                best = fit;
        }
    }
    return best;
}

} // namespace

ModelFit fit_model(const FitSetup &setup, const DriverModel &model,
                   const double (&base)[PARAM_COUNT], const double *le_starts, int le_count) {
    const FrequencyTable table(setup);
    return fit_starts(setup, table.terms(), model, base, le_starts, le_count);
}

ModelFit select_model(const FitSetup &setup, const double (&base)[PARAM_COUNT],
                      const double *le_starts, int le_count) {
    const FrequencyTable table(setup);
    ModelFit best{};
    for (const DriverModel &model : MODELS) {
        const ModelFit fit = fit_starts(setup, table.terms(), model, base, le_starts, le_count);
        if (!fit.ok || (best.ok && fit.information >= best.information))
            continue;
        Estimate e[VALUE_COUNT];
        estimate(setup, table.terms(), fit, 0, e);
        const bool told =
            (!model.creep || std::isfinite(e[V_BETA].error)) &&
            (!model.semi || std::isfinite(e[V_SEMI].error)) &&
            (!model.lossy || (std::isfinite(e[V_R2].error) && std::isfinite(e[V_L2].error)));
        if (told)
            best = fit;
    }
    return best;
}

void driver_estimates(const FitSetup &setup, const ModelFit &fit, int span,
                      Estimate (&out)[VALUE_COUNT], ValueCovariance *covariance) {
    const FrequencyTable table(setup);
    estimate(setup, table.terms(), fit, span, out, covariance);
}
