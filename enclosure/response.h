// A driver in a box as a filter, after R. H. Small, "Closed-Box Loudspeaker Systems" and
// "Vented-Box Loudspeaker Systems": the response, its group delay, the cone's excursion and
// the port's volume velocity, each from the same normalised polynomial D(p), p = s/ω0.
//
// Closed box (α = Vas/Vb): ωc = ωs·√(1 + α), Qtc = Qts·√(1 + α),
//     G(p) = p²/D(p),  D(p) = p² + p/Qtc + 1,  p = s/ωc,
//     X(p) = X0/(1 + α) / D(p).
// Vented box (h = Fb/Fs, losses QB in parallel with the box): ω0 = √(ωs·ωb),
//     G(p) = p⁴/D(p),  D(p) = p⁴ + a1·p³ + a2·p² + a3·p + 1 (alignment.h gives the a's),
//     X(p) = X0·B(p)/D(p),  B(p) = p²/h + p/(√h·QB) + 1, the box and port's own resonance,
//     Up(p) = s·Sd·X0/D(p), the port's volume velocity.
// X0 = Bl·e/(Re·Kms), Kms = (2π·Fs)²·Mms, is the cone's excursion at DC with the peak voltage e
// and no box; the box stiffens it by 1 + α.
#pragma once

#include "enclosure/box.h"

struct BoxModel {
    BoxType type;
    double w0;         // rad/s, the normalising frequency
    double a1, a2, a3; // closed box: a1 = 1/Qtc, a2 = a3 = 0
    double alpha, h, qb;
    double x0;   // m, NaN when Bl, Mms or Re is unknown
    double port; // m², total port area; 0 without a port
    double sd;   // m², 0 when unknown
};

// The model for the driver's values (indexed by DriverParameter) in a closed box of vb or a
// vented one of vb, fb and qb, driven at power watts into Re.
BoxModel make_box_model(BoxType type, const double *driver, double vb, double fb, double qb,
                        double port_area, double power);

// |G|² at f Hz.
double response_power(const BoxModel &model, double f);
// 10·log10 |G|² at f Hz.
double response_db(const BoxModel &model, double f);
// −dφ/dω of G at f Hz, seconds: Re(D'(p)/D(p))/ω0, the numerator pⁿ adds a constant phase.
double group_delay(const BoxModel &model, double f);
// Peak cone excursion in m at f Hz.
double excursion(const BoxModel &model, double f);
// Peak air speed in the port in m/s at f Hz.
double port_speed(const BoxModel &model, double f);

// The highest frequency where |G|² = ½, Hz: exact for the closed box, by bisection for the
// vented one.
double f3(const BoxModel &model);
// The response's highest point in dB where it rises above the passband's level, and its
// frequency in Hz; 0 and NaN if it never does.
double peak_db(const BoxModel &model, double *frequency = nullptr);
