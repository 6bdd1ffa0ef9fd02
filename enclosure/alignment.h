// The vented-box alignments solved for a driver's Qt and the box's losses, after R. H. Small,
// "Vented-Box Loudspeaker Systems", and A. N. Thiele, "Loudspeakers in Vented Boxes".
//
// The box's response is the fourth-order high-pass G(s) = s⁴/(s⁴ + a1·s³ + a2·s² + a3·s + 1),
// s normalised to √(ωs·ωb). With x = √h (h = Fb/Fs), q = 1/Qt and l = 1/QB, Small's lossy
// coefficients are
//     a1 = q/x + l·x,   a3 = q·x + l/x,   a2 = l·q + (α + 1 + h²)/h.
// A target polynomial fixes a1, a2, a3: from the first two, q = a1·x − l·x², and putting that
// into the second leaves l·x⁴ − a1·x³ + a3·x − l = 0, one root of which (near √(a3/a1), the
// lossless answer) is the tuning; then α = h·(a2 − l·q) − 1 − h². A family with one free
// parameter is solved for the driver's Qt by searching that parameter.
#pragma once

struct VentedTuning {
    double qt;    // the driver's total Q the alignment asks for
    double h;     // Fb/Fs
    double alpha; // Vas/Vb
    double a1, a2, a3;
};

// The tuning that gives exactly the polynomial a1, a2, a3 with box losses qb (infinite for
// none). False where no physical tuning gives it (no positive root, Qt, h or α).
bool tuning_for_polynomial(double a1, double a2, double a3, double qb, VentedTuning &tuning);

// The fourth-order Butterworth: a1 = a3 = √(4 + 2√2), a2 = 2 + √2.
void butterworth_polynomial(double a[3]);

// The high-pass of the fourth-order Bessel low-pass, its s⁴ + 10s³ + 45s² + 105s + 105
// scaled to a constant term of 1 and its coefficients reversed.
void bessel_polynomial(double a[3]);

// The Chebyshev family through B4: the low-pass poles −k·sin θ ± j·cos θ, θ = π/8 and 3π/8,
// scaled so that their product is 1, and the high-pass made from them. k = 1 is B4; k < 1
// gives a Chebyshev response rippling between 1 and 1 + ε² (C4), k = tanh(asinh(1/ε)/4); k > 1
// gives poles on an ellipse stretched along the real axis and a response drooping gently
// into the cut-off (SC4).
void chebyshev_polynomial(double k, double a[3]);

// Below this k the ripple, peaks of 1 + ε² above the passband's level, exceeds 3 dB: no longer
// a flat response but a boom, and the family is taken to end there. Above the largest k the
// poles are nearly real and the response droops over more than an octave.
constexpr double C4_LOWEST_K = 0.21684; // tanh(asinh(1)/4)
constexpr double SC4_HIGHEST_K = 50;

enum FamilySolve { FAMILY_FOUND, FAMILY_QT_ABOVE, FAMILY_QT_BELOW, FAMILY_MISSING };

// The member of the Chebyshev family with k between k_low and k_high that the driver's qt
// gives, and its k. Heavy losses leave no member at the low end (the volume would be negative
// or the middle root of the tuning missing): the range then ends where members exist. A qt
// above or below what the range gives is said so, with the Qt at that end in limit_qt; with
// no member anywhere in the range, FAMILY_MISSING.
FamilySolve chebyshev_tuning(double qt, double qb, double k_low, double k_high,
                             VentedTuning &tuning, double &k, double &limit_qt);

// Thiele's quasi-Butterworth third order: |G|⁻² = 1 + B²/ω⁶ + 1/ω⁸, flat as B4 in its first
// two terms: a1² = 2·a2 and a2² + 2 = 2·a1·a3, with B² = a3² − 2·a2. With the driver's Qt and
// the losses fixed, these fix x. False when no tuning meets them; b2 is B², negative where
// the driver's Qt lies above B4's (the family continued past B4, as the error propagation
// uses it).
bool qb3_tuning(double qt, double qb, VentedTuning &tuning, double &b2);
