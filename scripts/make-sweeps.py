#!/usr/bin/env python3
"""Makes synthetic impedance sweeps of loudspeaker drivers with known values.

usage: make-sweeps.py OUTDIR            the test set and OUTDIR/manifest.tsv
       make-sweeps.py --largest FILE    one sweep at the reader's limits (64 MB, 1,000,000 points)

The model is the one the fit uses:
    Z(f) = Re + Z_coil(f) + Res / (1 + j*Qms*(f/Fs - Fs/f)),   Res = Re*Qms/Qes
with Z_coil = j*w*Le + (R2 || j*w*L2). One more coil, K*(j*w)^n in series with Le, is a shape
the fit's model cannot take, so its sweep shows how the fit copes with a real voice coil.

The creeping driver is a real one's double: its compliance follows the logarithm of the complex
frequency, Cms(s) = Cms0*(1 - beta*log10(s/w0)), its coil has a semi-inductance K*sqrt(s), and
its sweeps have 0.2 % noise, stair steps at low frequencies and a cone break-up bump. Its
manifest values are Fs where the motional impedance is real, Qms = ws*Cmes*Rmot(Fs),
Qes = ws*Cmes*Re, and beta referred to Fs.

Added mass changes only the moving mass: Fs falls by sqrt(Mms/(Mms+M)), Qms and Qes rise by
sqrt((Mms+M)/Mms), Re, Res and the coil stay.
"""
import cmath
import math
import os
import random
import sys

# name: Re (ohm), Fs (Hz), Qms, Qes, Mms (g), added masses (g)
DRIVERS = {
    'small': (3.4, 75.0, 3.2, 0.62, 4.5, (2.0, 4.0, 6.0)),
    'mid': (6.0, 38.0, 4.1, 0.42, 22.0, (10.0, 20.0, 30.0)),
    'large': (5.3, 21.0, 6.5, 0.33, 120.0, (40.0, 80.0, 120.0)),
}
# name: Le (H), R2 (ohm), L2 (H); R2 = L2 = 0 is a plain coil
COILS = {
    'plain0': (0.0, 0.0, 0.0),
    'plain1': (1e-3, 0.0, 0.0),
    'lossy': (0.5e-3, 10.0, 2e-3),
}
# The coil no fitted model matches: Le in series with K*(j*w)^N.
SEMI_LE, SEMI_K, SEMI_N = 0.1e-3, 0.012, 0.68

# Stair steps: a fine log grid read from the nearest line of a coarse FFT (48 kHz, 32768 points),
# as programs export a measurement: runs of equal values at low frequencies.
STAIR_GRID_PER_OCTAVE = 48
STAIR_LINE_SPACING = 48000.0 / 32768

# The creeping driver: Re (ohm), Fs0 at w0 (Hz), Qms0, Mms (g), Bl (T*m), beta at w0, Le (H),
# K (ohm*s^0.5), added masses (g); a break-up bump of BUMP_OHM, Q BUMP_Q at BUMP_HZ.
CREEP = dict(re=5.72, fs0=45.0, qms0=2.0, mms=14.9, bl=7.0, beta=0.10, le=0.3e-3, k=0.04,
             masses=(8.0, 16.0))
BUMP_OHM, BUMP_Q, BUMP_HZ = 1.5, 3.0, 5000.0
CREEP_NOISE = 0.002  # relative, on the real and imaginary parts

NOISE_MAGNITUDE = 0.01  # relative standard deviation of |Z|
NOISE_PHASE = 0.5  # standard deviation of the phase, degrees
RANDOM_STATE = 1101  # fixed, so every run writes the same files

# Log grids from 1 Hz to 20 kHz, and 0.5 Hz steps from 0.5 Hz to 5 kHz (10,000 points).
TOP = 20000.0


def log_grid(per_octave, low=1.0):
    count = int(math.log2(TOP / low) * per_octave) + 1
    return [low * 2 ** (i / per_octave) for i in range(count)]


GRIDS = {
    'log12': lambda: log_grid(12),
    'log24': lambda: log_grid(24),
    'lin05': lambda: [0.5 * (i + 1) for i in range(10000)],
    'log48': lambda: log_grid(STAIR_GRID_PER_OCTAVE),
}


def coil_impedance(f, le, r2, l2):
    jw = 2j * math.pi * f
    z = jw * le
    if r2 > 0 and l2 > 0:
        z += r2 * jw * l2 / (r2 + jw * l2)
    return z


def semi_coil(f):
    jw = 2j * math.pi * f
    return jw * SEMI_LE + SEMI_K * jw ** SEMI_N


def impedance(f, re, fs, qms, qes, coil):
    res = re * qms / qes
    return re + coil(f) + res / (1 + 1j * qms * (f / fs - fs / f))


def loaded(driver, mass):
    """Re, Fs, Qms and Qes of the driver with the mass on its cone."""
    re, fs, qms, qes, mms, _ = DRIVERS[driver]
    r = math.sqrt((mms + mass) / mms)
    return re, fs / r, qms * r, qes * r


def creep_admittance(w, mass):
    """The creeping motional admittance, its real and imaginary part at w, rad/s."""
    c = CREEP
    bl2, mms = c['bl'] ** 2, c['mms'] / 1000
    w0 = 2 * math.pi * c['fs0']
    cms0 = 1 / (w0 * w0 * mms)
    rms = w0 * mms / c['qms0']
    s = 1j * w
    lces = bl2 * cms0 * (1 - c['beta'] * cmath.log(s / w0) / math.log(10))
    return s * (mms + mass / 1000) / bl2 + rms / bl2 + 1 / (s * lces)


def creep_impedance(f, mass):
    c = CREEP
    s = 2j * math.pi * f
    bump = BUMP_OHM / (1 + 1j * BUMP_Q * (f / BUMP_HZ - BUMP_HZ / f))
    return c['re'] + s * c['le'] + c['k'] * cmath.sqrt(s) + 1 / creep_admittance(2 * math.pi * f, mass) + bump


def creep_truth(mass):
    """Fs, Qms, Qes and beta referred to Fs, as the fit defines them."""
    c = CREEP
    low, high = 2 * math.pi * 5, 2 * math.pi * 500
    for _ in range(200):
        mid = (low + high) / 2
        if creep_admittance(mid, mass).imag < 0:
            low = mid
        else:
            high = mid
    ws = (low + high) / 2
    cmes = (c['mms'] + mass) / 1000 / c['bl'] ** 2
    rmot = 1 / creep_admittance(ws, mass).real
    beta = c['beta'] / (1 - c['beta'] * math.log10(ws / (2 * math.pi * c['fs0'])))
    return ws / (2 * math.pi), ws * cmes * rmot, ws * cmes * c['re'], beta


def write_sweep(path, freqs, values, rng, with_phase, noisy, title):
    with open(path, 'w', newline='') as out:
        out.write('* %s\n' % title)
        out.write('* Freq(Hz)  |Z|(ohm)%s\n' % ('  Phase(deg)' if with_phase else ''))
        for f, z in zip(freqs, values):
            mag, phase = abs(z), math.degrees(cmath.phase(z))
            if noisy:
                mag *= 1 + rng.gauss(0, NOISE_MAGNITUDE)
                phase += rng.gauss(0, NOISE_PHASE)
            if with_phase:
                out.write('%.9g %.9g %.9g\n' % (f, mag, phase))
            else:
                out.write('%.9g %.9g\n' % (f, mag))


def make_set(outdir):
    os.makedirs(outdir, exist_ok=True)
    rng = random.Random(RANDOM_STATE)
    rows = []

    def add(name, group, driver, coil_name, grid, with_phase, noisy, mass=0.0, stairs=False):
        re, fs, qms, qes = loaded(driver, mass)
        if coil_name == 'semi':
            le, r2, l2, coil = SEMI_LE, 0.0, 0.0, semi_coil
        else:
            le, r2, l2 = COILS[coil_name]
            coil = lambda f: coil_impedance(f, le, r2, l2)
        freqs = GRIDS[grid]()
        read_at = freqs
        if stairs:
            read_at = [max(1, round(f / STAIR_LINE_SPACING)) * STAIR_LINE_SPACING for f in freqs]
        values = [impedance(f, re, fs, qms, qes, coil) for f in read_at]
        write_sweep(os.path.join(outdir, name), freqs, values, rng, with_phase, noisy,
                    'synthetic %s driver, %s coil, %s, added mass %g g' % (driver, coil_name, grid, mass))
        rows.append((name, group, driver, coil_name, grid, int(with_phase), int(noisy),
                     re, fs, qms, qes, le, r2, l2, mass, DRIVERS[driver][4], 0.0, 0.0))

    # Every driver with every coil; the grids rotate so that each grid meets each driver and
    # each coil once. Each of these with and without phase, clean and noisy.
    driver_names, coil_names, grid_names = list(DRIVERS), list(COILS), ['log12', 'log24', 'lin05']
    for d, driver in enumerate(driver_names):
        for c, coil in enumerate(coil_names):
            grid = grid_names[(d + c) % len(grid_names)]
            for with_phase in (True, False):
                for noisy in (False, True):
                    name = '%s-%s-%s-%s-%s.txt' % (driver, coil, grid, 'phase' if with_phase else 'mag',
                                                   'noisy' if noisy else 'clean')
                    add(name, 'free', driver, coil, grid, with_phase, noisy)
    # Free and loaded sweeps of each driver, clean and noisy.
    for driver in driver_names:
        for noisy in (False, True):
            state = 'noisy' if noisy else 'clean'
            add('%s-added0-%s.txt' % (driver, state), 'added', driver, 'lossy', 'log24', True, noisy)
            for mass in DRIVERS[driver][5]:
                add('%s-added%g-%s.txt' % (driver, mass, state), 'added', driver, 'lossy', 'log24',
                    True, noisy, mass)
    # Stair steps below and around the resonance of the large driver.
    add('large-lossy-stairs-phase-clean.txt', 'stairs', 'large', 'lossy', 'log48', True, False,
        stairs=True)
    # The coil the model cannot take, with noise, as a real measurement would be.
    for driver in driver_names:
        add('%s-semi-log24-phase-noisy.txt' % driver, 'semi', driver, 'semi', 'log24', True, True)
        add('%s-semi-log24-mag-noisy.txt' % driver, 'semi', driver, 'semi', 'log24', False, True)

    # The creeping driver, free and with each mass: 1/24 octave read from a coarse FFT below
    # 100 Hz, with the phase, 0.2 % noise.
    for mass in (0.0,) + CREEP['masses']:
        name = 'creep-added%g.txt' % mass
        freqs = [f for f in log_grid(24) if f >= 10]
        read_at = [max(1, round(f / STAIR_LINE_SPACING)) * STAIR_LINE_SPACING if f < 100 else f
                   for f in freqs]
        with open(os.path.join(outdir, name), 'w', newline='') as out:
            out.write('* synthetic creeping driver, added mass %g g\n' % mass)
            read = {}  # one noisy reading per FFT line, repeated over its stair step
            for f, at in zip(freqs, read_at):
                if at not in read:
                    read[at] = creep_impedance(at, mass) * complex(1 + rng.gauss(0, CREEP_NOISE),
                                                                   rng.gauss(0, CREEP_NOISE))
                z = read[at]
                out.write('%.9g %.9g %.9g\n' % (f, abs(z), math.degrees(cmath.phase(z))))
        fs, qms, qes, beta = creep_truth(mass)
        rows.append((name, 'creep', 'creep', 'semi', 'log24', 1, 1, CREEP['re'], fs, qms, qes,
                     CREEP['le'], 0.0, 0.0, mass, CREEP['mms'], CREEP['k'], beta))

    with open(os.path.join(outdir, 'manifest.tsv'), 'w', newline='') as out:
        out.write('file\tgroup\tdriver\tcoil\tgrid\tphase\tnoisy\tRe\tFs\tQms\tQes\tLe\tR2\tL2\tmass\tMms\tK\tbeta\n')
        for row in rows:
            out.write('\t'.join(x if isinstance(x, str) else '%.17g' % x for x in row) + '\n')


# The largest file the reader accepts: 1,000,000 points in at most 64 MB.
LARGEST_POINTS = 1000000
LARGEST_BYTES = 64 * 1024 * 1024


def make_largest(path):
    re, fs, qms, qes, _, _ = DRIVERS['mid']
    le, r2, l2 = COILS['lossy']
    # A linear grid from 0.02 Hz: 20 kHz at the millionth point.
    step = TOP / LARGEST_POINTS
    line_size = LARGEST_BYTES // LARGEST_POINTS - 1  # and LF
    with open(path, 'w', newline='') as out:
        for i in range(LARGEST_POINTS):
            f = step * (i + 1)
            z = impedance(f, re, fs, qms, qes, lambda f: coil_impedance(f, le, r2, l2))
            line = '%.10e\t%.10e\t%.10e' % (f, abs(z), math.degrees(cmath.phase(z)))
            out.write(line.ljust(line_size) + '\n')


def main(argv):
    if len(argv) == 3 and argv[1] == '--largest':
        make_largest(argv[2])
    elif len(argv) == 2 and not argv[1].startswith('-'):
        make_set(argv[1])
    else:
        sys.exit(__doc__.split('\n\n')[1])


if __name__ == '__main__':
    main(sys.argv)
