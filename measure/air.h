// Air at 20 °C and 101.325 kPa: the fit's Vas = ρ·c²·Sd²·Cms and the box built on it use the
// same air.
#pragma once

constexpr double AIR_DENSITY = 1.204;    // kg/m³
constexpr double SPEED_OF_SOUND = 343.2; // m/s
