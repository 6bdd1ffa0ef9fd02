#include "engine/impedance.h"

#include <cmath>

constexpr int BISECTION_STEPS = 200; // far more than a double's bits: ends when the bracket stops

static bool usable(double v) {
    return std::isfinite(v) && v > 0;
}

bool make_impedance_model(const DriverInputs &inputs, const DriverResults &results,
                          ImpedanceModel &model) {
    model = {inputs[InputId::Fs].value, inputs[InputId::Re].value, results.Res,
             inputs[InputId::Qms].value};
    return usable(model.Fs) && usable(model.Re) && usable(model.Res) && usable(model.Qms);
}

double impedance_magnitude(const ImpedanceModel &m, double f) {
    // Written out rather than through std::abs of a complex: hypot differs in the last bit
    // between runtimes, and the plot must be the same on every platform.
    const double x = m.Qms * (f / m.Fs - m.Fs / f);
    const double d = 1 + x * x;
    const double real = m.Re + m.Res / d;
    const double imaginary = -m.Res * x / d;
    return std::sqrt(real * real + imaginary * imaginary);
}

// The curve rises monotonically up to Fs and falls after it, so one sign change is one crossing.
static double crossing(const ImpedanceModel &m, double level, double from, double to) {
    double near = from, far = to;
    const bool from_below = impedance_magnitude(m, from) < level;
    if (from_below == (impedance_magnitude(m, to) < level))
        return NAN;
    for (int i = 0; i < BISECTION_STEPS; ++i) {
        const double mid = (near + far) / 2;
        if (mid == near || mid == far)
            break;
        if ((impedance_magnitude(m, mid) < level) == from_below)
            near = mid;
        else
            far = mid;
    }
    return (near + far) / 2;
}

SideFrequencies side_frequencies(const ImpedanceModel &m, double level) {
    return {crossing(m, level, m.Fs / PLOT_SPAN, m.Fs), crossing(m, level, m.Fs, m.Fs * PLOT_SPAN)};
}
