#include "toolkit/plot.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr char CLASS_NAME[] = "ElemtrixPlot";

// Room around the plotting area: the readout line and the captions above it, the value labels
// beside it, the frequency labels below.
constexpr int READOUT_HEIGHT = 15, CAPTION_HEIGHT = 14;
constexpr int TOP = READOUT_HEIGHT + CAPTION_HEIGHT, BOTTOM = 18;
constexpr int LEFT = 40, RIGHT_WITH_AXIS = 40, RIGHT_ALONE = 12;
constexpr int LABEL_GAP = 3;    // between an axis and its labels
constexpr int MARKER_REACH = 3; // pixels either side of the marker that its dots cover
constexpr int FONT_HEIGHT = -11;
constexpr char FONT_FACE[] = "Arial";

constexpr COLORREF BACKGROUND = RGB(255, 255, 255);
constexpr COLORREF FRAME = RGB(96, 96, 96);
constexpr COLORREF DECADE_GRID = RGB(176, 176, 176);
constexpr COLORREF GRID = RGB(222, 222, 222);
constexpr COLORREF TEXT = RGB(0, 0, 0);
constexpr COLORREF MARKER = RGB(64, 64, 64);

// Pixel coordinates stay where GDI computes them exactly.
constexpr double FAR_PIXEL = 30000;
constexpr int CHUNK = 128; // points handed to Polyline at a time
constexpr int TICKS = 5;   // about as many steps on a value axis

struct Curve {
    int axis;
    char name[WT_PLOT_TEXT];
    COLORREF colour;
    const double *f, *v;
    int count;
};

struct Band {
    int axis;
    COLORREF colour;
    const double *f, *low, *high;
    int count;
};

struct Axis {
    char caption[WT_PLOT_TEXT];
    char unit[WT_PLOT_TEXT];
    double low, high; // as asked; low >= high: from the data
};

struct Plot {
    HWND window;
    double f_low, f_high;
    Axis axes[2];
    Curve curves[WT_PLOT_CURVES];
    int curve_count;
    Band bands[WT_PLOT_BANDS];
    int band_count;
    double marker; // Hz; 0 for none
    bool tracking; // asked to hear when the mouse leaves
    char readout[WT_PLOT_READOUT];
};

Plot plots[WT_PLOT_COUNT];
HFONT font;

Plot *plot_of(HWND window) {
    return reinterpret_cast<Plot *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void copy_text(char (&to)[WT_PLOT_TEXT], const char *from) {
    lstrcpynA(to, from ? from : "", WT_PLOT_TEXT);
}

// Ticks of a value axis: a step of 1, 2 or 5 times a power of ten, and the range widened to it.
struct Ticks {
    double low, high, step;
    int decimals;
};

Ticks ticks_for(double low, double high) {
    if (!(high > low)) {
        const double middle = std::isfinite(low) ? low : 0;
        low = middle - 1;
        high = middle + 1;
    }
    const double rough = (high - low) / TICKS;
    const double power = std::pow(10, std::floor(std::log10(rough)));
    const double mantissa = rough / power;
    const double step = power * (mantissa <= 1 ? 1 : mantissa <= 2 ? 2 : mantissa <= 5 ? 5 : 10);
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return {std::floor(low / step + 1e-9) * step, std::ceil(high / step - 1e-9) * step, step,
            decimals};
}

// The range of an axis: as asked, or around every value on it within the frequencies shown.
Ticks axis_ticks(const Plot &p, int axis) {
    const Axis &a = p.axes[axis];
    if (a.low < a.high) {
        Ticks asked = ticks_for(a.low, a.high);
        asked.low = a.low;
        asked.high = a.high;
        return asked;
    }
    double low = INFINITY, high = -INFINITY;
    const auto take = [&](const double *f, const double *v, int count) {
        for (int i = 0; i < count; ++i)
            if (f[i] >= p.f_low && f[i] <= p.f_high && std::isfinite(v[i])) {
                low = std::fmin(low, v[i]);
                high = std::fmax(high, v[i]);
            }
    };
    for (int c = 0; c < p.curve_count; ++c)
        if (p.curves[c].axis == axis)
            take(p.curves[c].f, p.curves[c].v, p.curves[c].count);
    return ticks_for(low, high);
}

struct Frame {
    RECT area; // where curves go
    double log_low, log_span;
    Ticks ticks[2];
    bool right_axis;
};

Frame frame_of(const Plot &p, const RECT &client) {
    Frame fr{};
    fr.right_axis = p.axes[WT_PLOT_RIGHT].caption[0] != '\0';
    fr.area = {LEFT, TOP, client.right - (fr.right_axis ? RIGHT_WITH_AXIS : RIGHT_ALONE),
               client.bottom - BOTTOM};
    fr.log_low = std::log10(p.f_low);
    fr.log_span = std::log10(p.f_high) - fr.log_low;
    fr.ticks[WT_PLOT_LEFT] = axis_ticks(p, WT_PLOT_LEFT);
    fr.ticks[WT_PLOT_RIGHT] = axis_ticks(p, WT_PLOT_RIGHT);
    return fr;
}

double clamp_pixel(double x) {
    return std::fmax(-FAR_PIXEL, std::fmin(FAR_PIXEL, x));
}

int x_of(const Frame &fr, double f) {
    const double t = (std::log10(f) - fr.log_low) / fr.log_span;
    return static_cast<int>(
        std::lround(clamp_pixel(fr.area.left + t * (fr.area.right - 1 - fr.area.left))));
}

double frequency_at(const Frame &fr, int x) {
    const double t = double(x - fr.area.left) / (fr.area.right - 1 - fr.area.left);
    return std::pow(10, fr.log_low + t * fr.log_span);
}

int y_of(const Frame &fr, int axis, double v) {
    const Ticks &t = fr.ticks[axis];
    const double share = (v - t.low) / (t.high - t.low);
    return static_cast<int>(
        std::lround(clamp_pixel(fr.area.bottom - 1 - share * (fr.area.bottom - 1 - fr.area.top))));
}

void line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// Pens and brushes are made for one paint and deleted after it.
void with_pen(HDC dc, int style, COLORREF colour, void (*draw)(HDC, const Plot &, const Frame &),
              const Plot &p, const Frame &fr) {
    const HPEN pen = CreatePen(style, 1, colour);
    const HGDIOBJ old = SelectObject(dc, pen);
    draw(dc, p, fr);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The value where a curve stands at frequency f, straight between its points on the log scale;
// NaN outside it.
double value_at(const Curve &c, double f) {
    for (int i = 0; i + 1 < c.count; ++i)
        if (c.f[i] <= f && f <= c.f[i + 1]) {
            const double t =
                c.f[i + 1] > c.f[i] ? std::log(f / c.f[i]) / std::log(c.f[i + 1] / c.f[i]) : 0;
            return c.v[i] + t * (c.v[i + 1] - c.v[i]);
        }
    return NAN;
}

// Three significant digits, as the readout shows a value.
int shown_decimals(double v) {
    const double magnitude = std::fabs(v);
    if (!(magnitude > 0))
        return 0;
    const int d = 2 - static_cast<int>(std::floor(std::log10(magnitude)));
    return d < 0 ? 0 : d;
}

// "64.5 ohm", "-12.3°", "1.50": a unit stands apart from the number, the degree sign does not.
bool unit_apart(const char *unit) {
    return unit[0] != '\0' && unit[0] != '\xB0';
}

void make_readout(Plot &p) {
    p.readout[0] = '\0';
    if (p.marker <= 0)
        return;
    int length =
        std::snprintf(p.readout, WT_PLOT_READOUT, "%.*f Hz", shown_decimals(p.marker), p.marker);
    for (int c = 0; c < p.curve_count && length < WT_PLOT_READOUT; ++c) {
        const Curve &curve = p.curves[c];
        const double v = value_at(curve, p.marker);
        if (!std::isfinite(v))
            continue;
        length +=
            std::snprintf(p.readout + length, WT_PLOT_READOUT - length, "   %s %.*f%s%s",
                          curve.name, shown_decimals(v), v,
                          unit_apart(p.axes[curve.axis].unit) ? " " : "", p.axes[curve.axis].unit);
    }
}

// The frequency labels: 10, 20, 50, 100 … 1k, 2k, 5k, 10k.
void frequency_label(double f, char (&text)[16]) {
    if (f >= 1000)
        std::snprintf(text, sizeof text, "%gk", f / 1000);
    else
        std::snprintf(text, sizeof text, "%g", f);
}

// The first tick at or above the axis's low end.
double first_tick(const Ticks &t) {
    return std::ceil(t.low / t.step - 1e-9) * t.step;
}

// Whole powers of ten from below the range to above it, and each of their multiples 1 to 9.
template <typename Visit> void each_grid_frequency(const Plot &p, Visit visit) {
    const int first = static_cast<int>(std::floor(std::log10(p.f_low) + 1e-9));
    const int last = static_cast<int>(std::ceil(std::log10(p.f_high) - 1e-9));
    for (int decade = first; decade <= last; ++decade)
        for (int m = 1; m <= 9; ++m) {
            const double f = m * std::pow(10, decade);
            if (f >= p.f_low * (1 - 1e-9) && f <= p.f_high * (1 + 1e-9))
                visit(f, m);
        }
}

void draw_bands(HDC dc, const Plot &p, const Frame &fr) {
    SelectObject(dc, GetStockObject(NULL_PEN));
    for (int b = 0; b < p.band_count; ++b) {
        const Band &band = p.bands[b];
        const HBRUSH brush = CreateSolidBrush(band.colour);
        const HGDIOBJ old = SelectObject(dc, brush);
        for (int i = 0; i + 1 < band.count; ++i) {
            const POINT quad[4] = {
                {x_of(fr, band.f[i]), y_of(fr, band.axis, band.high[i])},
                {x_of(fr, band.f[i + 1]), y_of(fr, band.axis, band.high[i + 1])},
                {x_of(fr, band.f[i + 1]), y_of(fr, band.axis, band.low[i + 1])},
                {x_of(fr, band.f[i]), y_of(fr, band.axis, band.low[i])},
            };
            Polygon(dc, quad, 4);
        }
        SelectObject(dc, old);
        DeleteObject(brush);
    }
}

void draw_minor_grid(HDC dc, const Plot &p, const Frame &fr) {
    each_grid_frequency(p, [&](double f, int m) {
        if (m != 1)
            line(dc, x_of(fr, f), fr.area.top, x_of(fr, f), fr.area.bottom);
    });
    const Ticks &t = fr.ticks[WT_PLOT_LEFT];
    // The frame stands at both ends.
    const double edge = t.step * 1e-9;
    for (double v = first_tick(t); v < t.high - edge; v += t.step)
        if (v > t.low + edge)
            line(dc, fr.area.left, y_of(fr, WT_PLOT_LEFT, v), fr.area.right,
                 y_of(fr, WT_PLOT_LEFT, v));
}

void draw_decade_grid(HDC dc, const Plot &p, const Frame &fr) {
    each_grid_frequency(p, [&](double f, int m) {
        if (m == 1)
            line(dc, x_of(fr, f), fr.area.top, x_of(fr, f), fr.area.bottom);
    });
}

void draw_frame(HDC dc, const Plot &, const Frame &fr) {
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, fr.area.left - 1, fr.area.top - 1, fr.area.right + 1, fr.area.bottom + 1);
}

// Each curve as runs of connected points; a value that is not finite ends a run.
void draw_curve(HDC dc, const Frame &fr, const Curve &c) {
    POINT points[CHUNK];
    int n = 0;
    for (int i = 0; i <= c.count; ++i) {
        const bool usable = i < c.count && std::isfinite(c.v[i]) && c.f[i] > 0;
        if (usable)
            points[n++] = {x_of(fr, c.f[i]), y_of(fr, c.axis, c.v[i])};
        if (!usable || n == CHUNK) {
            if (n > 1)
                Polyline(dc, points, n);
            // A full chunk goes on from its last point.
            points[0] = points[n > 0 ? n - 1 : 0];
            n = usable ? 1 : 0;
        }
    }
}

void draw_curves(HDC dc, const Plot &p, const Frame &fr) {
    for (int c = 0; c < p.curve_count; ++c) {
        const HPEN pen = CreatePen(PS_SOLID, 1, p.curves[c].colour);
        const HGDIOBJ old = SelectObject(dc, pen);
        draw_curve(dc, fr, p.curves[c]);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

void draw_marker(HDC dc, const Plot &p, const Frame &fr) {
    if (p.marker <= 0)
        return;
    const int x = x_of(fr, p.marker);
    line(dc, x, fr.area.top, x, fr.area.bottom);
    for (int c = 0; c < p.curve_count; ++c) {
        const double v = value_at(p.curves[c], p.marker);
        if (!std::isfinite(v))
            continue;
        const int y = y_of(fr, p.curves[c].axis, v);
        const HBRUSH brush = CreateSolidBrush(p.curves[c].colour);
        const RECT dot = {x - MARKER_REACH + 1, y - MARKER_REACH + 1, x + MARKER_REACH,
                          y + MARKER_REACH};
        FillRect(dc, &dot, brush);
        DeleteObject(brush);
    }
}

void text_at(HDC dc, int x, int y, UINT align, const char *text) {
    SetTextAlign(dc, align);
    TextOutA(dc, x, y, text, lstrlenA(text));
}

// Labels that would run into the one before are left out: first the decades, then 2 and 5.
void draw_frequency_labels(HDC dc, const Plot &p, const Frame &fr) {
    int taken_left[64], taken_right[64], taken = 0;
    for (const int wanted : {1, 2, 5})
        each_grid_frequency(p, [&](double f, int m) {
            if (m != wanted || taken == 64)
                return;
            char text[16];
            frequency_label(f, text);
            SIZE size;
            GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
            const int x = x_of(fr, f), left = x - size.cx / 2 - LABEL_GAP,
                      right = x + size.cx / 2 + LABEL_GAP;
            for (int i = 0; i < taken; ++i)
                if (left < taken_right[i] && right > taken_left[i])
                    return;
            taken_left[taken] = left;
            taken_right[taken++] = right;
            text_at(dc, x, fr.area.bottom + LABEL_GAP, TA_CENTER | TA_TOP, text);
        });
    text_at(dc, LABEL_GAP, fr.area.bottom + LABEL_GAP, TA_LEFT | TA_TOP, "Hz");
}

void draw_value_labels(HDC dc, const Plot &p, const Frame &fr) {
    SIZE size;
    GetTextExtentPoint32A(dc, "0", 1, &size);
    for (int axis = WT_PLOT_LEFT; axis <= (fr.right_axis ? WT_PLOT_RIGHT : WT_PLOT_LEFT); ++axis) {
        const Ticks &t = fr.ticks[axis];
        const bool left = axis == WT_PLOT_LEFT;
        const int x = left ? fr.area.left - LABEL_GAP - 1 : fr.area.right + LABEL_GAP + 1;
        for (double v = first_tick(t); v <= t.high + t.step * 1e-9; v += t.step) {
            char text[32];
            std::snprintf(text, sizeof text, "%.*f", t.decimals, std::fabs(v) < t.step / 2 ? 0 : v);
            text_at(dc, x, y_of(fr, axis, v) - size.cy / 2, (left ? TA_RIGHT : TA_LEFT) | TA_TOP,
                    text);
        }
        char caption[2 * WT_PLOT_TEXT + 1];
        std::snprintf(caption, sizeof caption, "%s %s", p.axes[axis].caption, p.axes[axis].unit);
        text_at(dc, left ? LABEL_GAP : fr.area.right + RIGHT_WITH_AXIS - LABEL_GAP, READOUT_HEIGHT,
                (left ? TA_LEFT : TA_RIGHT) | TA_TOP, caption);
    }
}

void draw_readout(HDC dc, const Plot &p, const Frame &fr) {
    text_at(dc, fr.area.left, 0, TA_LEFT | TA_TOP, p.readout);
}

void paint_plot(HDC dc, const Plot &p, const RECT &client) {
    const Frame fr = frame_of(p, client);
    const HBRUSH background = CreateSolidBrush(BACKGROUND);
    FillRect(dc, &client, background);
    DeleteObject(background);

    const int saved = SaveDC(dc);
    IntersectClipRect(dc, fr.area.left, fr.area.top, fr.area.right, fr.area.bottom);
    draw_bands(dc, p, fr);
    with_pen(dc, PS_SOLID, GRID, draw_minor_grid, p, fr);
    with_pen(dc, PS_SOLID, DECADE_GRID, draw_decade_grid, p, fr);
    draw_curves(dc, p, fr);
    with_pen(dc, PS_DOT, MARKER, draw_marker, p, fr);
    RestoreDC(dc, saved);
    with_pen(dc, PS_SOLID, FRAME, draw_frame, p, fr);

    const HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TEXT);
    draw_frequency_labels(dc, p, fr);
    draw_value_labels(dc, p, fr);
    draw_readout(dc, p, fr);
    SelectObject(dc, old_font);
}

// Everything is drawn into a bitmap clipped to the update region, and only that region is put
// on the screen.
void on_paint(HWND window) {
    PAINTSTRUCT ps;
    const HDC screen = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    IntersectClipRect(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
    if (const Plot *p = plot_of(window))
        paint_plot(dc, *p, client);
    BitBlt(screen, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, dc, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(window, &ps);
}

// What a marker at this frequency covers: its column with the dots, and the readout line.
void invalidate_marker(HWND window, const Plot &p) {
    RECT client;
    GetClientRect(window, &client);
    const RECT readout = {0, 0, client.right, READOUT_HEIGHT};
    InvalidateRect(window, &readout, FALSE);
    if (p.marker <= 0)
        return;
    const Frame fr = frame_of(p, client);
    const int x = x_of(fr, p.marker);
    const RECT column = {x - MARKER_REACH, fr.area.top, x + MARKER_REACH + 1, fr.area.bottom};
    InvalidateRect(window, &column, FALSE);
}

void set_marker(HWND window, Plot &p, double frequency) {
    invalidate_marker(window, p);
    p.marker = frequency;
    make_readout(p);
    invalidate_marker(window, p);
}

void on_mouse_move(HWND window, LPARAM lparam) {
    Plot *p = plot_of(window);
    if (!p)
        return;
    RECT client;
    GetClientRect(window, &client);
    const Frame fr = frame_of(*p, client);
    const int x = static_cast<short>(LOWORD(lparam)), y = static_cast<short>(HIWORD(lparam));
    const bool inside =
        x >= fr.area.left && x < fr.area.right && y >= fr.area.top && y < fr.area.bottom;
    set_marker(window, *p, inside ? frequency_at(fr, x) : 0);
    if (!p->tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        p->tracking = TrackMouseEvent(&track) != 0;
    }
}

void on_mouse_leave(HWND window) {
    if (Plot *p = plot_of(window)) {
        p->tracking = false;
        set_marker(window, *p, 0);
    }
}

void on_destroy(HWND window) {
    if (Plot *p = plot_of(window))
        *p = Plot{};
}

LRESULT CALLBACK plot_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: on_paint(window); return 0;
    case WM_ERASEBKGND: return 1; // the paint covers every pixel
    case WM_MOUSEMOVE: on_mouse_move(window, lparam); return 0;
    case WM_MOUSELEAVE: on_mouse_leave(window); return 0;
    case WM_NCDESTROY: on_destroy(window); return DefWindowProcA(window, message, wparam, lparam);
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

bool registered(HINSTANCE instance) {
    WNDCLASSA existing;
    if (GetClassInfoA(instance, CLASS_NAME, &existing))
        return true;
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = plot_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    window_class.lpszClassName = CLASS_NAME;
    return RegisterClassA(&window_class) != 0;
}

void repaint(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
}

} // namespace

HWND wt_create_plot(HWND parent, int x, int y, int width, int height, int id) {
    Plot *p = nullptr;
    for (Plot &candidate : plots)
        if (!candidate.window && !p)
            p = &candidate;
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    if (!p || !registered(instance))
        return nullptr;
    if (!font)
        font = CreateFontA(FONT_HEIGHT, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0,
                           FF_SWISS, FONT_FACE);
    const HWND window =
        CreateWindowExA(0, CLASS_NAME, "", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                        reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    if (!window)
        return nullptr;
    *p = Plot{};
    p->window = window;
    p->f_low = 10;
    p->f_high = 20000;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
    return window;
}

void wt_plot_frequencies(HWND plot, double low, double high) {
    Plot *p = plot_of(plot);
    if (!p || !(low > 0 && high > low))
        return;
    p->f_low = low;
    p->f_high = high;
    make_readout(*p);
    repaint(plot);
}

void wt_plot_axis(HWND plot, int axis, const char *caption, const char *unit, double low,
                  double high) {
    Plot *p = plot_of(plot);
    if (!p || (axis != WT_PLOT_LEFT && axis != WT_PLOT_RIGHT))
        return;
    Axis &a = p->axes[axis];
    copy_text(a.caption, caption);
    copy_text(a.unit, unit);
    a.low = low;
    a.high = high;
    make_readout(*p);
    repaint(plot);
}

int wt_plot_curve(HWND plot, int axis, const char *name, COLORREF colour, const double *f,
                  const double *v, int count) {
    Plot *p = plot_of(plot);
    if (!p || p->curve_count == WT_PLOT_CURVES || (axis != WT_PLOT_LEFT && axis != WT_PLOT_RIGHT))
        return -1;
    Curve &c = p->curves[p->curve_count];
    c = {axis, {}, colour, f, v, count};
    copy_text(c.name, name);
    make_readout(*p);
    repaint(plot);
    return p->curve_count++;
}

void wt_plot_curve_points(HWND plot, int curve, const double *f, const double *v, int count) {
    Plot *p = plot_of(plot);
    if (!p || curve < 0 || curve >= p->curve_count)
        return;
    Curve &c = p->curves[curve];
    c.f = f;
    c.v = v;
    c.count = count;
    make_readout(*p);
    repaint(plot);
}

int wt_plot_band(HWND plot, int axis, COLORREF colour, const double *f, const double *low,
                 const double *high, int count) {
    Plot *p = plot_of(plot);
    if (!p || p->band_count == WT_PLOT_BANDS || (axis != WT_PLOT_LEFT && axis != WT_PLOT_RIGHT))
        return -1;
    p->bands[p->band_count] = {axis, colour, f, low, high, count};
    repaint(plot);
    return p->band_count++;
}

void wt_plot_clear(HWND plot) {
    if (Plot *p = plot_of(plot)) {
        p->curve_count = 0;
        p->band_count = 0;
        make_readout(*p);
        repaint(plot);
    }
}

void wt_plot_marker(HWND plot, double frequency) {
    if (Plot *p = plot_of(plot))
        set_marker(plot, *p, frequency > 0 ? frequency : 0);
}

const char *wt_plot_readout(HWND plot) {
    const Plot *p = plot_of(plot);
    return p ? p->readout : "";
}
