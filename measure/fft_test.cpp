#include "measure/fft.h"

#include <gtest/gtest.h>
#include <unsupported/Eigen/FFT>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Complex = std::complex<double>;

constexpr double TOLERANCE = 1e-12; // of the spectrum's (or the signal's) norm

// Small ones, odd ones, primes either side of where the chirp takes over, products of small and
// large primes, powers of two, smooth sizes, and the stimulus periods at 48, 44.1 and 11.025 kHz.
const std::size_t LENGTHS[] = {
    1,    2,    3,    4,    5,    6,    7,    8,    9,     10,    11,    12,    13,    15,   16,
    17,   25,   27,   30,   31,   32,   49,   59,   60,    61,    62,    64,    67,    97,   100,
    121,  122,  128,  134,  210,  243,  256,  343,  422,   509,   625,   720,   1000,  1009, 1024,
    2017, 2048, 3721, 4096, 6009, 7442, 8192, 9000, 15435, 61740, 65536, 67200, 86400, 96000};

std::vector<double> noise(std::size_t n, unsigned draw) {
    std::mt19937 random(draw);
    std::uniform_real_distribution<double> value(-1, 1);
    std::vector<double> x(n);
    for (double &v : x)
        v = value(random);
    return x;
}

template <typename T> double norm_of(const std::vector<T> &v) {
    double sum = 0;
    for (const T &x : v)
        sum += std::norm(x);
    return std::sqrt(sum);
}

template <typename T> double distance(const std::vector<T> &a, const std::vector<T> &b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::norm(a[i] - b[i]);
    return std::sqrt(sum);
}

// Eigen's transform of one value fails; that one is the value itself.
std::vector<Complex> eigen_forward(const std::vector<double> &x) {
    std::vector<Complex> X(x.size() / 2 + 1, x[0]);
    if (x.size() > 1) {
        Eigen::FFT<double> fft;
        fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
        fft.fwd(X.data(), x.data(), static_cast<Eigen::Index>(x.size()));
    }
    return X;
}

std::vector<double> eigen_inverse(const std::vector<Complex> &X, std::size_t n) {
    std::vector<double> x(n, X[0].real());
    if (n > 1) {
        Eigen::FFT<double> fft;
        fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
        fft.inv(x.data(), X.data(), static_cast<Eigen::Index>(n));
    }
    return x;
}

TEST(RealFft, ForwardAgreesWithEigenAtEveryKindOfLength) {
    RealFft fft;
    for (std::size_t n : LENGTHS) {
        const std::vector<double> x = noise(n, static_cast<unsigned>(n));
        std::vector<Complex> X(n / 2 + 1);
        ASSERT_TRUE(fft.forward(x.data(), X.data(), n)) << n;
        const std::vector<Complex> expected = eigen_forward(x);
        EXPECT_LT(distance(X, expected), TOLERANCE * norm_of(expected)) << n;
    }
}

// The spectra of real signals, as the stimulus is made from them: the bins at 0 and n/2 real.
TEST(RealFft, InverseAgreesWithEigenAndUndoesTheForward) {
    RealFft fft;
    for (std::size_t n : LENGTHS) {
        std::mt19937 random(static_cast<unsigned>(n));
        std::normal_distribution<double> value;
        std::vector<Complex> X(n / 2 + 1);
        for (Complex &v : X)
            v = Complex(value(random), value(random));
        X[0].imag(0);
        if (n % 2 == 0)
            X.back().imag(0);
        std::vector<double> x(n);
        ASSERT_TRUE(fft.inverse(X.data(), x.data(), n)) << n;
        const std::vector<double> expected = eigen_inverse(X, n);
        EXPECT_LT(distance(x, expected), TOLERANCE * norm_of(expected)) << n;

        const std::vector<double> signal = noise(n, static_cast<unsigned>(n) + 1);
        std::vector<double> again(n);
        ASSERT_TRUE(fft.forward(signal.data(), X.data(), n));
        ASSERT_TRUE(fft.inverse(X.data(), again.data(), n));
        EXPECT_LT(distance(again, signal), TOLERANCE * norm_of(signal)) << n;
    }
}

// Lengths whose prime factor is too large for a pass of its own, checked bin by bin against the
// sum itself: the chirp's convolution is long, but it ends.
TEST(RealFft, LargePrimeFactorsAgreeWithTheSumItself) {
    RealFft fft;
    for (std::size_t n : {std::size_t(100003), std::size_t(2 * 100003), std::size_t(4 * 12007)}) {
        const std::vector<double> x = noise(n, 7);
        std::vector<Complex> X(n / 2 + 1);
        ASSERT_TRUE(fft.forward(x.data(), X.data(), n)) << n;
        const double size = norm_of(X);
        for (std::size_t k :
             {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(12007), n / 3, n / 2}) {
            long double re = 0, im = 0;
            const long double pi = 3.141592653589793238462643383279L;
            for (std::size_t t = 0; t < n; ++t) {
                const long double angle =
                    -2 * pi * static_cast<long double>(static_cast<unsigned long long>(k) * t % n) /
                    n;
                re += x[t] * std::cos(angle);
                im += x[t] * std::sin(angle);
            }
            EXPECT_LT(std::abs(X[k] - Complex(double(re), double(im))), TOLERANCE * size)
                << n << " bin " << k;
        }
        std::vector<double> again(n);
        ASSERT_TRUE(fft.inverse(X.data(), again.data(), n));
        EXPECT_LT(distance(again, x), TOLERANCE * norm_of(x)) << n;
    }
}

// One object going from length to length, as the analysis does between its silence and its
// frames, gives what a fresh one gives at each: no plan of another length is used.
TEST(RealFft, AlternatingLengthsGiveWhatAFreshObjectGives) {
    RealFft shared;
    const std::size_t order[] = {67200, 61740, 7, 67200, 422, 1009, 61740, 422, 2, 67200};
    for (std::size_t n : order) {
        const std::vector<double> x = noise(n, 3);
        std::vector<Complex> X(n / 2 + 1), fresh_X(n / 2 + 1);
        RealFft fresh;
        ASSERT_TRUE(shared.forward(x.data(), X.data(), n));
        ASSERT_TRUE(fresh.forward(x.data(), fresh_X.data(), n));
        EXPECT_EQ(X, fresh_X) << n;
        std::vector<double> y(n), fresh_y(n);
        ASSERT_TRUE(shared.inverse(X.data(), y.data(), n));
        ASSERT_TRUE(fresh.inverse(X.data(), fresh_y.data(), n));
        EXPECT_EQ(y, fresh_y) << n;
    }
}

// A length whose plan memory cannot hold is a false, and the object serves the next length.
TEST(RealFft, ALengthBeyondMemoryIsRefused) {
    RealFft fft;
    const std::size_t huge = (SIZE_MAX >> 1) + 1;
    double x[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Complex X[5];
    EXPECT_FALSE(fft.forward(x, X, huge));
    EXPECT_FALSE(fft.inverse(X, x, huge));
    ASSERT_TRUE(fft.forward(x, X, 8));
    EXPECT_NEAR(X[0].real(), 36, 1e-12);
    EXPECT_NEAR(X[4].real(), -4, 1e-12);
}

} // namespace
