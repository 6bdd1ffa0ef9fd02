#include "enclosure/response.h"

#include <cmath>
#include <limits>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN();

// D(ju) split into its real and imaginary parts, u = ω/ω0.
struct Complex {
    double re, im;
};

Complex denominator(const BoxModel &m, double u) {
    const double u2 = u * u;
    if (m.type == BOX_SEALED)
        return {1 - u2, m.a1 * u};
    return {(u2 - m.a2) * u2 + 1, (m.a3 - m.a1 * u2) * u};
}

double magnitude2(Complex z) {
    return z.re * z.re + z.im * z.im;
}

double normalised(const BoxModel &m, double f) {
    return 2 * PI * f / m.w0;
}

// A normalised frequency above which D(ju) is u⁴ (or u²) within a few per cent whatever the
// coefficients: the passband, where the searches for F3 and the peak start or end.
double passband(const BoxModel &m) {
    return 10 * (1 + m.a1 + m.a2 + m.a3);
}

} // namespace

BoxModel make_box_model(BoxType type, const double *driver, double vb, double fb, double qb,
                        double port_area, double power) {
    const double fs = driver[DRIVER_FS], qts = driver[DRIVER_QTS];
    const double ws = 2 * PI * fs;
    BoxModel m{};
    m.type = type;
    m.alpha = driver[DRIVER_VAS] / vb;
    m.qb = qb;
    if (type == BOX_SEALED) {
        const double stiffer = std::sqrt(1 + m.alpha);
        m.w0 = ws * stiffer;
        m.a1 = 1 / (qts * stiffer);
    } else {
        const double h = fb / fs, x = std::sqrt(h), q = 1 / qts, l = 1 / qb;
        m.h = h;
        m.w0 = ws * x;
        m.a1 = q / x + l * x;
        m.a2 = l * q + (m.alpha + 1 + h * h) / h;
        m.a3 = q * x + l / x;
        m.port = port_area;
    }
    const double re = driver[DRIVER_RE], bl = driver[DRIVER_BL], mms = driver[DRIVER_MMS];
    const bool known = re > 0 && bl > 0 && mms > 0;
    m.x0 = known ? std::sqrt(2 * power * re) * bl / (re * ws * ws * mms) : NAN_VALUE;
    m.sd = driver[DRIVER_SD];
    return m;
}

double response_power(const BoxModel &m, double f) {
    const double u = normalised(m, f), u2 = u * u;
    const double numerator = m.type == BOX_SEALED ? u2 * u2 : u2 * u2 * u2 * u2;
    return numerator / magnitude2(denominator(m, u));
}

double response_db(const BoxModel &m, double f) {
    return 10 * std::log10(response_power(m, f));
}

double group_delay(const BoxModel &m, double f) {
    const double u = normalised(m, f), u2 = u * u;
    const Complex d = denominator(m, u);
    // D'(ju): closed 2p + a1; vented 4p³ + 3·a1·p² + 2·a2·p + a3.
    const Complex slope = m.type == BOX_SEALED
                              ? Complex{m.a1, 2 * u}
                              : Complex{m.a3 - 3 * m.a1 * u2, (2 * m.a2 - 4 * u2) * u};
    return (slope.re * d.re + slope.im * d.im) / magnitude2(d) / m.w0;
}

double excursion(const BoxModel &m, double f) {
    const double u = normalised(m, f);
    const double d = std::sqrt(magnitude2(denominator(m, u)));
    if (m.type == BOX_SEALED)
        return m.x0 / (1 + m.alpha) / d;
    const Complex b{1 - u * u / m.h, u / (std::sqrt(m.h) * m.qb)};
    return m.x0 * std::sqrt(magnitude2(b)) / d;
}

double port_speed(const BoxModel &m, double f) {
    if (m.type == BOX_SEALED || !(m.port > 0) || !(m.sd > 0))
        return NAN_VALUE;
    const double u = normalised(m, f);
    const double volume_velocity =
        2 * PI * f * m.sd * m.x0 / std::sqrt(magnitude2(denominator(m, u)));
    return volume_velocity / m.port;
}

double f3(const BoxModel &m) {
    const double hz = m.w0 / (2 * PI);
    if (m.type == BOX_SEALED) {
        // u⁴ = ½·|D(ju)|² is a quadratic in u²: y² + (2 − 1/Q²)·y − 1 = 0.
        const double b = 2 - m.a1 * m.a1;
        return hz * std::sqrt(0.5 * (std::sqrt(b * b + 4) - b));
    }
    // Down from the passband to the first point below −3 dB, then bisection: the highest
    // crossing, where the passband ends even when the response dips below it.
    constexpr double STEP = 1.1, LOWEST = 1e-3;
    double high = passband(m) * hz, low = high;
    while (response_power(m, low) >= 0.5) {
        high = low;
        low /= STEP;
        if (low < LOWEST * hz)
            return NAN_VALUE;
    }
    for (int step = 0; step < 200 && high - low > 1e-15 * high; ++step) {
        const double middle = 0.5 * (low + high);
        (response_power(m, middle) < 0.5 ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

double peak_db(const BoxModel &m, double *frequency) {
    // A coarse scan from below the cut-off into the passband finds the highest point; a
    // golden-section search between its neighbours refines it.
    constexpr int POINTS = 120;
    constexpr double LOW = 0.05;
    const double hz = m.w0 / (2 * PI);
    const double ratio = std::pow(passband(m) / LOW, 1.0 / (POINTS - 1));
    int best = 0;
    double best_power = 0, f = LOW * hz;
    for (int i = 0; i < POINTS; ++i, f *= ratio) {
        const double power = response_power(m, f);
        if (power > best_power) {
            best_power = power;
            best = i;
        }
    }
    if (frequency)
        *frequency = NAN_VALUE;
    if (!(best_power > 1))
        return 0;
    double a = LOW * hz * std::pow(ratio, best - 1), b = a * ratio * ratio;
    const double golden = 0.5 * (std::sqrt(5.0) - 1);
    double c = b - golden * (b - a), d = a + golden * (b - a);
    double pc = response_power(m, c), pd = response_power(m, d);
    for (int step = 0; step < 80 && b - a > 1e-12 * b; ++step) {
        if (pc > pd) {
            b = d;
            d = c;
            pd = pc;
            c = b - golden * (b - a);
            pc = response_power(m, c);
        } else {
            a = c;
            c = d;
            pc = pd;
            d = a + golden * (b - a);
            pd = response_power(m, d);
        }
    }
    if (frequency)
        *frequency = pc > pd ? c : d;
    return 10 * std::log10(pc > pd ? pc : pd);
}
