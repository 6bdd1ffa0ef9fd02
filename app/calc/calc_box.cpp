#include "app/calc/calc_box.h"

#include "app/calc/calc_plot.h"
#include "enclosure/box.h"
#include "enclosure/box_driver.h"

#include <cmath>
#include <cstdio>

struct CalcBox {
    BoxDesign design;
    BoxDriver driver;
    bool known[DRIVER_PARAMETER_COUNT]; // a value above 0; 0 is unknown to the design
    double sensitivity_db;              // the value column's "Känslighet dB"
};

namespace {

constexpr double LITRE = 1e-3, CM = 1e-2, MM = 1e-3;
// Central differences of the driver's parameters by the inputs, relative to each input.
constexpr double INPUT_STEP = 1e-6;

// Independent tolerances of the inputs carried into the parameters: Bl and Mms come from
// several inputs, and so share their errors.
void driver_from_values(const CalcDriver &d, const Tolerances *t, BoxDriver &driver) {
    box_parameters_of(d.inputs, driver.value);
    for (int i = 0; t && i < INPUT_COUNT; ++i) {
        const double value = d.inputs.entry[i].value;
        const double sigma = absolute_tolerance(t->input[i], value);
        if (!(sigma > 0))
            continue;
        const double h = INPUT_STEP * std::fabs(value);
        DriverInputs up = d.inputs, down = d.inputs;
        up.entry[i].value += h;
        down.entry[i].value -= h;
        double p_up[DRIVER_PARAMETER_COUNT], p_down[DRIVER_PARAMETER_COUNT];
        box_parameters_of(up, p_up);
        box_parameters_of(down, p_down);
        double slope[DRIVER_PARAMETER_COUNT];
        for (int k = 0; k < DRIVER_PARAMETER_COUNT; ++k)
            slope[k] = (p_up[k] - p_down[k]) / (2 * h);
        for (int k = 0; k < DRIVER_PARAMETER_COUNT; ++k)
            for (int l = 0; l < DRIVER_PARAMETER_COUNT; ++l)
                if (slope[k] != 0 && slope[l] != 0)
                    driver.covariance[k][l] += slope[k] * sigma * sigma * slope[l];
    }
}

BoxRequest request_of(const BoxArgs &a) {
    BoxRequest r;
    r.type = a.kind == BoxKind::Vented ? BOX_VENTED : BOX_SEALED;
    if (r.type == BOX_SEALED) {
        r.alignment = std::isnan(a.Vb) ? ALIGN_QTC : ALIGN_BUILT;
        if (!std::isnan(a.Qtc))
            r.qtc = a.Qtc;
    } else {
        static const BoxAlignment ALIGNMENTS[BOX_ALIGNMENT_COUNT] = {ALIGN_B4, ALIGN_QB3, ALIGN_C4,
                                                                     ALIGN_SC4, ALIGN_BB4};
        r.alignment = std::isnan(a.Vb) ? ALIGN_FLATTEST : ALIGN_BUILT;
        for (int i = 0; i < BOX_ALIGNMENT_COUNT; ++i)
            if (a.alignment == BOX_ALIGNMENTS[i])
                r.alignment = ALIGNMENTS[i];
        if (!std::isnan(a.Fb))
            r.fb = a.Fb;
        if (!std::isnan(a.QL))
            r.ql = a.QL;
        if (!std::isnan(a.Port))
            r.port_diameter = a.Port * CM;
        if (!std::isnan(a.Ports))
            r.ports = static_cast<int>(a.Ports);
    }
    if (!std::isnan(a.Vb))
        r.vb = a.Vb * LITRE;
    if (!std::isnan(a.Xmax))
        r.xmax = a.Xmax * MM;
    if (!std::isnan(a.Pe))
        r.pe = a.Pe;
    if (!std::isnan(a.Power))
        r.power = a.Power;
    return r;
}

// How each figure is shown: its caption, unit and the factor from SI.
struct FigureRow {
    BoxFigureId id;
    const char *caption;
    const char *unit;
    double scale;
    int decimals;
};
const FigureRow FIGURE_ROWS[] = {
    {FIG_VB, "Vb", "Liter", 1 / LITRE, 2},
    {FIG_FB, "Fb", "Hz", 1, 2},
    {FIG_FC, "fc", "Hz", 1, 2},
    {FIG_QTC, "Qtc", "", 1, 3},
    {FIG_F3, "F3", "Hz", 1, 2},
    {FIG_PEAK, "Topp", "dB", 1, 2},
    {FIG_PORT_LENGTH, u8"Portlängd", "cm", 1 / CM, 2},
    {FIG_PORT_SPEED, "Porthastighet", "m/s", 1, 2},
    {FIG_EXCURSION, "Utslag", "mm", 1 / MM, 2},
    {FIG_SPL_1W, "SPL 1 W/1 m", "dB", 1, 2},
    {FIG_SPL_2V83, "SPL 2.83 V/1 m", "dB", 1, 2},
    {FIG_MAX_SPL, "Max SPL", "dB", 1, 2},
};
constexpr std::size_t CAPTION_WIDTH = 18, VALUE_WIDTH = 10, ERROR_WIDTH = 8;

// Blanks after a UTF-8 text up to the width in characters.
std::string pad_utf8(const std::string &utf8, std::size_t width) {
    std::size_t characters = 0;
    for (char c : utf8)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return utf8 + std::string(characters < width ? width - characters : 0, ' ');
}

// The response's largest group delay over the curves' band, and where it lies.
struct GroupDelay {
    double seconds, frequency;
};
GroupDelay largest_group_delay(const BoxCurves &c) {
    GroupDelay g{0, c.frequency[0]};
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        if (c.group_delay[i] > g.seconds)
            g = {c.group_delay[i], c.frequency[i]};
    return g;
}

std::string parameter_list(const CalcBox &box, bool exact) {
    std::string out;
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        if (exact ? box.known[i] && box.driver.covariance[i][i] == 0 : !box.known[i])
            out += std::string(out.empty() ? "" : ", ") + DRIVER_PARAMETER_NAMES[i];
    return out;
}

} // namespace

bool design_calc_box(const BoxArgs &args, const CalcDriver &d, const Tolerances *tolerances,
                     const CovariedDriver *fitted, std::shared_ptr<const CalcBox> &out,
                     MeasureError &error) {
    auto box = std::make_shared<CalcBox>();
    if (fitted)
        box_driver_from_fit(*fitted, box->driver);
    else
        driver_from_values(d, tolerances, box->driver);
    mark_unknown_parameters(box->driver, box->known);
    box->sensitivity_db = d.results.SensitivityDb;
    MeasureError why;
    if (!design_box(box->driver, request_of(args), box->design, why))
        return calc_error(error, "no box for " + d.source + ": " + std::string(why.message));
    out = box;
    return true;
}

std::string box_report(const CalcBox &box) {
    const BoxDesign &d = box.design;
    std::string out = std::string(u8"\nLåda: ") + (d.type == BOX_SEALED ? "sluten" : "basreflex") +
                      ", " + d.name + "\n";
    out += u8"Avstämning: " + std::string(d.reason_swedish) + "\n";
    for (const FigureRow &row : FIGURE_ROWS) {
        const BoxFigure &f = d.figure[row.id];
        if (std::isnan(f.value))
            continue;
        out += pad_utf8(row.caption, CAPTION_WIDTH) +
               pad_left(decimal_text(f.value * row.scale, row.decimals), VALUE_WIDTH);
        if (d.has_errors)
            out += std::string(" ") + PLUS_MINUS +
                   pad_left(decimal_text(f.error * row.scale, row.decimals), ERROR_WIDTH);
        out += *row.unit ? std::string("  ") + row.unit : "";
        if (d.has_errors && f.dominant >= 0)
            out += std::string(u8"  (mest från ") + DRIVER_PARAMETER_NAMES[f.dominant] + ")";
        if (row.id == FIG_MAX_SPL && d.limit != LIMIT_NONE)
            out += d.limit == LIMIT_EXCURSION ? u8"  (Xmax begränsar)" : u8"  (Pe begränsar)";
        out += "\n";
    }
    const GroupDelay delay = largest_group_delay(d.curves);
    out += u8"Gruppfördröjning: största " + decimal_text(delay.seconds * 1000, 2) + " ms vid " +
           decimal_text(delay.frequency, 2) + " Hz\n";
    const std::string exact = parameter_list(box, true), unknown = parameter_list(box, false);
    out += d.has_errors ? u8"Exakta (utan medelfel): " + (exact.empty() ? "inga" : exact) + "\n"
                        : u8"Inga toleranser: alla parametrar räknas som exakta\n";
    if (!unknown.empty())
        out += u8"Okända: " + unknown + u8" (figurerna som kräver dem saknas)\n";
    const double spl = d.figure[FIG_SPL_1W].value;
    if (!std::isnan(spl)) {
        char line[400];
        std::snprintf(line, sizeof line,
                      u8"SPL 1 W/1 m ur η0 = 4π²·Fs³·Vas/(c³·Qes) i halvrymd (c %g m/s): %.2f dB; "
                      u8"värdekolumnens Känslighet dB räknar med 9.6e-10·Fs³·Vas/Qes och "
                      u8"112.2 dB: %.2f dB, %+.2f dB från lådans\n",
                      SPEED_OF_SOUND, spl, box.sensitivity_db, box.sensitivity_db - spl);
        out += line;
    }
    char warning[BOX_WARNING_SIZE];
    box_port_speed_warning(d, true, warning);
    if (warning[0])
        out += std::string(warning) + "\n";
    if (d.port_too_narrow)
        out += std::string(BOX_PORT_TOO_NARROW) + "\n";
    return out;
}

void json_box(JsonWriter &json, const CalcBox &box, const std::string &plot) {
    const BoxDesign &d = box.design;
    json.key("box").begin_object(JsonWriter::Layout::Lines);
    json.key("type").string(d.type == BOX_SEALED ? "sealed" : "vented");
    json.key("alignment").string(alignment_name(d.alignment));
    json.key("name").string(d.name);
    json.key("reason").string(std::string(d.reason));
    for (const FigureRow &row : FIGURE_ROWS) {
        const BoxFigure &f = d.figure[row.id];
        if (std::isnan(f.value))
            continue;
        json.key(BOX_FIGURE_NAMES[row.id]).begin_object();
        json.key("value").number(f.value * row.scale, UNCERTAINTY_DIGITS);
        json.key("error");
        if (d.has_errors)
            json.number(f.error * row.scale, UNCERTAINTY_DIGITS);
        else
            json.null();
        json.key("dominant");
        if (d.has_errors && f.dominant >= 0)
            json.string(DRIVER_PARAMETER_NAMES[f.dominant]);
        else
            json.null();
        json.end_object();
    }
    const GroupDelay delay = largest_group_delay(d.curves);
    json.key("group_delay_ms").begin_object();
    json.key("largest").number(delay.seconds * 1000, UNCERTAINTY_DIGITS);
    json.key("at_Hz").number(delay.frequency, UNCERTAINTY_DIGITS);
    json.end_object();
    json.key("exact").begin_array();
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        if (box.known[i] && box.driver.covariance[i][i] == 0)
            json.string(DRIVER_PARAMETER_NAMES[i]);
    json.end_array();
    json.key("unknown").begin_array();
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i)
        if (!box.known[i])
            json.string(DRIVER_PARAMETER_NAMES[i]);
    json.end_array();
    json.key("sensitivity_dB_value_column").number(box.sensitivity_db, UNCERTAINTY_DIGITS);
    json.key("max_SPL_limit");
    if (d.limit == LIMIT_NONE)
        json.null();
    else
        json.string(d.limit == LIMIT_EXCURSION ? "Xmax" : "Pe");
    json.key("port_too_fast").boolean(d.port_too_fast);
    json.key("port_too_narrow").boolean(d.port_too_narrow);
    json.key("plot").string_or_null(plot);
    json.end_object();
}

namespace {

// Three panels over one logarithmic frequency axis: the response, the excursion, the port.
constexpr double SVG_WIDTH = 800, SVG_LEFT = 80, SVG_RIGHT = 30, SVG_TOP = 50;
constexpr double RESPONSE_HEIGHT = 330, PANEL_HEIGHT = 170, PANEL_GAP = 45, SVG_BOTTOM = 60;
constexpr double RESPONSE_FLOOR_DB = -30; // the response is drawn down to this
constexpr int MAX_STEPS = 6;

const char FONT[] = "font-family=\"DejaVu Sans, Liberation Sans, Arial, sans-serif\"";
const char RESPONSE_COLOUR[] = "#1f4e9e";
const char BAND_68_COLOUR[] = "#7fa7e0";
const char BAND_95_COLOUR[] = "#c9daf3";
const char EXCURSION_COLOUR[] = "#c0392b";
const char PORT_COLOUR[] = "#2e8b57";
const char LIMIT_COLOUR[] = "#444";

std::string number(double v, const char *format = "%.2f") {
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

std::string text_at(double x, double y, const char *anchor, const std::string &text,
                    const std::string &extra = "") {
    return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"" + anchor + "\"" +
           (extra.empty() ? "" : " " + extra) + ">" + xml_text(text) + "</text>\n";
}

struct Panel {
    double top, height, low, high; // the values at the bottom and the top

    double x(double f) const {
        return SVG_LEFT + (SVG_WIDTH - SVG_LEFT - SVG_RIGHT) * std::log10(f / BOX_CURVE_LOW) /
                              std::log10(BOX_CURVE_HIGH / BOX_CURVE_LOW);
    }
    // The i-th point of the curves, which are evenly spaced in log f: x straight from i, as
    // through pow and log10 it would land on either side of a rounding edge by the runtime.
    double x_of(int i) const {
        return SVG_LEFT + (SVG_WIDTH - SVG_LEFT - SVG_RIGHT) * i / (BOX_CURVE_POINTS - 1);
    }
    double y(double v) const {
        const double share = (std::fmin(std::fmax(v, low), high) - low) / (high - low);
        return top + height * (1 - share);
    }
};

// The panel's frame, its grid of decades and value steps, and the caption of its values.
std::string panel_frame(const Panel &p, double step, const std::string &caption) {
    std::string out;
    const double right = SVG_WIDTH - SVG_RIGHT, bottom = p.top + p.height;
    for (double f = BOX_CURVE_LOW; f <= BOX_CURVE_HIGH * 1.0001; f *= 10)
        for (int m = 1; m <= 9 && m * f <= BOX_CURVE_HIGH * 1.0001; ++m) {
            const double x = p.x(m * f);
            out += "<line x1=\"" + number(x) + "\" y1=\"" + number(p.top) + "\" x2=\"" + number(x) +
                   "\" y2=\"" + number(bottom) + "\" stroke=\"" + (m == 1 ? "#999" : "#ddd") +
                   "\"/>\n";
            if (m == 1 || m == 2 || m == 5)
                out += text_at(x, bottom + 18, "middle", number(m * f, "%g"));
        }
    for (double v = std::ceil(p.low / step) * step; v <= p.high + step / 1000; v += step) {
        out += "<line x1=\"" + number(SVG_LEFT) + "\" y1=\"" + number(p.y(v)) + "\" x2=\"" +
               number(right) + "\" y2=\"" + number(p.y(v)) + "\" stroke=\"#ddd\"/>\n";
        out += text_at(SVG_LEFT - 8, p.y(v) + 5, "end",
                       number(std::fabs(v) < step / 1000 ? 0 : v, "%g"));
    }
    out += "<rect x=\"" + number(SVG_LEFT) + "\" y=\"" + number(p.top) + "\" width=\"" +
           number(right - SVG_LEFT) + "\" height=\"" + number(p.height) +
           "\" fill=\"none\" stroke=\"black\"/>\n";
    const double middle = p.top + p.height / 2;
    out += text_at(22, middle, "middle", caption,
                   "transform=\"rotate(-90 22 " + number(middle) + ")\"");
    return out;
}

std::string polyline(const Panel &p, const double *values, double scale, const char *colour) {
    // Below the panel the curve is left out, but for the point where it enters.
    std::string points;
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        if (std::isfinite(values[i]) &&
            (values[i] * scale >= p.low ||
             (i + 1 < BOX_CURVE_POINTS && values[i + 1] * scale >= p.low)))
            points += number(p.x_of(i)) + "," + number(p.y(values[i] * scale)) + " ";
    return "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour +
           "\" stroke-width=\"2.5\"/>\n";
}

// The response ± width standard errors as one filled area.
std::string band(const Panel &p, const BoxCurves &c, double width, const char *colour) {
    std::string points;
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        points += number(p.x_of(i)) + "," +
                  number(p.y(c.response_db[i] + width * c.response_error[i])) + " ";
    for (int i = BOX_CURVE_POINTS; i-- > 0;)
        points += number(p.x_of(i)) + "," +
                  number(p.y(c.response_db[i] - width * c.response_error[i])) + " ";
    return "<polygon points=\"" + points + "\" fill=\"" + colour + "\" stroke=\"none\"/>\n";
}

std::string limit_line(const Panel &p, double value, const std::string &caption) {
    const double y = p.y(value);
    return "<line x1=\"" + number(SVG_LEFT) + "\" y1=\"" + number(y) + "\" x2=\"" +
           number(SVG_WIDTH - SVG_RIGHT) + "\" y2=\"" + number(y) + "\" stroke=\"" + LIMIT_COLOUR +
           "\" stroke-dasharray=\"8 4\" stroke-width=\"1.5\"/>\n" +
           text_at(SVG_WIDTH - SVG_RIGHT - 6, y - 6, "end", caption,
                   std::string("fill=\"") + LIMIT_COLOUR + "\"");
}

// A panel of a curve with its limit; a note instead where the curve is unknown.
std::string limited_panel(const Panel &frame, const double *values, double scale, double limit,
                          const std::string &limit_caption, const std::string &caption,
                          const char *colour, const std::string &unknown) {
    double top = std::isfinite(limit) && limit > 0 ? limit : 0;
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        if (std::isfinite(values[i]))
            top = std::fmax(top, values[i] * scale);
    if (!(top > 0)) {
        Panel p = frame;
        p.low = 0;
        p.high = 1;
        return panel_frame(p, 1, caption) +
               text_at(SVG_WIDTH / 2, p.top + p.height / 2, "middle", unknown);
    }
    Panel p = frame;
    const double step = axis_step(top * 1.1, MAX_STEPS);
    p.low = 0;
    p.high = std::ceil(top * 1.1 / step) * step;
    std::string out = panel_frame(p, step, caption) + polyline(p, values, scale, colour);
    if (std::isfinite(limit) && limit > 0)
        out += limit_line(p, limit, limit_caption);
    return out;
}

} // namespace

std::string box_svg(const std::string &title, const CalcBox &box) {
    const BoxDesign &d = box.design;
    const BoxCurves &c = d.curves;
    const bool port = d.type == BOX_VENTED && d.request.port_diameter > 0;
    const double height = SVG_TOP + RESPONSE_HEIGHT + 2 * (PANEL_GAP + PANEL_HEIGHT) + SVG_BOTTOM -
                          (port ? 0 : PANEL_GAP + PANEL_HEIGHT);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      number(SVG_WIDTH) + "\" height=\"" + number(height) + "\" " + FONT +
                      " font-size=\"14\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out += text_at(
        SVG_WIDTH / 2, 28, "middle",
        std::string(u8"Låda: ") + title + ", " + (d.type == BOX_SEALED ? "sluten" : "basreflex") +
            " " + d.name + ", Vb " + number(d.figure[FIG_VB].value / LITRE) + " L" +
            (d.type == BOX_VENTED ? ", Fb " + number(d.figure[FIG_FB].value) + " Hz" : ""),
        "font-size=\"17\"");

    // The response with its bands.
    double top_db = 0;
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        top_db = std::fmax(top_db, c.response_db[i] + BAND_95 * c.response_error[i]);
    Panel response{SVG_TOP, RESPONSE_HEIGHT, RESPONSE_FLOOR_DB, 0};
    const double db_step = axis_step(top_db + 3 - RESPONSE_FLOOR_DB, MAX_STEPS + 2);
    response.high = std::ceil((top_db + 3) / db_step) * db_step;
    out += panel_frame(response, db_step, u8"Frekvensgång (dB)");
    if (d.has_errors)
        out +=
            band(response, c, BAND_95, BAND_95_COLOUR) + band(response, c, BAND_68, BAND_68_COLOUR);
    out += polyline(response, c.response_db, 1, RESPONSE_COLOUR);
    const double f3 = d.figure[FIG_F3].value;
    if (std::isfinite(f3)) {
        out += "<line x1=\"" + number(response.x(f3)) + "\" y1=\"" + number(response.y(-3)) +
               "\" x2=\"" + number(response.x(f3)) + "\" y2=\"" +
               number(response.top + response.height) + "\" stroke=\"" + RESPONSE_COLOUR +
               "\" stroke-dasharray=\"4 4\"/>\n";
        std::string caption = "F3 = " + number(f3) + " Hz";
        if (d.has_errors)
            caption += std::string(" ") + PLUS_MINUS + " " + number(d.figure[FIG_F3].error) + " Hz";
        out += text_at(response.x(f3) + 8, response.y(-3) + 20, "start", caption,
                       std::string("fill=\"") + RESPONSE_COLOUR + "\"");
    }
    const double legend_y = response.top + response.height - 14;
    out += text_at(SVG_WIDTH - SVG_RIGHT - 10, legend_y, "end",
                   d.has_errors ? u8"band: 68 % (mörkt) och 95 % (ljust) av elementets spridning"
                                : u8"inga toleranser: inget band",
                   "font-size=\"13\"");

    // The excursion against Xmax, the port's air speed against its limit.
    const std::string power = " vid " + number(d.request.power, "%g") + " W";
    Panel excursion{SVG_TOP + RESPONSE_HEIGHT + PANEL_GAP, PANEL_HEIGHT, 0, 1};
    out += limited_panel(excursion, c.excursion, 1 / MM, d.request.xmax / MM,
                         "Xmax " + number(d.request.xmax / MM, "%g") + " mm", "Utslag (mm)",
                         EXCURSION_COLOUR, u8"utslaget kräver Bl och Mms (FsAdded och AddedMass)");
    out += text_at(SVG_LEFT + 8, excursion.top + 18, "start", u8"konens utslag, topp" + power,
                   std::string("fill=\"") + EXCURSION_COLOUR + "\"");
    if (port) {
        Panel speed{excursion.top + PANEL_HEIGHT + PANEL_GAP, PANEL_HEIGHT, 0, 1};
        out += limited_panel(speed, c.port_speed, 1, d.port_speed_limit,
                             u8"gräns " + number(d.port_speed_limit, "%.1f") + " m/s", "Port (m/s)",
                             PORT_COLOUR, u8"porthastigheten kräver Sd");
        out += text_at(SVG_LEFT + 8, speed.top + 18, "start",
                       u8"luftens hastighet i porten, topp" + power,
                       std::string("fill=\"") + PORT_COLOUR + "\"");
    }
    out += text_at(SVG_LEFT + (SVG_WIDTH - SVG_LEFT - SVG_RIGHT) / 2, height - 15, "middle",
                   "Frekvens (Hz)");
    return out + "</svg>\n";
}
