#include "enclosure/response.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

using Complex = std::complex<double>;
constexpr double PI = 3.14159265358979323846;

// A driver whose parameters agree with each other, made from its mechanics: Fs 32 Hz, Mms
// 25 g, Sd 200 cm², Bl 7 T·m, Re 5.6 ohm, Qms 4.
struct Mechanics {
    double fs = 32, mms = 0.025, sd = 0.02, bl = 7, re = 5.6, qms = 4;
    double ws() const { return 2 * PI * fs; }
    double cms() const { return 1 / (ws() * ws() * mms); }
    double rms() const { return ws() * mms / qms; }
    double qes() const { return ws() * mms * re / (bl * bl); }
    double qts() const { return qms * qes() / (qms + qes()); }
    double vas() const { return AIR_DENSITY * SPEED_OF_SOUND * SPEED_OF_SOUND * sd * sd * cms(); }
    void fill(double *p) const {
        p[DRIVER_FS] = fs, p[DRIVER_QTS] = qts(), p[DRIVER_VAS] = vas(), p[DRIVER_QES] = qes();
        p[DRIVER_RE] = re, p[DRIVER_SD] = sd, p[DRIVER_BL] = bl, p[DRIVER_MMS] = mms;
    }
};

// The same driver in a box written as Small's circuit, straight from its elements: the cone's
// mechanical impedance with the electrical damping, the box seen through Sd² (its compliance,
// for a vented box in parallel with the leakage and the port's mass). Nothing of the
// normalised polynomial.
struct Circuit {
    Complex x;    // cone excursion, m
    Complex port; // port volume velocity, m³/s
    Complex g;    // radiated volume acceleration over that of the mass-controlled passband
};

Circuit circuit(const Mechanics &m, bool vented, double vb, double fb, double ql, double volts,
                double f) {
    const double w = 2 * PI * f, rc2 = AIR_DENSITY * SPEED_OF_SOUND * SPEED_OF_SOUND;
    const Complex jw(0, w);
    const double cab = vb / rc2;
    Complex box = 1.0 / (jw * cab); // pressure over volume velocity
    double map = 0;
    if (vented) {
        const double wb = 2 * PI * fb;
        map = 1 / (wb * wb * cab);
        const double ral = ql / (wb * cab);
        box = 1.0 / (jw * cab + 1 / ral + 1.0 / (jw * map));
    }
    const double force = m.bl * volts / m.re;
    const Complex z =
        m.rms() + m.bl * m.bl / m.re + jw * m.mms + 1.0 / (jw * m.cms()) + m.sd * m.sd * box;
    const Complex v = force / z;
    const Complex pressure = m.sd * v * box;
    Circuit c;
    c.x = v / jw;
    c.port = vented ? pressure / (jw * map) : 0.0;
    const Complex radiated = pressure * jw * cab; // what leaves the box: the compressed air
    c.g = jw * radiated / (m.sd * force / m.mms);
    return c;
}

TEST(Response, MatchesTheCircuitForBothBoxes) {
    const Mechanics m;
    double p[DRIVER_PARAMETER_COUNT];
    m.fill(p);
    const double power = 2, volts = std::sqrt(2 * power * m.re), port = 2 * PI * 0.035 * 0.035;
    struct Case {
        BoxType type;
        double vb, fb, ql;
    } cases[] = {{BOX_SEALED, 0.02, 0, 0}, {BOX_VENTED, 0.05, 30, 7}, {BOX_VENTED, 0.03, 40, 3}};
    for (const Case &c : cases) {
        const bool vented = c.type == BOX_VENTED;
        const BoxModel model = make_box_model(c.type, p, c.vb, c.fb, c.ql, port, power);
        for (double f = 5; f < 2000; f *= 1.3) {
            SCOPED_TRACE(f);
            const Circuit e = circuit(m, vented, c.vb, c.fb, c.ql, volts, f);
            EXPECT_NEAR(response_power(model, f) / std::norm(e.g), 1, 1e-9);
            EXPECT_NEAR(excursion(model, f) / std::abs(e.x), 1, 1e-9);
            if (vented)
                EXPECT_NEAR(port_speed(model, f) * port / std::abs(e.port), 1, 1e-9);
            else
                EXPECT_TRUE(std::isnan(port_speed(model, f)));
            // Group delay: −dφ/dω of the circuit's response.
            const double df = f * 1e-6;
            const double dphase = std::arg(circuit(m, vented, c.vb, c.fb, c.ql, volts, f + df).g /
                                           circuit(m, vented, c.vb, c.fb, c.ql, volts, f - df).g);
            const double delay = -dphase / (2 * PI * 2 * df);
            EXPECT_NEAR(group_delay(model, f), delay, 1e-9 + 1e-6 * std::fabs(delay));
        }
    }
}

TEST(Response, UnknownDriveLeavesExcursionAndPortOpen) {
    const Mechanics m;
    double p[DRIVER_PARAMETER_COUNT];
    m.fill(p);
    p[DRIVER_BL] = 0;
    const BoxModel model = make_box_model(BOX_VENTED, p, 0.05, 30, 7, 0.003, 1);
    EXPECT_TRUE(std::isnan(excursion(model, 40)));
    EXPECT_TRUE(std::isnan(port_speed(model, 40)));
    EXPECT_TRUE(std::isfinite(response_db(model, 40)));
}

TEST(Response, F3AndPeakAgainstAFineScan) {
    const Mechanics m;
    double p[DRIVER_PARAMETER_COUNT];
    m.fill(p);
    struct Case {
        BoxType type;
        double vb, fb;
    } cases[] = {{BOX_SEALED, 0.02, 0},
                 {BOX_SEALED, 0.005, 0},
                 {BOX_VENTED, 0.05, 30},
                 {BOX_VENTED, 0.02, 45},
                 {BOX_VENTED, 0.2, 20},
                 // A thimble tuned far below Fs: a2 near 12,000 puts F3 a hundred times above
                 // √(Fs·Fb), where the passband starts only much higher.
                 {BOX_VENTED, 0.00005, 3}};
    for (const Case &c : cases) {
        const BoxModel model = make_box_model(c.type, p, c.vb, c.fb, 7, 0.003, 1);
        double highest = 0, crossing = 0;
        for (double f = 1; f < 2000; f *= 1.00001) {
            const double g2 = response_power(model, f);
            highest = std::fmax(highest, g2);
            if (g2 < 0.5)
                crossing = f;
        }
        const double fc = f3(model);
        EXPECT_NEAR(fc / crossing, 1, 2e-5);
        EXPECT_NEAR(response_power(model, fc), 0.5, 1e-9);
        double at;
        EXPECT_NEAR(peak_db(model, &at), highest > 1 ? 10 * std::log10(highest) : 0, 1e-7);
        if (highest > 1)
            EXPECT_NEAR(10 * std::log10(response_power(model, at)), peak_db(model), 1e-9);
        else
            EXPECT_TRUE(std::isnan(at));
    }
}

} // namespace
