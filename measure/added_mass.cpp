#include "measure/added_mass.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double TWO_PI = 2 * 3.14159265358979323846;
constexpr double GRAMS_PER_KILOGRAM = 1000;
constexpr double SQUARE_METRES_PER_SQUARE_CM = 1e-4;
constexpr double LITRES_PER_CUBIC_METRE = 1000;

// 1/(2πf)² and its standard error from the frequency's.
void inverse_square(Estimate f, double &y, double &error) {
    y = 1 / ((TWO_PI * f.value) * (TWO_PI * f.value));
    error = 2 * y * f.error / f.value;
}

} // namespace

bool fit_added_mass(const char *free_name, Estimate free_fs, const MassResonance *added, int count,
                    AddedMassResult &result, MeasureError &error) {
    result.mass = 0;
    for (int i = 0; i < count; ++i) {
        const MassResonance &a = added[i];
        if (!(a.mass > 0) || !std::isfinite(a.mass))
            return measure_error(error, a.name, 0, "added mass %.6g g is not above 0",
                                 u8"den adderade massan %.6g g är inte över 0", a.mass);
        if (!(a.Fs.value < free_fs.value))
            return measure_error(
                error, a.name, 0,
                "resonance %.6g Hz with the added mass is not below the free resonance "
                "%.6g Hz of %s",
                u8"resonansen %.6g Hz med den adderade massan ligger inte under den fria "
                u8"resonansen %.6g Hz i %s",
                a.Fs.value, free_fs.value, free_name);
        result.mass = std::max(result.mass, a.mass);
    }
    // The points of the line: the free resonance at m = 0, then each added mass, in kg.
    auto point = [&](std::size_t i, double &mass, double &y, double &y_error) {
        mass = i == 0 ? 0 : added[i - 1].mass / GRAMS_PER_KILOGRAM;
        inverse_square(i == 0 ? free_fs : added[i - 1].Fs, y, y_error);
    };
    // Least squares y = intercept + slope·m; both are linear in y: intercept = Σ wi·yi,
    // slope = Σ vi·yi, which carries the resonances' errors through.
    const std::size_t n = count + 1;
    double m, y, y_error, mean_m = 0, mean_y = 0;
    for (std::size_t i = 0; i < n; ++i) {
        point(i, m, y, y_error);
        mean_m += m / n;
        mean_y += y / n;
    }
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        point(i, m, y, y_error);
        sxx += (m - mean_m) * (m - mean_m);
        sxy += (m - mean_m) * (y - mean_y);
    }
    const double slope = sxy / sxx, intercept = mean_y - slope * mean_m;
    if (!(slope > 0) || !(intercept > 0))
        return measure_error(
            error, free_name, 0,
            "the resonances with added mass give no positive moving mass and compliance "
            "(%.6g, %.6g)",
            u8"resonanserna med adderad massa ger ingen positiv rörlig massa och "
            u8"eftergivlighet (%.6g, %.6g)",
            intercept / slope * GRAMS_PER_KILOGRAM, slope);
    const double largest = result.mass / GRAMS_PER_KILOGRAM;
    const double y_largest = intercept + slope * largest;
    // Variances of Mms = intercept/slope, Cms = slope and y at the largest mass.
    double var_mms = 0, var_cms = 0, var_y = 0, residuals = 0;
    for (std::size_t i = 0; i < n; ++i) {
        point(i, m, y, y_error);
        const double v = (m - mean_m) / sxx;
        const double w = 1.0 / n - mean_m * v;
        const double d_mms = (w * slope - intercept * v) / (slope * slope);
        const double d_y = w + largest * v;
        const double e2 = y_error * y_error;
        var_mms += d_mms * d_mms * e2;
        var_cms += v * v * e2;
        var_y += d_y * d_y * e2;
        const double r = (y - intercept - slope * m) / y;
        residuals += r * r;
    }
    result.Mms = {intercept / slope * GRAMS_PER_KILOGRAM, std::sqrt(var_mms) * GRAMS_PER_KILOGRAM};
    result.Cms = {slope, std::sqrt(var_cms)};
    const double fs_added = 1 / (TWO_PI * std::sqrt(y_largest));
    result.FsAdded = {fs_added, fs_added / (2 * y_largest) * std::sqrt(var_y)};
    result.rms_percent = 100 * std::sqrt(residuals / n);
    result.masses = count;
    return true;
}

bool fit_masses_jointly(const char *free_name, const SweepFit *const *fits, const double *masses,
                        int count, double start_mms, JointMassFit &joint, MeasureError &error) {
    const SweepFit &free = *fits[0];
    SweepSpan spans[MAX_FIT_SWEEPS];
    FitSetup setup{spans, std::min(count, MAX_FIT_SWEEPS), true, free.re_given, free.omega0};
    double start[PARAM_COUNT];
    for (int k = 0; k < PARAM_COUNT; ++k)
        start[k] = free.solution.p[k];
    joint.mass = 0;
    for (int i = 0; i < setup.span_count; ++i) {
        const SweepFit &f = *fits[i];
        spans[i] = {f.band.data(), f.points_used, masses[i] / GRAMS_PER_KILOGRAM};
        // |Z| alone where one sweep has no phase.
        setup.phase = setup.phase && f.phase_used;
        start[RE + i] = f.solution.p[RE];
        joint.mass = std::max(joint.mass, masses[i]);
    }
    start[BL2] = start_mms / GRAMS_PER_KILOGRAM / start[CMES];
    const ModelFit fit = fit_from(setup, free.solution.model, start);
    if (!fit.ok)
        return measure_error(
            error, free_name, 0, "the joint fit of the %d sweeps ends at no physical driver",
            u8"den gemensamma anpassningen av de %d kurvorna ger inget fysikaliskt element",
            setup.span_count);
    Estimate v[VALUE_COUNT];
    driver_estimates(setup, fit, 0, v, &joint.covariance);
    joint.model = fit.model;
    joint.sweeps = setup.span_count;
    joint.Mms = {v[V_MMS].value * GRAMS_PER_KILOGRAM, v[V_MMS].error * GRAMS_PER_KILOGRAM};
    joint.Cms = v[V_CMS];
    joint.Bl = v[V_BL];
    joint.Fs = v[V_FS];
    joint.Beta = fit.model.creep ? v[V_BETA] : Estimate{0, std::nan("")};
    joint.quality = fit_quality(setup, fit);
    // FsAdded = Fs/√(1 + m/Mms); the errors of Fs and Mms taken as independent.
    const double ratio = joint.mass / joint.Mms.value;
    const double fs_added = free.Fs.value / std::sqrt(1 + ratio);
    const double by_mms = fs_added * ratio / (2 * (1 + ratio)) / joint.Mms.value;
    joint.FsAdded = {fs_added,
                     std::hypot(free.Fs.error / std::sqrt(1 + ratio), by_mms * joint.Mms.error)};
    return true;
}

bool fit_added_masses(const char *const *names, const SweepFit *const *fits, const double *masses,
                      int count, AddedMassResult &line, JointMassFit &joint, MeasureError &error) {
    Buffer<MassResonance> resonances;
    for (int i = 1; i < count; ++i)
        if (!resonances.push_back({names[i], masses[i], fits[i]->Fs}))
            return measure_error(error, names[0], 0, "out of memory", u8"minnet räcker inte");
    return fit_added_mass(names[0], fits[0]->Fs, resonances.data(), count - 1, line, error) &&
           fit_masses_jointly(names[0], fits, masses, count, line.Mms.value, joint, error);
}

Estimate vas_from_compliance(Estimate cms, double sd_cm2) {
    const double sd = sd_cm2 * SQUARE_METRES_PER_SQUARE_CM;
    const double factor =
        AIR_DENSITY * SPEED_OF_SOUND * SPEED_OF_SOUND * sd * sd * LITRES_PER_CUBIC_METRE;
    return {factor * cms.value, factor * cms.error};
}
