// The box for a driver: closed and vented boxes after R. H. Small, "Closed-Box Loudspeaker
// Systems" and "Vented-Box Loudspeaker Systems" (J. Audio Eng. Soc., 1972 and 1973), their
// alignments solved for the driver, their response, excursion and port, and the error of every
// figure carried over from the errors of the driver's parameters and their correlations.
//
// Everything is SI: m, m², m³, kg, Hz, s. It throws nothing and holds no standard container,
// so that the window program can use it: a result is one plain struct.
#pragma once

#include "measure/air.h"
#include "measure/measure_error.h"

// The driver's parameters that the box depends on, in the order of BoxDriver's arrays.
enum DriverParameter {
    DRIVER_FS,  // Hz
    DRIVER_QTS, //
    DRIVER_VAS, // m³
    DRIVER_QES, //
    DRIVER_RE,  // ohm
    DRIVER_SD,  // m²
    DRIVER_BL,  // T·m
    DRIVER_MMS, // kg, with the air load
    DRIVER_PARAMETER_COUNT
};

// "Fs", "Qts", "Vas", "Qes", "Re", "Sd", "Bl", "Mms".
extern const char *const DRIVER_PARAMETER_NAMES[DRIVER_PARAMETER_COUNT];

struct BoxDriver {
    // Fs, Qts and Vas must be given; Qes, Re, Sd, Bl and Mms may be 0 for unknown, and the
    // figures that need them are then NaN. A negative or non-finite value is an error.
    double value[DRIVER_PARAMETER_COUNT] = {};
    // The parameters' covariance in SI units squared: independent errors on the diagonal, or
    // a fit's covariance. All zero: the parameters count as exact.
    double covariance[DRIVER_PARAMETER_COUNT][DRIVER_PARAMETER_COUNT] = {};
};

// The request's enums are fixed to int, so that a value read from outside and out of range is
// refused rather than undefined.
enum BoxType : int { BOX_SEALED, BOX_VENTED };

enum BoxAlignment : int {
    ALIGN_BUILT,    // the box given by BoxRequest::vb (and fb for a vented box)
    ALIGN_QTC,      // closed box for BoxRequest::qtc
    ALIGN_FLATTEST, // vented: QB3 below B4's Qts, B4 at it, C4 above
    ALIGN_B4,
    ALIGN_QB3,
    ALIGN_SC4,
    ALIGN_C4,
    ALIGN_BB4,
};

// "built", "Qtc", "flattest", "B4", "QB3", "SC4", "C4", "BB4"; "unknown" for anything else.
const char *alignment_name(BoxAlignment alignment);

// The closed-box alignments that have names; a Qtc within 0.0005 of one takes its name.
struct NamedQtc {
    double qtc;
    const char *name; // "critically damped", "Bessel", "Butterworth", "Chebyshev"
};
extern const NamedQtc NAMED_QTC[4];
constexpr double DEFAULT_QTC = 0.707;

// Total end correction of a port as a fraction of its diameter.
enum PortEnds : int { PORT_BOTH_FREE, PORT_ONE_FLANGED, PORT_BOTH_FLANGED };
extern const double PORT_END_CORRECTION[3]; // 0.614, 0.732, 0.850

constexpr double REFERENCE_VOLTAGE = 2.83; // V
constexpr double DEFAULT_QL = 7;
constexpr double DEFAULT_PORT_SPEED_FRACTION = 0.05; // of the speed of sound

struct BoxRequest {
    BoxType type = BOX_SEALED;
    BoxAlignment alignment = ALIGN_QTC; // ALIGN_FLATTEST for the vented default
    double qtc = DEFAULT_QTC;           // ALIGN_QTC
    double vb = 0, fb = 0;              // ALIGN_BUILT: m³, and Hz for a vented box
    // Vented box losses: leakage, absorption, port; 0 for QA or QP means none, and the three
    // add as 1/QB = 1/QL + 1/QA + 1/QP.
    double ql = DEFAULT_QL, qa = 0, qp = 0;
    double port_diameter = 0; // m; 0: no port figures
    int ports = 1;
    PortEnds port_ends = PORT_ONE_FLANGED;
    double port_speed_fraction = DEFAULT_PORT_SPEED_FRACTION;
    double xmax = 0;  // m, one way, peak; 0: unknown
    double pe = 0;    // W, thermal power handling; 0: unknown
    double power = 1; // W into Re, P = V²/Re, V RMS, for excursion and port speed
};

// One figure with its standard error, propagated to first order from the driver's covariance
// (J·Σ·Jᵀ, J by central differences), and the parameter that contributes most to that error
// (the largest |∂figure/∂p|·σp).
//
// Vb, Fb and the port's length are what the design asks for: their errors are those of the
// design done again for every driver within the errors (the alignment kept). Every other
// figure is what the box built to the design does: its error is that of the same box driven
// by every driver within the errors (for a built box, all figures are of that kind, and Vb, Fb
// and the port's length are exact).
struct BoxFigure {
    double value; // NaN where the figure does not apply or a parameter it needs is unknown
    double error; // 0 with exact parameters
    int dominant; // a DriverParameter, or -1 when no parameter contributes
};

enum BoxFigureId {
    FIG_VB,          // m³
    FIG_FB,          // Hz, vented
    FIG_FC,          // Hz, closed box resonance
    FIG_QTC,         // closed box Q
    FIG_F3,          // Hz, the highest frequency where the response is 3 dB down
    FIG_PEAK,        // dB, the response's highest point above the passband, 0 if none
    FIG_PORT_LENGTH, // m, each port
    FIG_PORT_SPEED,  // m/s, peak air speed in the port at the power, largest over the band
    FIG_EXCURSION,   // m, peak cone excursion at the power, largest over the band
    FIG_SPL_1W,      // dB SPL at 1 W, 1 m, half space, in the passband
    FIG_SPL_2V83,    // dB SPL at 2.83 V, 1 m, half space
    FIG_MAX_SPL,     // dB SPL in the passband where Xmax or Pe limits first
    BOX_FIGURE_COUNT
};

// "Vb", "Fb", "fc", "Qtc", "F3", "peak_dB", "port_length", "port_speed", "excursion",
// "SPL_1W", "SPL_2.83V", "max_SPL".
extern const char *const BOX_FIGURE_NAMES[BOX_FIGURE_COUNT];

enum BoxLimit { LIMIT_NONE, LIMIT_EXCURSION, LIMIT_POWER };

// The curves run over BOX_CURVE_POINTS frequencies spaced evenly on a log scale from
// BOX_CURVE_LOW to BOX_CURVE_HIGH, which is also the band over which excursion and port speed
// are taken at their largest.
constexpr int BOX_CURVE_POINTS = 201;
constexpr double BOX_CURVE_LOW = 10, BOX_CURVE_HIGH = 1000;

struct BoxCurves {
    double frequency[BOX_CURVE_POINTS];      // Hz
    double response_db[BOX_CURVE_POINTS];    // relative to the passband
    double response_error[BOX_CURVE_POINTS]; // dB, one standard error: the 68 % band is
                                             // ±1, the 95 % band ±1.96 of it
    double group_delay[BOX_CURVE_POINTS];    // s
    double excursion[BOX_CURVE_POINTS];      // m peak at the power; NaN when unknown
    double port_speed[BOX_CURVE_POINTS];     // m/s peak at the power; NaN without port
    double max_spl[BOX_CURVE_POINTS];        // dB SPL where Xmax or Pe limits; NaN unknown
};

constexpr double BAND_68 = 1.0, BAND_95 = 1.959964; // standard errors either side

struct BoxDesign {
    BoxRequest request; // as asked
    BoxType type;
    BoxAlignment alignment; // the one designed: ALIGN_FLATTEST has become QB3, B4 or C4
    char name[64];          // "B4", "QB3", "C4", "Qtc 0.707 (Butterworth)", "built", ...
    // Why this alignment, and how well the driver meets it, for the report; for a built box
    // how its response behaves. English, and Swedish (UTF-8).
    MeasureText reason, reason_swedish;

    bool has_errors; // some parameter with a value has a variance: errors are known
    BoxFigure figure[BOX_FIGURE_COUNT];

    // The box as designed, plain: Vas/Vb, Fb/Fs, the total Q of the box losses used, and for
    // a vented box the coefficients a1, a2, a3 of its response polynomial (0 for a closed one).
    double alpha, h, qb;
    double a1, a2, a3;
    double qt_alignment;     // the Qts the alignment asks for (the driver's own where it adapts)
    double port_speed_limit; // m/s
    bool port_too_fast;      // the port's peak speed above the limit
    // The port would need a length of 0 or less: its air mass, growing as the area while the
    // end corrections grow as the diameter, is too small even as a hole in the wall; a wider
    // port, or more of them, is needed.
    bool port_too_narrow;
    BoxLimit limit;        // what limits FIG_MAX_SPL
    bool over_xmax;        // the excursion at the power above Xmax
    double peak_frequency; // Hz, where FIG_PEAK is; NaN without a peak
    BoxCurves curves;
};

// Designs the box that the request asks for and works out every figure with its error. False
// with the error set when the request means nothing for this driver: Fs, Qts or Vas missing,
// a value negative or not finite, Qts at or above the wanted Qtc, no alignment of the family
// for this Qts, a built box without Vb or Fb, settings out of range.
bool design_box(const BoxDriver &driver, const BoxRequest &request, BoxDesign &design,
                MeasureError &error);

// The warnings about a design's port in Swedish (UTF-8), each a line without its end, as both
// elemtrix-calc --box and the box dialog word them.
constexpr int BOX_WARNING_SIZE = 200;
// "OBS: portens lufthastighet 21.3 m/s överstiger gränsen 17.2 m/s: större eller fler portar";
// with_share puts what share of the speed of sound the limit is after it. Empty when the port
// is not too fast.
void box_port_speed_warning(const BoxDesign &design, bool with_share,
                            char (&line)[BOX_WARNING_SIZE]);
// For a design whose port is too narrow.
extern const char BOX_PORT_TOO_NARROW[];

// The figures of a box designed by design_box when another driver (other parameters within
// the errors) drives it: Vb, Fb and the port's length stay as designed, every other figure is
// what that box does with this driver. The errors of those figures are these values' spread.
// NaN where a figure does not apply or the driver's values mean nothing.
void built_box_figures(const BoxDesign &design, const BoxDriver &driver,
                       double value[BOX_FIGURE_COUNT]);

// The response in dB of that box at one frequency with this driver.
double built_box_response_db(const BoxDesign &design, const BoxDriver &driver, double frequency);
