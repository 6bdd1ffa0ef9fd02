// Real FFTs of any length, mixed radix, in memory from malloc: the window program's measurement
// runs them without the standard containers and exceptions. The plan of the last length stays
// with the object for its next call with that length, as the analysis calls it per frame.
#pragma once

#include "measure/buffer.h"

#include <complex>
#include <cstddef>

class RealFft {
  public:
    using Complex = std::complex<double>;

    // The n/2 + 1 bins of the n samples of x, unscaled: X[k] = Σ x[t]·e^(−2πjkt/n). False when
    // memory for the plan of n runs out; X is then unwritten.
    [[nodiscard]] bool forward(const double *x, Complex *X, std::size_t n);
    // n samples from the n/2 + 1 bins of a real signal's spectrum, scaled by 1/n, so that
    // inverse(forward(x)) is x. False as forward.
    [[nodiscard]] bool inverse(const Complex *X, double *x, std::size_t n);

  private:
    // The transform of one length whose prime factors are all small, one pass per factor in
    // Stockham's order, which needs no reordering of the result.
    class MixedRadix {
      public:
        bool plan(std::size_t n);
        // Transforms the n values of a (e^(+2πjkt/n) for inverse, unscaled) into a or b, whichever
        // it returns; the other is overwritten.
        Complex *run(Complex *a, Complex *b, bool inverse) const;

      private:
        static constexpr int MAX_FACTORS = 64; // each factor at least 2
        std::size_t n_ = 0;
        int factors_[MAX_FACTORS];
        int count_ = 0;
        Buffer<Complex> twiddles_; // e^(−2πjk/n), k < n
    };

    // The transform of any length: directly where its factors are small, otherwise by
    // Bluestein's chirp, a convolution made by transforms of a smooth length.
    class ComplexFft {
      public:
        bool plan(std::size_t n);
        // As MixedRadix::run.
        Complex *run(Complex *a, Complex *b, bool inverse);

      private:
        std::size_t n_ = 0;
        bool chirped_ = false;
        MixedRadix smooth_;              // of n, or of the convolution's length
        Buffer<Complex> chirp_, kernel_; // e^(−πjk²/n); the chirp's conjugate transformed, over
                                         // the convolution's length
        Buffer<Complex> work_a_, work_b_;
    };

    bool plan(std::size_t n);

    std::size_t n_ = 0;
    ComplexFft complex_;    // of n/2 for an even n, the samples paired; of n for an odd one
    Buffer<Complex> split_; // e^(−2πjk/n), k ≤ n/4: even n's halves parted again
    Buffer<Complex> a_, b_;
};
