#include "enclosure/box_driver.h"

#include <cmath>

namespace {

constexpr double LITRE = 1e-3, SQUARE_CM = 1e-4, GRAM = 1e-3;

// The fitted values in the design's order and the factor from their units to SI.
const struct {
    DriverParameter parameter;
    CovariedValue fitted;
    double scale;
} FITTED_PARAMETERS[] = {
    {DRIVER_FS, CV_FS, 1},   {DRIVER_QTS, CV_QTS, 1},    {DRIVER_VAS, CV_VAS, LITRE},
    {DRIVER_QES, CV_QES, 1}, {DRIVER_RE, CV_RE, 1},      {DRIVER_SD, CV_SD, SQUARE_CM},
    {DRIVER_BL, CV_BL, 1},   {DRIVER_MMS, CV_MMS, GRAM},
};

} // namespace

void box_parameters_of(const DriverInputs &in, double (&p)[DRIVER_PARAMETER_COUNT]) {
    const DriverResults r = compute_results(in);
    p[DRIVER_FS] = in[InputId::Fs].value;
    p[DRIVER_QTS] = in[InputId::Qts].value;
    p[DRIVER_VAS] = in[InputId::Vas].value * LITRE;
    p[DRIVER_QES] = in[InputId::Qes].value;
    p[DRIVER_RE] = in[InputId::Re].value;
    p[DRIVER_SD] = in[InputId::Sd].value * SQUARE_CM;
    p[DRIVER_BL] = r.Bl;
    p[DRIVER_MMS] = r.Mms * GRAM;
}

void box_driver_from_fit(const CovariedDriver &fit, BoxDriver &driver) {
    for (const auto &a : FITTED_PARAMETERS) {
        driver.value[a.parameter] = fit.value[a.fitted] * a.scale;
        for (const auto &b : FITTED_PARAMETERS)
            driver.covariance[a.parameter][b.parameter] =
                fit.covariance[a.fitted][b.fitted] * a.scale * b.scale;
    }
}

void mark_unknown_parameters(BoxDriver &d, bool (&known)[DRIVER_PARAMETER_COUNT]) {
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        known[i] = std::isfinite(d.value[i]) && d.value[i] > 0;
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
        const bool required = i == DRIVER_FS || i == DRIVER_QTS || i == DRIVER_VAS;
        if (!known[i] && !required)
            d.value[i] = 0;
        for (int j = 0; j < DRIVER_PARAMETER_COUNT; ++j)
            if (!known[i] || !known[j] || !std::isfinite(d.covariance[i][j]))
                d.covariance[i][j] = 0;
    }
}
