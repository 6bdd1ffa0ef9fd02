#include "enclosure/alignment.h"

#include <cmath>
#include <initializer_list>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int SAFE_STEPS = 100;
constexpr int BISECTION_STEPS = 200;

// 1/QB, 0 for a lossless box.
double loss(double qb) {
    return std::isinf(qb) ? 0 : 1 / qb;
}

// Fills in a1, a2, a3 from the tuning's qt, h and α, and checks that it is physical.
bool finish(double x, double q, double l, double a2, VentedTuning &tuning) {
    const double h = x * x;
    tuning.h = h;
    tuning.qt = 1 / q;
    tuning.alpha = h * (a2 - l * q) - 1 - h * h;
    tuning.a1 = q / x + l * x;
    tuning.a2 = a2;
    tuning.a3 = q * x + l / x;
    return std::isfinite(tuning.alpha) && q > 0 && h > 0 && tuning.alpha > 0;
}

// The root of a function that changes sign between low and high, by Newton's steps kept inside
// the bracket (a bisection wherever a step would leave it). value(x, slope) returns f(x) and
// sets f'(x).
template <typename Function> double safe_root(Function value, double low, double high) {
    double slope;
    const bool rising = value(high, slope) > 0;
    double x = 0.5 * (low + high);
    for (int step = 0; step < SAFE_STEPS && high - low > 1e-15 * high; ++step) {
        const double f = value(x, slope);
        if (f == 0)
            return x;
        ((f > 0) == rising ? high : low) = x;
        const double next = x - f / slope;
        if (std::fabs(next - x) <= 1e-15 * x)
            return next;
        x = next > low && next < high ? next : 0.5 * (low + high);
    }
    return x;
}

} // namespace

// f(x) = l·x⁴ − a1·x³ + a3·x − l is −l at 0 and grows without bound, and has one positive root
// or three. Without losses the middle one is √(a3/a1); the other two come in from 0 and from
// far away as the losses grow, and give a Qt near nothing or infinite. So the tuning is the
// middle root, between f's local maximum and minimum, the roots of the derivative
// 4l·x³ − 3a1·x² + a3, which falls to its own minimum at a1/(2l) and rises after it. Where the
// middle root is missing the polynomial cannot be had with these losses.
bool tuning_for_polynomial(double a1, double a2, double a3, double qb, VentedTuning &tuning) {
    const double l = loss(qb);
    if (l == 0) {
        const double x = std::sqrt(a3 / a1);
        return finish(x, a1 * x, 0, a2, tuning);
    }
    const auto f = [&](double x, double &slope) {
        slope = (4 * l * x - 3 * a1) * x * x + a3;
        return ((l * x - a1) * x * x + a3) * x - l;
    };
    const auto f_slope = [&](double x, double &curvature) {
        curvature = (12 * l * x - 6 * a1) * x;
        return (4 * l * x - 3 * a1) * x * x + a3;
    };
    const double turn = a1 / (2 * l);
    double unused;
    if (!(f_slope(turn, unused) < 0))
        return false; // f only rises: one root, an outer one
    const double top = safe_root(f_slope, 0, turn);
    const double bottom = safe_root(f_slope, turn, a1 / l);
    if (!(f(top, unused) > 0 && f(bottom, unused) < 0))
        return false;
    const double x = safe_root(f, top, bottom);
    return finish(x, a1 * x - l * x * x, l, a2, tuning);
}

void butterworth_polynomial(double a[3]) {
    a[0] = a[2] = std::sqrt(4 + 2 * std::sqrt(2.0));
    a[1] = 2 + std::sqrt(2.0);
}

void bessel_polynomial(double a[3]) {
    const double scale = std::pow(105.0, 0.25); // s = scale·t makes the constant term 1
    a[0] = 105 / (scale * scale * scale);
    a[1] = 45 / (scale * scale);
    a[2] = 10 / scale;
}

void chebyshev_polynomial(double k, double a[3]) {
    // (p² + 2σ1·p + r1²)(p² + 2σ2·p + r2²), the low-pass, from its two pole pairs.
    double c[5] = {1, 0, 0, 0, 0};
    for (double theta : {PI / 8, 3 * PI / 8}) {
        const double sigma = k * std::sin(theta), omega = std::cos(theta);
        const double pair[3] = {1, 2 * sigma, sigma * sigma + omega * omega};
        double product[5] = {};
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 3 && i + j < 5; ++j)
                product[i + j] += c[i] * pair[j];
        for (int i = 0; i < 5; ++i)
            c[i] = product[i];
    }
    // Scaled to a constant term of 1; the high-pass takes the coefficients reversed.
    const double scale = std::pow(c[4], 0.25);
    a[0] = c[3] / (scale * scale * scale);
    a[1] = c[2] / (scale * scale);
    a[2] = c[1] / scale;
}

namespace {

bool chebyshev_member(double k, double qb, VentedTuning &tuning) {
    double a[3];
    chebyshev_polynomial(k, a);
    return tuning_for_polynomial(a[0], a[1], a[2], qb, tuning);
}

// The end of the range where the members stop existing, between bad (none) and good (one).
double family_edge(double bad, double good, double qb) {
    VentedTuning unused;
    for (int step = 0; step < BISECTION_STEPS && std::fabs(good - bad) > 1e-15 * good; ++step) {
        const double middle = 0.5 * (bad + good);
        (chebyshev_member(middle, qb, unused) ? good : bad) = middle;
    }
    return good;
}

} // namespace

// Qt falls as k grows: less damping in the response asks for more in the driver.
FamilySolve chebyshev_tuning(double qt, double qb, double k_low, double k_high,
                             VentedTuning &tuning, double &k, double &limit_qt) {
    VentedTuning low, high;
    const bool low_exists = chebyshev_member(k_low, qb, low);
    const bool high_exists = chebyshev_member(k_high, qb, high);
    if (!low_exists && !high_exists)
        return FAMILY_MISSING;
    if (!low_exists) {
        k_low = family_edge(k_low, k_high, qb);
        chebyshev_member(k_low, qb, low);
    }
    if (!high_exists) {
        k_high = family_edge(k_high, k_low, qb);
        chebyshev_member(k_high, qb, high);
    }
    if (qt > low.qt || qt < high.qt) {
        limit_qt = qt > low.qt ? low.qt : high.qt;
        return qt > low.qt ? FAMILY_QT_ABOVE : FAMILY_QT_BELOW;
    }
    // Regula falsi on Qt(k) − qt, Illinois's way: the end that stays has its value halved, so
    // that the bracket closes from both sides.
    double f_low = low.qt - qt, f_high = high.qt - qt;
    int last_side = 0;
    k = k_low;
    tuning = low;
    for (int step = 0; step < BISECTION_STEPS; ++step) {
        k = f_low == f_high ? 0.5 * (k_low + k_high)
                            : (k_low * f_high - k_high * f_low) / (f_high - f_low);
        if (!chebyshev_member(k, qb, tuning))
            return FAMILY_MISSING;
        const double f = tuning.qt - qt;
        if (std::fabs(f) <= 1e-15 * qt || k_high - k_low <= 1e-15 * k_high)
            break;
        if (f > 0) {
            k_low = k, f_low = f;
            if (last_side > 0)
                f_high /= 2;
            last_side = 1;
        } else {
            k_high = k, f_high = f;
            if (last_side < 0)
                f_low /= 2;
            last_side = -1;
        }
    }
    return FAMILY_FOUND;
}

namespace {

// a1⁴/4 + 2 − 2·a1·a3: zero where the ω⁻⁴ term of |G|⁻² vanishes with a1² = 2·a2.
double qb3_condition(double x, double q, double l) {
    const double a1 = q / x + l * x, a3 = q * x + l / x;
    return a1 * a1 * a1 * a1 / 4 + 2 - 2 * a1 * a3;
}

} // namespace

// The condition is positive for a small x (a1 large) and, with losses, again for a large one;
// the tuning is its first root, the one that becomes x⁴ = q⁴/(8(q² − 1)) without losses.
bool qb3_tuning(double qt, double qb, VentedTuning &tuning, double &b2) {
    const double q = 1 / qt, l = loss(qb);
    constexpr double FIRST = 0.05, LAST = 20, STEP = 1.02;
    double low = FIRST;
    if (!(qb3_condition(low, q, l) > 0))
        return false;
    double high = low * STEP;
    while (qb3_condition(high, q, l) > 0) {
        low = high;
        high *= STEP;
        if (high > LAST)
            return false;
    }
    for (int step = 0; step < BISECTION_STEPS && high - low > 1e-16 * high; ++step) {
        const double middle = 0.5 * (low + high);
        (qb3_condition(middle, q, l) > 0 ? low : high) = middle;
    }
    const double x = 0.5 * (low + high);
    const double a1 = q / x + l * x;
    if (!finish(x, q, l, a1 * a1 / 2, tuning))
        return false;
    b2 = tuning.a3 * tuning.a3 - 2 * tuning.a2;
    return true;
}
