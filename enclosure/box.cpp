#include "enclosure/box.h"

#include "enclosure/alignment.h"
#include "enclosure/response.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>

const char *const DRIVER_PARAMETER_NAMES[DRIVER_PARAMETER_COUNT] = {"Fs", "Qts", "Vas", "Qes",
                                                                    "Re", "Sd",  "Bl",  "Mms"};

const NamedQtc NAMED_QTC[4] = {
    {0.5, "critically damped"}, {0.577, "Bessel"}, {0.707, "Butterworth"}, {1.0, "Chebyshev"}};

const double PORT_END_CORRECTION[3] = {0.614, 0.732, 0.850};

const char *const BOX_FIGURE_NAMES[BOX_FIGURE_COUNT] = {
    "Vb",          "Fb",         "fc",        "Qtc",    "F3",        "peak_dB",
    "port_length", "port_speed", "excursion", "SPL_1W", "SPL_2.83V", "max_SPL"};

const char *alignment_name(BoxAlignment alignment) {
    static const char *const NAMES[] = {"built", "Qtc", "flattest", "B4",
                                        "QB3",   "SC4", "C4",       "BB4"};
    const bool known = alignment >= ALIGN_BUILT && alignment <= ALIGN_BB4;
    return known ? NAMES[alignment] : "unknown";
}

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN();
constexpr double REFERENCE_PRESSURE = 20e-6; // Pa
constexpr double NAMED_QTC_MATCH = 0.0005;
// A driver this close to an alignment's own Qts meets it; further off, the report says so.
constexpr double QTS_MATCH = 0.005;
// The step of the central differences, relative to each parameter: small against any error
// a measurement has, large against the solvers' rounding.
constexpr double DIFFERENCE_STEP = 1e-4;
// How far past its ends a family is continued for the derivatives of a design at its edge.
constexpr double FAMILY_MARGIN = 0.2;
// B² of QB3 at B4's own Qts, which rounding may leave a hair below 0.
constexpr double QB3_ROUNDING = 1e-9;

// Figures that the design fixes; the others are what the built box does.
bool is_design_figure(int figure) {
    return figure == FIG_VB || figure == FIG_FB || figure == FIG_PORT_LENGTH;
}

double box_losses(const BoxRequest &request) {
    double inverse = 1 / request.ql;
    for (double q : {request.qa, request.qp})
        if (q > 0)
            inverse += 1 / q;
    return 1 / inverse;
}

double port_area(const BoxRequest &request) {
    const double d = request.port_diameter;
    return request.ports * PI * d * d / 4;
}

// Helmholtz: ωb² = c²·Sp/(Vb·L'), L' the port's length with the end corrections.
double port_length(const BoxRequest &request, double vb, double fb) {
    if (!(request.port_diameter > 0) || !(fb > 0))
        return NAN_VALUE;
    const double wb = 2 * PI * fb;
    return SPEED_OF_SOUND * SPEED_OF_SOUND * port_area(request) / (wb * wb * vb) -
           PORT_END_CORRECTION[request.port_ends] * request.port_diameter;
}

// Small's reference efficiency η0 = 4π²·Fs³·Vas/(c³·Qes), radiated into half space at 1 m.
double spl_1w(const double *p) {
    const double fs = p[DRIVER_FS], qes = p[DRIVER_QES];
    if (!(qes > 0))
        return NAN_VALUE;
    const double c = SPEED_OF_SOUND;
    const double eta0 = 4 * PI * PI * fs * fs * fs * p[DRIVER_VAS] / (c * c * c * qes);
    const double p2 = AIR_DENSITY * c * eta0 / (2 * PI);
    return 10 * std::log10(p2 / (REFERENCE_PRESSURE * REFERENCE_PRESSURE));
}

struct Geometry {
    double vb, fb;
    VentedTuning tuning; // vented designs
    double family;       // QB3's B², the Chebyshev family's k
    double limit_qt;     // the Qts at the end of the family that the driver's lies beyond
};

enum Solve { SOLVED, NO_MEMBER, BELOW_FAMILY, ABOVE_FAMILY };

// The box that the alignment gives the driver's values p. Strict for the design itself:
// each family on its own side of B4 and within its range; otherwise the family continued a
// little past its ends, for the derivatives of a design that lies close to one.
Solve solve_geometry(const double *p, const BoxRequest &request, BoxAlignment alignment,
                     bool strict, Geometry &g) {
    const double qts = p[DRIVER_QTS], vas = p[DRIVER_VAS], fs = p[DRIVER_FS];
    const double qb = box_losses(request);
    const double margin = strict ? 0 : FAMILY_MARGIN;
    double a[3];
    bool found = false;
    g.family = 0;
    switch (alignment) {
    case ALIGN_BUILT:
        g.vb = request.vb;
        g.fb = request.type == BOX_VENTED ? request.fb : NAN_VALUE;
        return SOLVED;
    case ALIGN_QTC: {
        const double raise = request.qtc / qts;
        g.vb = vas / (raise * raise - 1);
        g.fb = NAN_VALUE;
        return raise > 1 ? SOLVED : ABOVE_FAMILY;
    }
    case ALIGN_B4:
    case ALIGN_BB4:
        (alignment == ALIGN_B4 ? butterworth_polynomial : bessel_polynomial)(a);
        found = tuning_for_polynomial(a[0], a[1], a[2], qb, g.tuning);
        break;
    case ALIGN_QB3:
        found = qb3_tuning(qts, qb, g.tuning, g.family);
        if (found && strict && g.family < -QB3_ROUNDING)
            return ABOVE_FAMILY;
        break;
    case ALIGN_C4:
    case ALIGN_SC4: {
        const bool c4 = alignment == ALIGN_C4;
        const double low = c4 ? C4_LOWEST_K : 1, high = c4 ? 1 : SC4_HIGHEST_K;
        switch (chebyshev_tuning(qts, qb, low * (1 - margin), high * (1 + margin), g.tuning,
                                 g.family, g.limit_qt)) {
        case FAMILY_FOUND: found = true; break;
        case FAMILY_QT_ABOVE: return ABOVE_FAMILY;
        case FAMILY_QT_BELOW: return BELOW_FAMILY;
        case FAMILY_MISSING: return NO_MEMBER;
        }
        break;
    }
    case ALIGN_FLATTEST: return NO_MEMBER; // resolved before
    }
    if (!found)
        return NO_MEMBER;
    g.vb = vas / g.tuning.alpha;
    g.fb = fs * g.tuning.h;
    return SOLVED;
}

void design_figures(const BoxRequest &request, const Geometry &g, double *value) {
    value[FIG_VB] = g.vb;
    value[FIG_FB] = request.type == BOX_VENTED ? g.fb : NAN_VALUE;
    value[FIG_PORT_LENGTH] =
        request.type == BOX_VENTED ? port_length(request, g.vb, g.fb) : NAN_VALUE;
}

// The curves' frequencies, worked out once for a design: every derivative evaluates the box at
// all of them.
void curve_frequencies(double *f) {
    const double ratio = std::pow(BOX_CURVE_HIGH / BOX_CURVE_LOW, 1.0 / (BOX_CURVE_POINTS - 1));
    f[0] = BOX_CURVE_LOW;
    for (int i = 1; i < BOX_CURVE_POINTS; ++i)
        f[i] = f[i - 1] * ratio;
    f[BOX_CURVE_POINTS - 1] = BOX_CURVE_HIGH;
}

// The figures of the box vb, fb with the driver's values p, and its response over the curve's
// frequencies; the curves too where asked for.
void box_figures(const double *p, const BoxRequest &request, double vb, double fb,
                 const double *frequency, double *value, double *response, BoxCurves *curves,
                 BoxLimit *limit) {
    const BoxModel model = make_box_model(request.type, p, vb, fb, box_losses(request),
                                          port_area(request), request.power);
    const bool sealed = request.type == BOX_SEALED;
    value[FIG_FC] = sealed ? model.w0 / (2 * PI) : NAN_VALUE;
    value[FIG_QTC] = sealed ? 1 / model.a1 : NAN_VALUE;
    value[FIG_F3] = f3(model);
    value[FIG_PEAK] = peak_db(model);

    double largest_excursion = 0, largest_speed = 0;
    for (int i = 0; i < BOX_CURVE_POINTS; ++i) {
        const double f = frequency[i];
        response[i] = response_db(model, f);
        const double x = excursion(model, f), v = port_speed(model, f);
        largest_excursion = std::fmax(largest_excursion, x);
        largest_speed = std::fmax(largest_speed, v);
        if (curves) {
            curves->frequency[i] = f;
            curves->response_db[i] = response[i];
            curves->group_delay[i] = group_delay(model, f);
            curves->excursion[i] = x;
            curves->port_speed[i] = v;
        }
    }
    const bool moving = std::isfinite(model.x0);
    const bool ported = !sealed && model.port > 0 && model.sd > 0;
    value[FIG_EXCURSION] = moving ? largest_excursion : NAN_VALUE;
    value[FIG_PORT_SPEED] = moving && ported ? largest_speed : NAN_VALUE;
    value[FIG_SPL_1W] = spl_1w(p);
    value[FIG_SPL_2V83] =
        p[DRIVER_RE] > 0 ? value[FIG_SPL_1W] +
                               10 * std::log10(REFERENCE_VOLTAGE * REFERENCE_VOLTAGE / p[DRIVER_RE])
                         : NAN_VALUE;

    // The power at which Xmax is reached, the excursion growing as the voltage, against Pe.
    const double xmax_power = request.xmax > 0 && value[FIG_EXCURSION] > 0
                                  ? request.power * std::pow(request.xmax / value[FIG_EXCURSION], 2)
                                  : NAN_VALUE;
    const double pe = request.pe > 0 ? request.pe : NAN_VALUE;
    double allowed = NAN_VALUE;
    BoxLimit by = LIMIT_NONE;
    if (!std::isnan(xmax_power) && !(pe < xmax_power)) {
        allowed = xmax_power;
        by = LIMIT_EXCURSION;
    } else if (!std::isnan(pe)) {
        allowed = pe;
        by = LIMIT_POWER;
    }
    value[FIG_MAX_SPL] = value[FIG_SPL_1W] + 10 * std::log10(allowed);
    if (limit)
        *limit = by;
    if (!curves)
        return;
    for (int i = 0; i < BOX_CURVE_POINTS; ++i) {
        double power = pe;
        if (request.xmax > 0 && curves->excursion[i] > 0) {
            const double at_xmax = request.power * std::pow(request.xmax / curves->excursion[i], 2);
            power = std::isnan(power) ? at_xmax : std::fmin(power, at_xmax);
        }
        curves->max_spl[i] = value[FIG_SPL_1W] + response[i] + 10 * std::log10(power);
    }
}

bool positive(double value) {
    return std::isfinite(value) && value > 0;
}

bool check_driver(const BoxDriver &driver, MeasureError &error) {
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
        const double value = driver.value[i];
        const bool needed = i == DRIVER_FS || i == DRIVER_QTS || i == DRIVER_VAS;
        if (needed && value == 0)
            return measure_error(error, DRIVER_PARAMETER_NAMES[i], 0,
                                 "missing: a box needs Fs, Qts and Vas",
                                 u8"saknas: en låda kräver Fs, Qts och Vas");
        if (!std::isfinite(value) || value < 0)
            return measure_error(error, DRIVER_PARAMETER_NAMES[i], 0,
                                 "%g is not a value a box can be designed from",
                                 u8"%g är inget värde som en låda kan beräknas från", value);
        for (int j = 0; j < DRIVER_PARAMETER_COUNT; ++j) {
            const double c = driver.covariance[i][j];
            if (!std::isfinite(c) || (i == j && c < 0))
                return measure_error(error, DRIVER_PARAMETER_NAMES[i], 0,
                                     "its covariance with %s (%g) is not finite or negative",
                                     u8"dess kovarians med %s (%g) är inte ändlig eller negativ",
                                     DRIVER_PARAMETER_NAMES[j], c);
        }
    }
    return true;
}

struct Setting {
    const char *name;
    double value;
    bool zero_allowed;
    bool infinite_allowed; // QL: a lossless box, as in Thiele's tables
};

bool check_request(const BoxRequest &r, MeasureError &error) {
    if (!(r.type == BOX_SEALED || r.type == BOX_VENTED) ||
        !(r.alignment >= ALIGN_BUILT && r.alignment <= ALIGN_BB4))
        return measure_error(error, "Alignment", 0, "unknown box type or alignment (%d, %d)",
                             u8"okänd lådtyp eller avstämning (%d, %d)", static_cast<int>(r.type),
                             static_cast<int>(r.alignment));
    const bool vented = r.type == BOX_VENTED;
    const bool fits = r.alignment == ALIGN_BUILT || (r.alignment == ALIGN_QTC) != vented;
    if (!fits && vented)
        return measure_error(error, "Alignment", 0, "%s is not an alignment of a vented box",
                             u8"%s är ingen avstämning av en basreflexlåda",
                             alignment_name(r.alignment));
    if (!fits)
        return measure_error(error, "Alignment", 0, "%s is not an alignment of a closed box",
                             u8"%s är ingen avstämning av en sluten låda",
                             alignment_name(r.alignment));
    const bool built = r.alignment == ALIGN_BUILT;
    const Setting settings[] = {
        {"Qtc", r.alignment == ALIGN_QTC ? r.qtc : 1, false, false},
        {"Vb", built ? r.vb * 1e3 : 1, false, false},
        {"Fb", built && vented ? r.fb : 1, false, false},
        {"QL", r.ql, false, true},
        {"QA", r.qa, true, false},
        {"QP", r.qp, true, false},
        {"Port", r.port_diameter * 100, true, false},
        {"Ports", static_cast<double>(r.ports), false, false},
        {"Xmax", r.xmax * 1e3, true, false},
        {"Pe", r.pe, true, false},
        {"Power", r.power, false, false},
    };
    for (const Setting &s : settings) {
        const bool usable = positive(s.value) || (s.zero_allowed && s.value == 0) ||
                            (s.infinite_allowed && s.value == HUGE_VAL);
        if (!usable)
            return measure_error(error, s.name, 0, "%g is not a usable value here",
                                 u8"%g går inte att använda här", s.value);
    }
    if (!(r.port_speed_fraction > 0 && r.port_speed_fraction < 1) ||
        !(r.port_ends >= PORT_BOTH_FREE && r.port_ends <= PORT_BOTH_FLANGED))
        return measure_error(error, "Port", 0, "the speed limit or the ends are out of range",
                             u8"hastighetsgränsen eller ändarna ligger utanför sitt område");
    return true;
}

const char *qtc_name(double qtc) {
    for (const NamedQtc &named : NAMED_QTC)
        if (std::fabs(qtc - named.qtc) <= NAMED_QTC_MATCH)
            return named.name;
    return nullptr;
}

// 10·log10(1 + ε²) of the Chebyshev response with parameter k < 1: k = tanh(asinh(1/ε)/4).
double chebyshev_ripple_db(double k) {
    const double epsilon = 1 / std::sinh(4 * std::atanh(k));
    return 10 * std::log10(1 + epsilon * epsilon);
}

void say(BoxDesign &d, const char *english, const char *swedish) {
    d.reason.append(english);
    d.reason_swedish.append(swedish);
}

// The Qts that B4 asks for with these losses: the border between QB3 and C4.
double b4_qts(double qb) {
    double a[3];
    VentedTuning b4{};
    butterworth_polynomial(a);
    return tuning_for_polynomial(a[0], a[1], a[2], qb, b4) ? b4.qt : NAN_VALUE;
}

// The nominal design with its texts; false with the error where the alignment has no member
// for this driver.
bool resolve(const BoxDriver &driver, const BoxRequest &request, BoxDesign &d, Geometry &g,
             MeasureError &error) {
    const double *p = driver.value;
    const double qts = p[DRIVER_QTS], qb = box_losses(request);
    const double border = b4_qts(qb);
    char english[256], swedish[256];
    d.alignment = request.alignment;
    if (d.alignment == ALIGN_FLATTEST && std::isnan(border))
        return measure_error(error, "QL", 0,
                             "no vented alignment of the family exists with QB %.3g: the box "
                             "losses are too large even for B4",
                             u8"ingen basreflexavstämning i familjen finns med QB %.3g: lådans "
                             u8"förluster är för stora även för B4",
                             qb);
    if (d.alignment == ALIGN_FLATTEST) {
        if (std::fabs(qts / border - 1) <= 1e-4)
            d.alignment = ALIGN_B4;
        else
            d.alignment = qts < border ? ALIGN_QB3 : ALIGN_C4;
    }
    const char *name = alignment_name(d.alignment);
    switch (solve_geometry(p, request, d.alignment, true, g)) {
    case SOLVED: break;
    case ABOVE_FAMILY:
        if (d.alignment == ALIGN_QTC)
            return measure_error(
                error, "Qts", 0, "%.4g is at or above the wanted Qtc %.4g: no closed box gives it",
                u8"%.4g är lika med eller över önskad Qtc %.4g: ingen sluten låda ger den", qts,
                request.qtc);
        if (d.alignment == ALIGN_C4)
            return measure_error(error, "Qts", 0,
                                 "%.4g is above %.4g, the highest Qts of C4 with QB %.3g: no "
                                 "vented alignment of the family exists for this driver; a "
                                 "closed box suits it",
                                 u8"%.4g ligger över %.4g, högsta Qts för C4 med QB %.3g: ingen "
                                 u8"basreflexavstämning i familjen finns för elementet; en "
                                 u8"sluten låda passar det",
                                 qts, g.limit_qt, qb);
        return measure_error(error, "Qts", 0,
                             "%.4g is above B4's %.4g with QB %.3g: %s needs a lower Qts, C4 "
                             "suits this driver",
                             u8"%.4g ligger över B4:s %.4g med QB %.3g: %s kräver lägre Qts, C4 "
                             u8"passar elementet",
                             qts, border, qb, name);
    case BELOW_FAMILY:
        if (d.alignment == ALIGN_C4)
            return measure_error(error, "Qts", 0,
                                 "%.4g is below B4's %.4g with QB %.3g: C4 needs a higher Qts, "
                                 "QB3 or SC4 suit this driver",
                                 u8"%.4g ligger under B4:s %.4g med QB %.3g: C4 kräver högre "
                                 u8"Qts, QB3 eller SC4 passar elementet",
                                 qts, border, qb);
        return measure_error(
            error, "Qts", 0, "%.4g is below %.4g, the lowest Qts of SC4 with QB %.3g",
            u8"%.4g ligger under %.4g, lägsta Qts för SC4 med QB %.3g", qts, g.limit_qt, qb);
    case NO_MEMBER:
        return measure_error(error, "Qts", 0, "no %s alignment exists for Qts %.4g with QB %.3g",
                             u8"ingen %s-avstämning finns för Qts %.4g med QB %.3g", name, qts, qb);
    }

    switch (d.alignment) {
    case ALIGN_BUILT: std::snprintf(d.name, sizeof d.name, "built"); break;
    case ALIGN_QTC: {
        const char *named = qtc_name(request.qtc);
        if (named)
            std::snprintf(d.name, sizeof d.name, "Qtc %.4g (%s)", request.qtc, named);
        else
            std::snprintf(d.name, sizeof d.name, "Qtc %.4g", request.qtc);
        std::snprintf(english, sizeof english,
                      "the box's air, %.3f times as stiff as the driver's suspension, raises "
                      "Qts %.4g to Qtc %.4g",
                      p[DRIVER_VAS] / g.vb, qts, request.qtc);
        std::snprintf(swedish, sizeof swedish,
                      u8"lådans luft, %.3f gånger så styv som elementets upphängning, höjer "
                      u8"Qts %.4g till Qtc %.4g",
                      p[DRIVER_VAS] / g.vb, qts, request.qtc);
        say(d, english, swedish);
        break;
    }
    default: std::snprintf(d.name, sizeof d.name, "%s", name);
    }
    if (request.type == BOX_SEALED)
        return true;
    d.qt_alignment = g.tuning.qt;
    if (request.alignment == ALIGN_FLATTEST) {
        const bool c4 = d.alignment == ALIGN_C4, b4 = d.alignment == ALIGN_B4;
        char ripple[40] = "", rippel[40] = "";
        if (c4) {
            std::snprintf(ripple, sizeof ripple, " (ripple %.2f dB)",
                          chebyshev_ripple_db(g.family));
            std::snprintf(rippel, sizeof rippel, " (rippel %.2f dB)",
                          chebyshev_ripple_db(g.family));
        }
        std::snprintf(english, sizeof english,
                      "the driver's Qts %.4g is %s B4's %.4g with QB %.3g, and %s%s is the "
                      "flattest response it allows",
                      qts,
                      b4   ? "that of"
                      : c4 ? "above"
                           : "below",
                      border, qb, name, ripple);
        std::snprintf(swedish, sizeof swedish,
                      u8"elementets Qts %.4g %s B4:s %.4g med QB %.3g, och %s%s är den flackaste "
                      u8"kurva det tillåter",
                      qts,
                      b4   ? u8"är"
                      : c4 ? u8"ligger över"
                           : u8"ligger under",
                      border, qb, name, rippel);
        say(d, english, swedish);
    } else if ((d.alignment == ALIGN_B4 || d.alignment == ALIGN_BB4) &&
               std::fabs(qts / g.tuning.qt - 1) > QTS_MATCH) {
        std::snprintf(english, sizeof english,
                      "%s asks for Qts %.4g with QB %.3g; the driver's %.4g is %.1f %% off, so "
                      "the box tuned as %s responds as shown, not as %s",
                      name, g.tuning.qt, qb, qts, 100 * (qts / g.tuning.qt - 1), name, name);
        std::snprintf(swedish, sizeof swedish,
                      u8"%s kräver Qts %.4g med QB %.3g; elementets %.4g avviker %.1f %%, så "
                      u8"lådan avstämd som %s svarar som visat, inte som %s",
                      name, g.tuning.qt, qb, qts, 100 * (qts / g.tuning.qt - 1), name, name);
        say(d, english, swedish);
    } else if (d.alignment != ALIGN_BUILT) {
        std::snprintf(english, sizeof english, "%s solved for the driver's Qts %.4g with QB %.3g",
                      name, qts, qb);
        std::snprintf(swedish, sizeof swedish, u8"%s löst för elementets Qts %.4g med QB %.3g",
                      name, qts, qb);
        say(d, english, swedish);
    }
    return true;
}

// How the built box's response behaves, from its figures.
void describe_built(BoxDesign &d, const BoxModel &model, const double *value) {
    char english[256], swedish[256], shape[96], form[96];
    if (value[FIG_PEAK] > 0) {
        std::snprintf(shape, sizeof shape, "peaks %.2f dB above the passband at %.3g Hz",
                      value[FIG_PEAK], d.peak_frequency);
        std::snprintf(form, sizeof form, u8"har en topp %.2f dB över passbandet vid %.3g Hz",
                      value[FIG_PEAK], d.peak_frequency);
    } else {
        std::snprintf(shape, sizeof shape, "rises into the passband without a peak");
        std::snprintf(form, sizeof form, u8"stiger in i passbandet utan topp");
    }
    if (d.type == BOX_SEALED) {
        std::snprintf(english, sizeof english,
                      "closed box of %.3g L: Qtc %.3f, fc %.3g Hz; the "
                      "response %s",
                      value[FIG_VB] * 1e3, value[FIG_QTC], value[FIG_FC], shape);
        std::snprintf(swedish, sizeof swedish,
                      u8"sluten låda på %.3g L: Qtc %.3f, fc %.3g Hz; "
                      u8"kurvan %s",
                      value[FIG_VB] * 1e3, value[FIG_QTC], value[FIG_FC], form);
    } else {
        std::snprintf(english, sizeof english,
                      "vented box of %.3g L tuned to %.3g Hz: Fb/Fs "
                      "%.3f, Vas/Vb %.3f with QB %.3g; the response %s",
                      value[FIG_VB] * 1e3, value[FIG_FB], model.h, model.alpha, model.qb, shape);
        std::snprintf(swedish, sizeof swedish,
                      u8"basreflexlåda på %.3g L avstämd till %.3g Hz: "
                      u8"Fb/Fs %.3f, Vas/Vb %.3f med QB %.3g; kurvan %s",
                      value[FIG_VB] * 1e3, value[FIG_FB], model.h, model.alpha, model.qb, form);
    }
    say(d, english, swedish);
}

} // namespace

bool design_box(const BoxDriver &driver, const BoxRequest &request, BoxDesign &d,
                MeasureError &error) {
    d.reason.clear();
    d.reason_swedish.clear();
    if (!check_driver(driver, error) || !check_request(request, error))
        return false;
    Geometry g{};
    if (!resolve(driver, request, d, g, error))
        return false;
    d.request = request;
    d.type = request.type;
    d.qb = request.type == BOX_VENTED ? box_losses(request) : NAN_VALUE;
    d.port_speed_limit = request.port_speed_fraction * SPEED_OF_SOUND;

    double value[BOX_FIGURE_COUNT], response[BOX_CURVE_POINTS];
    design_figures(request, g, value);
    double frequency[BOX_CURVE_POINTS];
    curve_frequencies(frequency);
    box_figures(driver.value, request, g.vb, g.fb, frequency, value, response, &d.curves, &d.limit);
    const BoxModel model = make_box_model(request.type, driver.value, g.vb, g.fb, d.qb,
                                          port_area(request), request.power);
    d.alpha = model.alpha;
    d.h = request.type == BOX_VENTED ? model.h : NAN_VALUE;
    d.a1 = request.type == BOX_VENTED ? model.a1 : 0;
    d.a2 = model.a2;
    d.a3 = model.a3;
    if (request.type == BOX_SEALED || request.alignment == ALIGN_BUILT)
        d.qt_alignment = driver.value[DRIVER_QTS];
    peak_db(model, &d.peak_frequency);
    if (request.alignment == ALIGN_BUILT)
        describe_built(d, model, value);
    d.port_too_narrow = value[FIG_PORT_LENGTH] <= 0;
    d.over_xmax = value[FIG_EXCURSION] > request.xmax && request.xmax > 0;
    d.port_too_fast = value[FIG_PORT_SPEED] > d.port_speed_limit;

    // The derivative of every figure and of the response at every frequency by each
    // parameter that has an error, by central differences.
    double slope[DRIVER_PARAMETER_COUNT][BOX_FIGURE_COUNT] = {};
    double curve_slope[DRIVER_PARAMETER_COUNT][BOX_CURVE_POINTS] = {};
    bool active[DRIVER_PARAMETER_COUNT] = {};
    d.has_errors = false;
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
        active[i] = driver.covariance[i][i] > 0 && driver.value[i] > 0;
        d.has_errors = d.has_errors || active[i];
        if (!active[i])
            continue;
        const double step = DIFFERENCE_STEP * driver.value[i];
        double side[2][BOX_FIGURE_COUNT], side_response[2][BOX_CURVE_POINTS];
        bool designed[2];
        for (int s = 0; s < 2; ++s) {
            double p[DRIVER_PARAMETER_COUNT];
            for (int j = 0; j < DRIVER_PARAMETER_COUNT; ++j)
                p[j] = driver.value[j];
            p[i] += s ? step : -step;
            Geometry moved{};
            designed[s] = solve_geometry(p, request, d.alignment, false, moved) == SOLVED;
            if (designed[s])
                design_figures(request, moved, side[s]);
            box_figures(p, request, g.vb, g.fb, frequency, side[s], side_response[s], nullptr,
                        nullptr);
        }
        for (int f = 0; f < BOX_FIGURE_COUNT; ++f) {
            const bool both = !is_design_figure(f) || (designed[0] && designed[1]);
            slope[i][f] = both ? (side[1][f] - side[0][f]) / (2 * step) : NAN_VALUE;
        }
        for (int k = 0; k < BOX_CURVE_POINTS; ++k)
            curve_slope[i][k] = (side_response[1][k] - side_response[0][k]) / (2 * step);
    }

    // J·Σ·Jᵀ over the parameters with errors.
    auto propagate = [&](auto derivative) {
        double variance = 0;
        for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
            for (int j = 0; j < DRIVER_PARAMETER_COUNT; ++j)
                if (active[i] && active[j])
                    variance += derivative(i) * driver.covariance[i][j] * derivative(j);
        return std::sqrt(std::fmax(variance, 0));
    };
    for (int f = 0; f < BOX_FIGURE_COUNT; ++f) {
        BoxFigure &figure = d.figure[f];
        figure.value = value[f];
        figure.dominant = -1;
        if (std::isnan(value[f])) {
            figure.error = NAN_VALUE;
            continue;
        }
        figure.error = propagate([&](int i) { return slope[i][f]; });
        double largest = 0;
        for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
            const double share =
                active[i] ? std::fabs(slope[i][f]) * std::sqrt(driver.covariance[i][i]) : 0;
            if (share > largest) {
                largest = share;
                figure.dominant = i;
            }
        }
    }
    for (int k = 0; k < BOX_CURVE_POINTS; ++k)
        d.curves.response_error[k] = propagate([&](int i) { return curve_slope[i][k]; });
    return true;
}

void built_box_figures(const BoxDesign &design, const BoxDriver &driver,
                       double value[BOX_FIGURE_COUNT]) {
    const double *p = driver.value;
    double response[BOX_CURVE_POINTS];
    for (int f = 0; f < BOX_FIGURE_COUNT; ++f)
        value[f] = is_design_figure(f) ? design.figure[f].value : NAN_VALUE;
    if (!(positive(p[DRIVER_FS]) && positive(p[DRIVER_QTS]) && positive(p[DRIVER_VAS])))
        return;
    double frequency[BOX_CURVE_POINTS];
    curve_frequencies(frequency);
    box_figures(p, design.request, design.figure[FIG_VB].value, design.figure[FIG_FB].value,
                frequency, value, response, nullptr, nullptr);
}

double built_box_response_db(const BoxDesign &design, const BoxDriver &driver, double frequency) {
    const BoxRequest &r = design.request;
    const BoxModel model =
        make_box_model(r.type, driver.value, design.figure[FIG_VB].value,
                       design.figure[FIG_FB].value, box_losses(r), port_area(r), r.power);
    return response_db(model, frequency);
}

const char BOX_PORT_TOO_NARROW[] =
    u8"OBS: porten är för smal för lådan: den skulle behöva längden 0 "
    u8"eller mindre; en vidare port, eller fler, behövs";

void box_port_speed_warning(const BoxDesign &design, bool with_share,
                            char (&line)[BOX_WARNING_SIZE]) {
    line[0] = '\0';
    if (!design.port_too_fast)
        return;
    char share[40] = "";
    if (with_share)
        std::snprintf(share, sizeof share, u8" (%g %% av ljudets hastighet)",
                      100 * design.request.port_speed_fraction);
    std::snprintf(line, sizeof line,
                  u8"OBS: portens lufthastighet %.1f m/s överstiger gränsen %.1f m/s%s: större "
                  u8"eller fler portar",
                  design.figure[FIG_PORT_SPEED].value, design.port_speed_limit, share);
}
