// For the window's tests: a plain recording of the jig with a textbook driver, input A on the
// output side of Rref and input B across the driver, with our own stimulus and nothing of a
// real sound card (measure/synthetic_recording.h has those). B is A filtered by Z/(Rref + Z)
// over the whole recording at once: exact on the whole periods that are analysed.
#pragma once

#include "measure/fft.h"
#include "measure/model_fit.h"
#include "measure/stimulus.h"
#include "measure/wav_file.h"

#include <complex>

struct JigModel {
    double rref = 10, re = 6, fs = 38, qms = 4.1, qes = 0.42; // ohm, Hz
    double res() const { return re * qms / qes; }
    double qts() const { return qms * qes / (qms + qes); }
};

inline std::complex<double> jig_driver_z(const JigModel &m, double f) {
    double p[PARAM_COUNT];
    textbook_params(m.re, m.fs, m.qms, m.res(), p);
    const double pi = 3.14159265358979323846;
    return model_impedance(DriverModel{}, p, 2 * pi * m.fs, 0, 0, f);
}

inline bool make_jig_recording(const JigModel &m, unsigned rate, double seconds,
                               Recording &recording) {
    Buffer<double> a;
    if (!make_stimulus(rate, seconds, STIMULUS_DEFAULT_PEAK_DBFS, a))
        return false;
    const std::size_t n = a.size();
    Buffer<std::complex<double>> spectrum;
    if (!spectrum.resize(n / 2 + 1) || !recording.right.resize(n) || !recording.left.resize(n))
        return false;
    RealFft fft;
    if (!fft.forward(a.data(), spectrum.data(), n))
        return false;
    spectrum[0] = 0;
    for (std::size_t k = 1; k < spectrum.size(); ++k) {
        const std::complex<double> z = jig_driver_z(m, double(k) * rate / n);
        spectrum[k] *= z / (m.rref + z);
    }
    if (!fft.inverse(spectrum.data(), recording.right.data(), n))
        return false;
    for (std::size_t i = 0; i < n; ++i)
        recording.left[i] = a[i];
    recording.rate = rate;
    recording.channels = 2;
    recording.bits = 32;
    recording.is_float = true;
    return true;
}
