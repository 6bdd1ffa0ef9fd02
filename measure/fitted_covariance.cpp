#include "measure/fitted_covariance.h"

#include "measure/added_mass.h"
#include "measure/sweep_fit.h"

#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double GRAMS_PER_KILOGRAM = 1000;

// Where each fitted value stands in driver_values and the factor to its unit here.
struct FittedValue {
    CovariedValue id;
    DriverValue fitted;
    double scale;
};
constexpr FittedValue FITTED[] = {
    {CV_RE, V_RE, 1},   {CV_FS, V_FS, 1},   {CV_QMS, V_QMS, 1},
    {CV_QES, V_QES, 1}, {CV_QTS, V_QTS, 1}, {CV_MMS, V_MMS, GRAMS_PER_KILOGRAM},
    {CV_CMS, V_CMS, 1}, {CV_BL, V_BL, 1},
};

} // namespace

CovariedDriver covaried_driver(const SweepFit &free, const JointMassFit *joint, Estimate re,
                               Estimate sd, Estimate vas) {
    CovariedDriver d;
    Estimate e[COVARIED_COUNT] = {free.Re, free.Fs, free.Qms, free.Qes, free.Qts};
    const Estimate none{NaN, NaN};
    e[CV_MMS] = joint ? joint->Mms : none;
    e[CV_CMS] = joint ? joint->Cms : none;
    e[CV_BL] = joint ? joint->Bl : none;
    e[CV_SD] = sd;
    e[CV_VAS] = vas;
    if (free.re_given)
        e[CV_RE] = re;
    for (int i = 0; i < COVARIED_COUNT; ++i) {
        d.value[i] = e[i].value;
        for (int j = 0; j < COVARIED_COUNT; ++j)
            d.covariance[i][j] = i == j ? e[i].error * e[i].error : 0;
    }
    const ValueCovariance &fit = joint ? joint->covariance : free.covariance;
    for (const FittedValue &a : FITTED)
        for (const FittedValue &b : FITTED) {
            const double c = fit.c[a.fitted][b.fitted];
            const double spread = fit.c[a.fitted][a.fitted] * fit.c[b.fitted][b.fitted];
            if (a.id != b.id && spread > 0)
                d.covariance[a.id][b.id] = e[a.id].error * e[b.id].error * c / std::sqrt(spread);
        }
    // Vas = ρ·c²·Sd²·Cms: its row from those of Cms and Sd.
    d.vas_from_compliance = std::isnan(vas.value) && joint && sd.value > 0;
    if (!d.vas_from_compliance)
        return d;
    const double by_cms = vas_from_compliance({1, 0}, sd.value).value;
    d.value[CV_VAS] = by_cms * d.value[CV_CMS];
    const double by_sd = 2 * d.value[CV_VAS] / sd.value;
    for (int i = 0; i < COVARIED_COUNT; ++i)
        d.covariance[CV_VAS][i] = d.covariance[i][CV_VAS] =
            by_cms * d.covariance[CV_CMS][i] + by_sd * d.covariance[CV_SD][i];
    d.covariance[CV_VAS][CV_VAS] =
        by_cms * d.covariance[CV_VAS][CV_CMS] + by_sd * d.covariance[CV_VAS][CV_SD];
    return d;
}
