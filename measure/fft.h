// Real FFTs by Eigen's FFT module (kissfft), behind a small interface so that only one source
// compiles it. The plans of each length are kept by the object for its next use.
#pragma once

#include <complex>
#include <cstddef>

class RealFft {
  public:
    RealFft();
    ~RealFft();
    RealFft(const RealFft &) = delete;
    RealFft &operator=(const RealFft &) = delete;

    // The n/2 + 1 bins of the n samples of x, unscaled: X[k] = Σ x[t]·e^(−2πjkt/n).
    void forward(const double *x, std::complex<double> *X, std::size_t n);
    // n samples from the n/2 + 1 bins of a real signal's spectrum, scaled by 1/n, so that
    // inverse(forward(x)) is x.
    void inverse(const std::complex<double> *X, double *x, std::size_t n);

  private:
    struct Impl;
    Impl *impl_;
};
