// The driver model behind the sweep fit and its least-squares fit to one impedance sweep, or to
// several sweeps of the same driver with known masses added to the cone. Nothing here throws or
// uses more of the standard library than <complex>, so that the window program can fit too: the
// points are the caller's, the matrices have a fixed largest size, and the one block taken from
// malloc, a table of the points' frequency terms, only saves time (a fit goes on without it).
//
//   Z(s) = Re + s·Le + K·√s + (R2 ∥ s·L2) + 1 / (s·Cmes + 1/Res + 1/(s·Lces(s))),   s = jω
//
// The motional branch is the mechanical resonator seen from the coil: Cmes = Mms/Bl²,
// Lces = Bl²·Cms, Res = Bl²/Rms. A real suspension creeps, its compliance rising towards low
// frequencies; the creep is Knudsen and Jensen's logarithm of the complex frequency,
//   Lces(s) = Lces0·(1 − β·log10(s/ω0)),
// with ω0 held, as the curve does not depend on it (a change of ω0 only rescales Lces0 and β).
// K·√s is the semi-inductance of a coil in a conducting pole; R2 ∥ L2 its eddy-current losses.
// With added masses each sweep's Cmes is Cmes + m/Bl², everything else but Re being shared.
#pragma once

#include <complex>

struct Estimate {
    double value;
    double error; // standard error; 0 for a value that was given, NaN when the sweep cannot tell
};

constexpr int MAX_FIT_SWEEPS = 7;

// The fitted parameters; RE is the first of one per sweep.
enum ModelParam {
    CMES,
    LCES,
    RES,
    BETA,
    LE,
    SEMI,
    G2,
    L2,
    BL2,
    RE,
    PARAM_COUNT = RE + MAX_FIT_SWEEPS
};

struct DriverModel {
    bool creep; // β fitted; 0 otherwise, the textbook resonator
    bool semi;  // K·√s fitted
    bool lossy; // R2 ∥ L2 fitted
};

// From the textbook resonator with a plain coil to the creeping one with both coil terms.
constexpr int MODEL_COUNT = 8;
extern const DriverModel MODELS[MODEL_COUNT];

// The model in the Swedish words that every report uses, UTF-8 in characters that Windows-1252
// has too: "upphängning utan krypning, talspole Le + R2 parallellt med L2".
constexpr int MODEL_DESCRIPTION_SIZE = 128;
void describe_model(const DriverModel &model, char (&text)[MODEL_DESCRIPTION_SIZE]);

struct ImpedancePoint {
    double f; // Hz
    std::complex<double> z;
    double magnitude;
};

struct SweepSpan {
    const ImpedancePoint *points; // rising frequency
    int count;
    double mass; // added to the cone, kg; 0 for the free-air sweep
};

struct FitSetup {
    const SweepSpan *spans; // the free-air sweep first
    int span_count;         // 1 to MAX_FIT_SWEEPS
    bool phase;             // complex impedance; |Z| alone otherwise
    bool re_given;          // Re held at the start's value in every sweep
    double omega0;          // reference of the creep, rad/s
};

struct ModelFit {
    bool ok;
    DriverModel model;
    double p[PARAM_COUNT]; // physical values; G2 = 1/R2, BL2 = Bl²
    double ssr;            // sum of squared relative residuals
    int residual_count;
    int fitted_count;
    double information; // Bayesian information criterion, lower is better
};

// The textbook resonator with a plain coil of no inductance and Bl² = 1, from the values it is
// read by: Cmes = Qms/(ωs·Res), Lces = 1/(ωs²·Cmes). Re is set for every sweep.
void textbook_params(double re, double fs, double qms, double res, double (&p)[PARAM_COUNT]);

// The model's impedance of sweep `span` at f.
std::complex<double> model_impedance(const DriverModel &model, const double (&p)[PARAM_COUNT],
                                     double omega0, int span, double mass, double f);

// For the tests: the normal equations that the fit solves at p, JᵀJ and Jᵀr of the relative
// residuals of every sweep (those of point_residual, real and imaginary part in turn) by the
// physical parameters, 0 in the rows and columns of those the model does not fit.
void normal_equations(const FitSetup &setup, const DriverModel &model,
                      const double (&p)[PARAM_COUNT], double (&jtj)[PARAM_COUNT][PARAM_COUNT],
                      double (&jtr)[PARAM_COUNT]);

// Levenberg–Marquardt from start alone: ok false when it ends where a term is not physical
// (R2, L2, K and β above 0, the corner of R2 ∥ L2 near the sweep, the resonance inside it).
ModelFit fit_from(const FitSetup &setup, const DriverModel &model,
                  const double (&start)[PARAM_COUNT]);

// Levenberg–Marquardt from each start the model needs, beginning at base: each reading of Le,
// and with R2 ∥ L2 each corner of it, given by le_starts and the sweep's top frequency. The
// best physical solution is returned; ok false when none is.
ModelFit fit_model(const FitSetup &setup, const DriverModel &model,
                   const double (&base)[PARAM_COUNT], const double *le_starts, int le_count);

// Every model of MODELS fitted, the one with the lowest information criterion kept among those
// whose own terms the sweeps tell (finite standard errors).
ModelFit select_model(const FitSetup &setup, const double (&base)[PARAM_COUNT],
                      const double *le_starts, int le_count);

// The relative residual (Zfit − Z)/|Z| of a point of sweep `span`: complex with the phase, of
// |Z| alone (real) without.
std::complex<double> point_residual(const FitSetup &setup, const ModelFit &fit, int span,
                                    const ImpedancePoint &point);

// What is reported of a fit, for one sweep. Fs is where the motional impedance is real, Qms and
// Qes follow from it: Qms = ωs·Cmes·Rmotional(ωs), Qes = ωs·Cmes·Re; for a creeping
// suspension the top of |Z| lies a little above Fs. β is referred to ωs. Mms, Cms = 1/(ωs²·Mms)
// and Bl need added masses: NaN without.
enum DriverValue {
    V_RE,
    V_FS,
    V_ZMAX,
    V_QMS,
    V_QES,
    V_QTS,
    V_LE,
    V_R2,
    V_L2,
    V_RES,
    V_SEMI,
    V_BETA,
    V_MMS,
    V_CMS,
    V_BL,
    VALUE_COUNT
};
void driver_values(const FitSetup &setup, const ModelFit &fit, int span,
                   double (&values)[VALUE_COUNT]);

// How well the model follows the sweeps: the RMS of the relative residuals, and their point-to-
// point scatter (from second differences, which a smooth misfit of the model does not reach),
// in %. Where the residual stands above MISFIT_RATIO times the scatter, the model's misfit
// dominates it, not the noise: the residuals are no longer independent, and the standard
// errors, which assume they are, are widened by error_scale = RMS/scatter.
constexpr double MISFIT_RATIO = 2;
struct FitQuality {
    double rms_percent;
    double scatter_percent;
    double error_scale; // 1 where the noise dominates
};
FitQuality fit_quality(const FitSetup &setup, const ModelFit &fit);

// The values with standard errors from the Jacobian at the solution: the larger of the
// covariance from the mean squared residual and the one from each point's own residual (noise
// that is larger in places, as stair steps make it at the resonance), widened by the quality's
// error_scale; NaN where the sweeps do not tell a value, 0 for one held.
// The covariance of the values, in their units: each value's error squared on the diagonal, and
// beside it their correlations, which values fitted to the same sweeps have. 0 in the rows of a
// value held, NaN in those of one the sweeps do not tell.
struct ValueCovariance {
    double c[VALUE_COUNT][VALUE_COUNT];
};
void driver_estimates(const FitSetup &setup, const ModelFit &fit, int span,
                      Estimate (&values)[VALUE_COUNT], ValueCovariance *covariance = nullptr);
