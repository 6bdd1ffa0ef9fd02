#include "enclosure/alignment.h"

#include <cmath>
#include <initializer_list>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int NEWTON_STEPS = 60;
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

} // namespace

bool tuning_for_polynomial(double a1, double a2, double a3, double qb, VentedTuning &tuning) {
    const double l = loss(qb);
    double x = std::sqrt(a3 / a1);
    for (int step = 0; step < NEWTON_STEPS && l > 0; ++step) {
        const double f = ((l * x - a1) * x * x + a3) * x - l;
        const double slope = (4 * l * x - 3 * a1) * x * x + a3;
        const double next = x - f / slope;
        if (!(next > 0))
            return false;
        const bool settled = std::fabs(next - x) <= 1e-15 * x;
        x = next;
        if (settled)
            break;
    }
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

} // namespace

// Qt falls as k grows: less damping in the response asks for more in the driver.
bool chebyshev_tuning(double qt, double qb, double k_low, double k_high, VentedTuning &tuning,
                      double &k) {
    VentedTuning low, high;
    if (!chebyshev_member(k_low, qb, low) || qt > low.qt) {
        k = k_low;
        return false;
    }
    if (!chebyshev_member(k_high, qb, high) || qt < high.qt) {
        k = k_high;
        return false;
    }
    for (int step = 0; step < BISECTION_STEPS && k_high - k_low > 1e-15 * k_high; ++step) {
        const double middle = 0.5 * (k_low + k_high);
        VentedTuning there;
        if (!chebyshev_member(middle, qb, there))
            return false;
        (there.qt > qt ? k_low : k_high) = middle;
    }
    k = 0.5 * (k_low + k_high);
    return chebyshev_member(k, qb, tuning);
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
