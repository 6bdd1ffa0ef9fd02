// elemtrix-calc --plot: the modelled impedance curve as an SVG drawing, on a logarithmic
// frequency axis from Fs / 10 to 10 · Fs, with Fs, Zmax, the ZF1/ZF2 level, F1 and F2 marked.
#pragma once

#include "engine/impedance.h"

#include <string>

// The title is UTF-8. level is ZF1/ZF2, side the frequencies where the curve crosses it.
std::string impedance_svg(const std::string &title, const ImpedanceModel &model, double level,
                          const SideFrequencies &side);

// Escaped for XML; the control characters XML 1.0 does not allow (all below U+0020 but tab, LF
// and CR: the only ones a Windows-1252 text can hold) become U+FFFD.
std::string xml_text(const std::string &utf8);

// The smallest step of 1, 2 or 5 times a power of ten that divides the range into at most
// `steps` parts.
double axis_step(double range, int steps);
