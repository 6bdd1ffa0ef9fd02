// A plot as a child window: curves over a logarithmic frequency axis, labelled at decades and
// 1-2-5 with a grid, against one or two value axes (|Z| in ohm on the left, the phase in degrees
// on the right; or dB), shaded bands, and a marker that follows the mouse with the curves'
// values read out where it stands. It paints through an off-screen bitmap, only what the update
// region asks for, so that it never flickers. Texts are Windows-1252.
//
//     HWND plot = wt_create_plot(dialog, 10, 10, 480, 260, ID_PLOT);
//     wt_plot_frequencies(plot, 10, 20000);
//     wt_plot_axis(plot, WT_PLOT_LEFT, "|Z|", "ohm", 0, 0);  // range from the curves
//     wt_plot_axis(plot, WT_PLOT_RIGHT, "fas", "°", -90, 90);
//     wt_plot_curve(plot, WT_PLOT_LEFT, "|Z|", RGB(0, 0, 192), f, z, n);
//
// The plot reads the caller's arrays at every paint and copies none: they must last as long as
// the plot shows them. The window class is registered on the first plot made.
#pragma once

#include <windows.h>

constexpr int WT_PLOT_LEFT = 0, WT_PLOT_RIGHT = 1;
constexpr int WT_PLOT_CURVES = 6; // per plot
constexpr int WT_PLOT_BANDS = 4;  // per plot
constexpr int WT_PLOT_COUNT = 8;  // plots at the same time
constexpr int WT_PLOT_TEXT = 24;  // bytes of a caption, a unit or a curve's name
constexpr int WT_PLOT_READOUT = 160;

// Null when the window cannot be made or WT_PLOT_COUNT plots exist already.
HWND wt_create_plot(HWND parent, int x, int y, int width, int height, int id);

// The frequencies shown, in Hz: 0 < low < high.
void wt_plot_frequencies(HWND plot, double low, double high);
// An axis's caption above it and the unit of its values; low >= high takes the range from the
// curves on it, widened to whole ticks. The right axis shows once it has a caption.
void wt_plot_axis(HWND plot, int axis, const char *caption, const char *unit, double low,
                  double high);
// A curve of count points at rising frequencies f, values v; a value that is not finite leaves a
// gap. Its index, or -1 when the plot has WT_PLOT_CURVES already.
int wt_plot_curve(HWND plot, int axis, const char *name, COLORREF colour, const double *f,
                  const double *v, int count);
// New points for a curve, as when it grows while a measurement runs; the plot is repainted.
void wt_plot_curve_points(HWND plot, int curve, const double *f, const double *v, int count);
// The area between low and high at the frequencies f, shaded; -1 when the plot is full. A span
// of frequencies over the whole height is two frequencies with low and high beyond the range.
int wt_plot_band(HWND plot, int axis, COLORREF colour, const double *f, const double *low,
                 const double *high, int count);
// Takes every curve and band away.
void wt_plot_clear(HWND plot);

// The marker, as the mouse sets it: at a frequency, or none with 0.
void wt_plot_marker(HWND plot, double frequency);
// What the readout line shows: the marker's frequency and each curve's value there ("38.0 Hz
// |Z| 64.5 ohm  fas -12.3°"); empty without a marker.
const char *wt_plot_readout(HWND plot);
