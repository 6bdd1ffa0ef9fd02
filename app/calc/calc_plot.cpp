#include "app/calc/calc_plot.h"

#include "app/calc/calc_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

constexpr double WIDTH = 800, HEIGHT = 500;
constexpr double LEFT = 80, RIGHT = 30, TOP = 50, BOTTOM = 70; // margins around the plot area
constexpr int CURVE_POINTS = 400;
constexpr int MAX_IMPEDANCE_STEPS = 8;
constexpr double HEADROOM = 1.08; // the peak stays below the top edge

static const char FONT[] = "font-family=\"DejaVu Sans, Liberation Sans, Arial, sans-serif\"";
static const char CURVE_COLOUR[] = "#1f4e9e";
static const char FS_COLOUR[] = "#c0392b";
static const char LEVEL_COLOUR[] = "#2e8b57";
static const char SIDE_COLOUR[] = "#d35400";

static const char REPLACEMENT_UTF8[] = u8"\uFFFD";

std::string xml_text(const std::string &utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t':
        case '\n':
        case '\r': out += c; break;
        default:
            if (static_cast<unsigned char>(c) < ' ')
                out += REPLACEMENT_UTF8;
            else
                out += c;
        }
    }
    return out;
}

double axis_step(double range, int steps) {
    const double raw = range / steps;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

static std::string coordinate(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

static std::string tick_label(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

namespace {

struct Axes {
    double low_f, high_f, top_z;

    double x(double f) const {
        return LEFT + (WIDTH - LEFT - RIGHT) * std::log10(f / low_f) / std::log10(high_f / low_f);
    }
    double y(double z) const { return HEIGHT - BOTTOM - (HEIGHT - TOP - BOTTOM) * z / top_z; }
};

} // namespace

static std::string line(double x1, double y1, double x2, double y2, const std::string &style) {
    return "<line x1=\"" + coordinate(x1) + "\" y1=\"" + coordinate(y1) + "\" x2=\"" +
           coordinate(x2) + "\" y2=\"" + coordinate(y2) + "\" " + style + "/>\n";
}

static std::string label(double x, double y, const char *anchor, const std::string &text,
                         const char *extra = "") {
    return "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\" text-anchor=\"" + anchor +
           "\" " + extra + ">" + xml_text(text) + "</text>\n";
}

static std::string dot(double x, double y, const char *colour) {
    return "<circle cx=\"" + coordinate(x) + "\" cy=\"" + coordinate(y) + "\" r=\"5\" fill=\"" +
           colour + "\"/>\n";
}

static std::string frequency_grid(const Axes &a) {
    std::string out;
    const double bottom = HEIGHT - BOTTOM;
    for (int k = static_cast<int>(std::floor(std::log10(a.low_f)));
         k <= static_cast<int>(std::ceil(std::log10(a.high_f))); ++k)
        for (int m = 1; m <= 9; ++m) {
            const double f = m * std::pow(10.0, k);
            if (f < a.low_f || f > a.high_f)
                continue;
            const double x = a.x(f);
            out += line(x, TOP, x, bottom, m == 1 ? "stroke=\"#999\"" : "stroke=\"#ddd\"");
            if (m == 1 || m == 2 || m == 5)
                out += label(x, bottom + 20, "middle", tick_label(f));
        }
    return out;
}

static std::string impedance_grid(const Axes &a, double step) {
    std::string out;
    for (double z = 0; z <= a.top_z + step / 2; z += step) {
        out += line(LEFT, a.y(z), WIDTH - RIGHT, a.y(z), "stroke=\"#ddd\"");
        out += label(LEFT - 8, a.y(z) + 5, "end", tick_label(z));
    }
    return out;
}

// Axes from low_f to high_f whose impedance scale holds the peak, and the scale's step.
static Axes axes_for(double low_f, double high_f, double peak, double &step) {
    step = axis_step(peak * HEADROOM, MAX_IMPEDANCE_STEPS);
    return {low_f, high_f, std::ceil(peak * HEADROOM / step) * step};
}

// The document's head, the title, the grids, the frame and the axis captions.
static std::string plot_head(const std::string &title, const Axes &a, double step) {
    const double bottom = HEIGHT - BOTTOM;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      coordinate(WIDTH) + "\" height=\"" + coordinate(HEIGHT) + "\" " + FONT +
                      " font-size=\"14\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out += label(WIDTH / 2, 28, "middle", "Impedans: " + title, "font-size=\"18\"");
    out += frequency_grid(a) + impedance_grid(a, step);
    out += "<rect x=\"" + coordinate(LEFT) + "\" y=\"" + coordinate(TOP) + "\" width=\"" +
           coordinate(WIDTH - LEFT - RIGHT) + "\" height=\"" + coordinate(bottom - TOP) +
           "\" fill=\"none\" stroke=\"black\"/>\n";
    out += label(LEFT + (WIDTH - LEFT - RIGHT) / 2, HEIGHT - 20, "middle", "Frekvens (Hz)");
    out += label(
        22, TOP + (bottom - TOP) / 2, "middle", "|Z| (ohm)",
        ("transform=\"rotate(-90 22 " + coordinate(TOP + (bottom - TOP) / 2) + ")\"").c_str());
    return out;
}

// The frequency of the curve's i-th point, evenly spaced in log f across the axis.
static double curve_frequency(const Axes &a, int i) {
    return a.low_f * std::pow(a.high_f / a.low_f, static_cast<double>(i) / CURVE_POINTS);
}

// |Z| from magnitude(f) at CURVE_POINTS + 1 frequencies across the axis, as one line.
template <class Magnitude>
static std::string curve(const Axes &a, Magnitude magnitude, const char *colour) {
    std::string points;
    for (int i = 0; i <= CURVE_POINTS; ++i) {
        // x straight from i: through pow and log10 it would land on either side of a rounding
        // edge depending on the runtime.
        const double share = static_cast<double>(i) / CURVE_POINTS;
        points += coordinate(LEFT + (WIDTH - LEFT - RIGHT) * share) + "," +
                  coordinate(a.y(magnitude(curve_frequency(a, i)))) + " ";
    }
    return "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour +
           "\" stroke-width=\"2.5\"/>\n";
}

std::string impedance_svg(const std::string &title, const ImpedanceModel &m, double level,
                          const SideFrequencies &side) {
    const double peak = impedance_magnitude(m, m.Fs);
    double step;
    const Axes a = axes_for(m.Fs / PLOT_SPAN, m.Fs * PLOT_SPAN, peak, step);
    const double bottom = HEIGHT - BOTTOM;

    std::string out = plot_head(title, a, step);
    out += curve(
        a, [&m](double f) { return impedance_magnitude(m, f); }, CURVE_COLOUR);

    const std::string level_style =
        std::string("stroke=\"") + LEVEL_COLOUR + "\" stroke-dasharray=\"8 4\"";
    out += line(LEFT, a.y(level), WIDTH - RIGHT, a.y(level), level_style);
    out += label(WIDTH - RIGHT - 6, a.y(level) - 8, "end",
                 "ZF1/ZF2 = " + decimal_text(level, 2) + " ohm",
                 ("fill=\"" + std::string(LEVEL_COLOUR) + "\"").c_str());

    const std::string fs_style =
        std::string("stroke=\"") + FS_COLOUR + "\" stroke-dasharray=\"4 4\"";
    out += line(a.x(m.Fs), TOP, a.x(m.Fs), bottom, fs_style);
    out += dot(a.x(m.Fs), a.y(peak), FS_COLOUR);
    out += label(a.x(m.Fs) + 10, a.y(peak) + 4, "start",
                 "Fs = " + decimal_text(m.Fs, 2) + " Hz, Zmax = " + decimal_text(peak, 2) + " ohm",
                 ("fill=\"" + std::string(FS_COLOUR) + "\"").c_str());

    const struct {
        const char *name;
        double f;
        const char *anchor;
        double shift;
    } sides[] = {{"F1", side.F1, "end", -14}, {"F2", side.F2, "start", 14}};
    for (const auto &s : sides) {
        if (!std::isfinite(s.f))
            continue;
        out += line(a.x(s.f), a.y(level), a.x(s.f), bottom,
                    std::string("stroke=\"") + SIDE_COLOUR + "\" stroke-dasharray=\"2 3\"");
        out += dot(a.x(s.f), a.y(level), SIDE_COLOUR);
        out += label(a.x(s.f) + s.shift, a.y(level) + 22, s.anchor,
                     std::string(s.name) + " = " + decimal_text(s.f, 2) + " Hz",
                     ("fill=\"" + std::string(SIDE_COLOUR) + "\"").c_str());
    }
    return out + "</svg>\n";
}

// Colours of the sweeps in the order given; the first is the free-air sweep's.
static const char *const SWEEP_COLOURS[] = {CURVE_COLOUR, FS_COLOUR, LEVEL_COLOUR,
                                            SIDE_COLOUR,  "#7d3c98", "#5d6d7e"};
constexpr int SWEEP_COLOUR_COUNT = static_cast<int>(sizeof SWEEP_COLOURS / sizeof *SWEEP_COLOURS);
constexpr std::size_t MAX_SWEEP_MARKS = 400; // measured points drawn per sweep; more are thinned
constexpr double LEGEND_WIDTH = 310, LEGEND_LINE = 20, LEGEND_GAP = 8;
constexpr double MAX_LEGEND_SHARE = 0.5;

static double fitted_magnitude(const SweepFit &fit, double f) {
    return std::abs(fitted_impedance(fit, f));
}

std::string sweep_svg(const std::string &title, const std::vector<SweepCurve> &curves) {
    double low = INFINITY, high = 0, peak = 0;
    for (const SweepCurve &c : curves) {
        low = std::fmin(low, c.fit->band_low);
        high = std::fmax(high, c.fit->band_high);
    }
    const Axes span = {low, high, 1};
    for (const SweepCurve &c : curves) {
        for (const SweepPoint &p : c.sweep->points)
            if (p.frequency >= low && p.frequency <= high)
                peak = std::fmax(peak, p.magnitude);
        for (int i = 0; i <= CURVE_POINTS; ++i)
            peak = std::fmax(peak, fitted_magnitude(*c.fit, curve_frequency(span, i)));
    }
    // The scale leaves room for the legend above the highest point, up to half the height;
    // where more sweeps need more, the legend stands on white over the curves.
    const double bottom = HEIGHT - BOTTOM;
    const double legend_height = LEGEND_LINE * (curves.size() + 1) + LEGEND_GAP;
    const double legend_share = std::fmin(MAX_LEGEND_SHARE, legend_height / (bottom - TOP));
    double step;
    const Axes a = axes_for(low, high, peak / (1 - legend_share), step);
    const double legend_x = WIDTH - RIGHT - LEGEND_WIDTH;

    std::string out = plot_head(title, a, step);
    out += "<rect x=\"" + coordinate(legend_x - LEGEND_GAP) + "\" y=\"" + coordinate(TOP + 1) +
           "\" width=\"" + coordinate(LEGEND_WIDTH) + "\" height=\"" +
           coordinate(legend_height - 2) + "\" fill=\"white\" fill-opacity=\"0.85\"/>\n";
    out +=
        label(legend_x, TOP + LEGEND_LINE, "start", u8"ringar: mätning, linjer: anpassad modell");
    for (std::size_t k = 0; k < curves.size(); ++k) {
        const SweepCurve &c = curves[k];
        const char *colour = SWEEP_COLOURS[k % SWEEP_COLOUR_COUNT];
        std::size_t inside = 0;
        for (const SweepPoint &p : c.sweep->points)
            inside += p.frequency >= low && p.frequency <= high;
        const std::size_t stride =
            std::max<std::size_t>(1, (inside + MAX_SWEEP_MARKS - 1) / MAX_SWEEP_MARKS);
        std::size_t seen = 0;
        for (const SweepPoint &p : c.sweep->points) {
            if (p.frequency < low || p.frequency > high || seen++ % stride != 0)
                continue;
            out += "<circle cx=\"" + coordinate(a.x(p.frequency)) + "\" cy=\"" +
                   coordinate(a.y(p.magnitude)) + "\" r=\"3\" fill=\"none\" stroke=\"" + colour +
                   "\"/>\n";
        }
        const SweepFit &fit = *c.fit;
        out += curve(
            a, [&fit](double f) { return fitted_magnitude(fit, f); }, colour);
        const double fs = fit.Fs.value;
        out += line(a.x(fs), TOP, a.x(fs), bottom,
                    std::string("stroke=\"") + colour + "\" stroke-dasharray=\"4 4\"");
        out += dot(a.x(fs), a.y(fitted_magnitude(fit, fs)), colour);
        const double y = TOP + LEGEND_LINE * (k + 2);
        out += line(legend_x, y - 5, legend_x + 24, y - 5,
                    std::string("stroke=\"") + colour + "\" stroke-width=\"2.5\"");
        out += label(legend_x + 32, y, "start", c.label + ": Fs = " + decimal_text(fs, 2) + " Hz",
                     ("fill=\"" + std::string(colour) + "\"").c_str());
    }
    return out + "</svg>\n";
}
