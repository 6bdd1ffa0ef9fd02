#include "measure/fft.h"

#include <cmath>
#include <cstdint>

namespace {

using Complex = RealFft::Complex;

constexpr double PI = 3.14159265358979323846;
// Factors up to this take a pass of their own, whose cost grows with the factor; a length with
// a larger one goes by Bluestein's chirp, so that no length of a file takes unbounded time.
constexpr int MAX_DIRECT_FACTOR = 61;

// The product written out: std::complex's own checks for infinities through a library call.
inline Complex mul(Complex a, Complex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// e^(∓2πjk/n) from the table of e^(−2πjk/n).
inline Complex twiddle(const Complex *table, std::size_t k, bool inverse) {
    return inverse ? std::conj(table[k]) : table[k];
}

// e^(−2πjk/n) for k < count, exact to rounding however large k: the angle of each from k itself.
void fill_twiddles(Complex *table, std::size_t count, std::size_t n) {
    for (std::size_t k = 0; k < count; ++k) {
        const double angle = -2 * PI * double(k) / double(n);
        table[k] = Complex(std::cos(angle), std::sin(angle));
    }
}

// Whether no prime factor of n is larger than MAX_DIRECT_FACTOR.
bool small_factors(std::size_t n) {
    for (std::size_t p = 2; p <= std::size_t(MAX_DIRECT_FACTOR) && n > 1; ++p)
        while (n % p == 0)
            n /= p;
    return n == 1;
}

// The factors of an n of small_factors: fours first, then a two and odd primes rising.
void factorise(std::size_t n, int *factors, int &count) {
    count = 0;
    while (n % 4 == 0) {
        factors[count++] = 4;
        n /= 4;
    }
    if (n % 2 == 0) {
        factors[count++] = 2;
        n /= 2;
    }
    for (int p = 3; n > 1; p += 2) {
        while (n % p == 0) {
            factors[count++] = p;
            n /= p;
        }
    }
}

// The smallest 2^a·3^b·5^c at least n; 0 where size_t cannot hold it.
std::size_t smooth_at_least(std::size_t n) {
    const std::size_t limit = SIZE_MAX / 5;
    std::size_t best = 0;
    for (std::size_t five = 1; five <= limit; five *= 5) {
        for (std::size_t three = five; three <= limit; three *= 3) {
            std::size_t m = three;
            while (m < n && m <= limit)
                m *= 2;
            if (m >= n && (best == 0 || m < best))
                best = m;
            if (three >= n)
                break;
        }
        if (five >= n)
            break;
    }
    return best;
}

// The passes below each take one factor r of n = r·m·s: s transforms of length r·m, interleaved
// with stride s, each become r of length m, their values twiddled after the butterfly. turn is
// the exponent's sign, −1 forward and 1 inverse: a quarter turn is a·turn·j.

void radix2(const Complex *x, Complex *y, std::size_t s, std::size_t m, const Complex *table,
            bool inverse) {
    const std::size_t half = s * m;
    for (std::size_t p = 0; p < m; ++p) {
        const Complex w = twiddle(table, p * s, inverse);
        const Complex *a = x + s * p;
        Complex *b = y + 2 * s * p;
        for (std::size_t q = 0; q < s; ++q) {
            const Complex a0 = a[q], a1 = a[q + half];
            b[q] = a0 + a1;
            b[q + s] = mul(a0 - a1, w);
        }
    }
}

void radix4(const Complex *x, Complex *y, std::size_t s, std::size_t m, const Complex *table,
            bool inverse) {
    const std::size_t quarter = s * m;
    const double turn = inverse ? 1 : -1;
    for (std::size_t p = 0; p < m; ++p) {
        const Complex w1 = twiddle(table, p * s, inverse), w2 = twiddle(table, 2 * p * s, inverse),
                      w3 = twiddle(table, 3 * p * s, inverse);
        const Complex *a = x + s * p;
        Complex *b = y + 4 * s * p;
        for (std::size_t q = 0; q < s; ++q) {
            const Complex a0 = a[q], a1 = a[q + quarter], a2 = a[q + 2 * quarter],
                          a3 = a[q + 3 * quarter];
            const Complex t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, d = a1 - a3;
            const Complex t3(-turn * d.imag(), turn * d.real());
            b[q] = t0 + t2;
            b[q + s] = mul(t1 + t3, w1);
            b[q + 2 * s] = mul(t0 - t2, w2);
            b[q + 3 * s] = mul(t1 - t3, w3);
        }
    }
}

// An odd factor r (R where known when compiled, so that its loops unroll): the values r − k and
// k apart share their cosines and, with the sign turned, their sines.
template <int R>
void radix_odd(const Complex *x, Complex *y, std::size_t s, std::size_t m, const Complex *table,
               bool inverse, int runtime_r) {
    const int r = R ? R : runtime_r, half = (r - 1) / 2;
    const double turn = inverse ? 1 : -1;
    const std::size_t n = std::size_t(r) * m * s;
    double cosine[MAX_DIRECT_FACTOR], sine[MAX_DIRECT_FACTOR];
    for (int t = 0; t < r; ++t) {
        cosine[t] = table[t * (n / r)].real();
        sine[t] = -table[t * (n / r)].imag();
    }
    const std::size_t stride = s * m;
    for (std::size_t p = 0; p < m; ++p) {
        Complex w[MAX_DIRECT_FACTOR];
        for (int j = 1; j < r; ++j)
            w[j] = twiddle(table, j * p * s, inverse);
        const Complex *a = x + s * p;
        Complex *b = y + r * s * p;
        for (std::size_t q = 0; q < s; ++q) {
            const Complex a0 = a[q];
            Complex sum[MAX_DIRECT_FACTOR / 2 + 1], difference[MAX_DIRECT_FACTOR / 2 + 1];
            Complex b0 = a0;
            for (int k = 1; k <= half; ++k) {
                const Complex ak = a[q + k * stride], bk = a[q + (r - k) * stride];
                sum[k] = ak + bk;
                difference[k] = ak - bk;
                b0 += sum[k];
            }
            b[q] = b0;
            for (int j = 1; j <= half; ++j) {
                Complex even = a0, odd = 0;
                for (int k = 1, t = j; k <= half; ++k, t = t + j >= r ? t + j - r : t + j) {
                    even += sum[k] * cosine[t];
                    odd += difference[k] * sine[t];
                }
                // b_j = even − j·odd forward, b_{r−j} = even + j·odd; the other way inverse.
                const Complex turned(-turn * odd.imag(), turn * odd.real());
                b[q + j * s] = mul(even + turned, w[j]);
                b[q + (r - j) * s] = mul(even - turned, w[r - j]);
            }
        }
    }
}

} // namespace

bool RealFft::MixedRadix::plan(std::size_t n) {
    if (n == n_)
        return true;
    n_ = 0;
    factorise(n, factors_, count_);
    if (!twiddles_.resize(n))
        return false;
    // The second half mirrors the first.
    const std::size_t half = n / 2 + 1;
    fill_twiddles(twiddles_.data(), half, n);
    for (std::size_t k = half; k < n; ++k)
        twiddles_[k] = std::conj(twiddles_[n - k]);
    n_ = n;
    return true;
}

Complex *RealFft::MixedRadix::run(Complex *a, Complex *b, bool inverse) const {
    const Complex *table = twiddles_.data();
    std::size_t s = 1;
    for (int i = 0; i < count_; ++i) {
        const int r = factors_[i];
        const std::size_t m = n_ / (s * r);
        switch (r) {
        case 2: radix2(a, b, s, m, table, inverse); break;
        case 3: radix_odd<3>(a, b, s, m, table, inverse, r); break;
        case 4: radix4(a, b, s, m, table, inverse); break;
        case 5: radix_odd<5>(a, b, s, m, table, inverse, r); break;
        default: radix_odd<0>(a, b, s, m, table, inverse, r); break;
        }
        Complex *t = a;
        a = b;
        b = t;
        s *= r;
    }
    return a;
}

bool RealFft::ComplexFft::plan(std::size_t n) {
    if (n == n_)
        return true;
    n_ = 0;
    chirped_ = !small_factors(n);
    if (!chirped_) {
        if (!smooth_.plan(n))
            return false;
        n_ = n;
        return true;
    }
    // X[k] = c[k]·Σ x[t]·c[t]·c*[k − t] with c[k] = e^(−πjk²/n), as kt = (k² + t² − (k − t)²)/2:
    // a convolution with c*, made circular over a length of at least 2n − 1.
    const std::size_t length = n < SIZE_MAX / 2 ? smooth_at_least(2 * n - 1) : 0;
    if (length == 0 || !smooth_.plan(length) || !chirp_.resize(n) || !kernel_.resize(length) ||
        !work_a_.resize(length) || !work_b_.resize(length))
        return false;
    // k² mod 2n step by step, which no k overflows.
    std::size_t square = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double angle = -PI * double(square) / double(n);
        chirp_[k] = Complex(std::cos(angle), std::sin(angle));
        square = (square + 2 * k + 1) % (2 * n);
    }
    for (Complex &v : kernel_)
        v = 0;
    const double scale = 1.0 / double(length);
    kernel_[0] = scale * std::conj(chirp_[0]);
    for (std::size_t k = 1; k < n; ++k)
        kernel_[k] = kernel_[length - k] = scale * std::conj(chirp_[k]);
    const Complex *made = smooth_.run(kernel_.data(), work_a_.data(), false);
    if (made != kernel_.data())
        for (std::size_t k = 0; k < length; ++k)
            kernel_[k] = made[k];
    n_ = n;
    return true;
}

Complex *RealFft::ComplexFft::run(Complex *a, Complex *b, bool inverse) {
    if (!chirped_)
        return smooth_.run(a, b, inverse);
    // The inverse as the conjugate of the forward transform of the conjugate.
    const std::size_t length = kernel_.size();
    for (std::size_t k = 0; k < n_; ++k)
        work_a_[k] = mul(inverse ? std::conj(a[k]) : a[k], chirp_[k]);
    for (std::size_t k = n_; k < length; ++k)
        work_a_[k] = 0;
    Complex *spectrum = smooth_.run(work_a_.data(), work_b_.data(), false);
    for (std::size_t k = 0; k < length; ++k)
        spectrum[k] = mul(spectrum[k], kernel_[k]);
    Complex *other = spectrum == work_a_.data() ? work_b_.data() : work_a_.data();
    const Complex *convolved = smooth_.run(spectrum, other, true);
    for (std::size_t k = 0; k < n_; ++k) {
        const Complex v = mul(convolved[k], chirp_[k]);
        a[k] = inverse ? std::conj(v) : v;
    }
    return a;
}

bool RealFft::plan(std::size_t n) {
    if (n == n_)
        return true;
    n_ = 0;
    const std::size_t length = n % 2 ? n : n / 2;
    if (!complex_.plan(length) || !a_.resize(length) || !b_.resize(length))
        return false;
    if (n % 2 == 0) {
        if (!split_.resize(n / 4 + 1))
            return false;
        fill_twiddles(split_.data(), split_.size(), n);
    }
    n_ = n;
    return true;
}

// An even n's samples go paired into one complex value each, z[t] = x[2t] + j·x[2t + 1], and
// Z's halves of even and odd samples part as E[k] = (Z[k] + Z*[m − k])/2 and
// O[k] = −j·(Z[k] − Z*[m − k])/2, m = n/2: X[k] = E[k] + e^(−2πjk/n)·O[k], and X[m − k] is
// E*[k] − e^(2πjk/n)·O*[k] as both halves are of real samples.
bool RealFft::forward(const double *x, Complex *X, std::size_t n) {
    if (n == 0) {
        X[0] = 0;
        return true;
    }
    if (!plan(n))
        return false;
    if (n % 2) {
        for (std::size_t t = 0; t < n; ++t)
            a_[t] = x[t];
        const Complex *Z = complex_.run(a_.data(), b_.data(), false);
        for (std::size_t k = 0; k <= n / 2; ++k)
            X[k] = Z[k];
        return true;
    }
    const std::size_t m = n / 2;
    for (std::size_t t = 0; t < m; ++t)
        a_[t] = Complex(x[2 * t], x[2 * t + 1]);
    const Complex *Z = complex_.run(a_.data(), b_.data(), false);
    X[0] = Z[0].real() + Z[0].imag();
    X[m] = Z[0].real() - Z[0].imag();
    for (std::size_t k = 1; k <= m / 2; ++k) {
        const Complex zk = Z[k], zj = std::conj(Z[m - k]);
        const Complex even = 0.5 * (zk + zj), d = 0.5 * (zk - zj), odd(d.imag(), -d.real());
        const Complex turned = mul(split_[k], odd);
        X[k] = even + turned;
        X[m - k] = std::conj(even - turned);
    }
    return true;
}

// The forward's steps backwards: Z[k] = E[k] + j·O[k] from E[k] = X[k] + X*[m − k] and
// O[k] = (X[k] − X*[m − k])·e^(2πjk/n), each twice its share, which the 1/n takes back.
bool RealFft::inverse(const Complex *X, double *x, std::size_t n) {
    if (n == 0)
        return true;
    if (!plan(n))
        return false;
    const double scale = 1.0 / double(n);
    if (n % 2) {
        a_[0] = X[0];
        for (std::size_t k = 1; k <= n / 2; ++k) {
            a_[k] = X[k];
            a_[n - k] = std::conj(X[k]);
        }
        const Complex *z = complex_.run(a_.data(), b_.data(), true);
        for (std::size_t t = 0; t < n; ++t)
            x[t] = scale * z[t].real();
        return true;
    }
    const std::size_t m = n / 2;
    for (std::size_t k = 0; k <= m / 2; ++k) {
        const Complex xk = X[k], xj = std::conj(X[m - k]);
        const Complex even = xk + xj, odd = mul(xk - xj, std::conj(split_[k]));
        const Complex turned(-odd.imag(), odd.real());
        a_[k] = even + turned;
        if (k > 0)
            a_[m - k] = std::conj(even) + Complex(odd.imag(), odd.real());
    }
    const Complex *z = complex_.run(a_.data(), b_.data(), true);
    for (std::size_t t = 0; t < m; ++t) {
        x[2 * t] = scale * z[t].real();
        x[2 * t + 1] = scale * z[t].imag();
    }
    return true;
}
