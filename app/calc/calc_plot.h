// elemtrix-calc --plot: the modelled impedance curve as an SVG drawing, on a logarithmic
// frequency axis from Fs / 10 to 10 · Fs, with Fs, Zmax, the ZF1/ZF2 level, F1 and F2 marked.
#pragma once

#include "engine/impedance.h"
#include "measure/sweep_fit.h"

#include <string>
#include <vector>

// The title is UTF-8. level is ZF1/ZF2, side the frequencies where the curve crosses it.
std::string impedance_svg(const std::string &title, const ImpedanceModel &model, double level,
                          const SideFrequencies &side);

// One measured sweep and the curve fitted to it, for elemtrix-calc --sweep --plot.
struct SweepCurve {
    std::string label; // UTF-8, names the sweep in the legend and at its resonance
    const Sweep *sweep;
    const SweepFit *fit;
};

// The measured points of every sweep over its fitted curve, on a logarithmic frequency axis
// across the bands the fits used, with each fitted resonance marked.
std::string sweep_svg(const std::string &title, const std::vector<SweepCurve> &curves);

// Escaped for XML; the control characters XML 1.0 does not allow (all below U+0020 but tab, LF
// and CR: the only ones a Windows-1252 text can hold) become U+FFFD.
std::string xml_text(const std::string &utf8);

// The smallest step of 1, 2 or 5 times a power of ten that divides the range into at most
// `steps` parts.
double axis_step(double range, int steps);
