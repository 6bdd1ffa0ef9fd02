#include "measure/fft.h"

#include <unsupported/Eigen/FFT>

struct RealFft::Impl {
    Eigen::FFT<double> fft;
};

RealFft::RealFft() : impl_(new Impl) {
    impl_->fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
}

RealFft::~RealFft() {
    delete impl_;
}

void RealFft::forward(const double *x, std::complex<double> *X, std::size_t n) {
    impl_->fft.fwd(X, x, static_cast<Eigen::Index>(n));
}

void RealFft::inverse(const std::complex<double> *X, double *x, std::size_t n) {
    impl_->fft.inv(x, X, static_cast<Eigen::Index>(n));
}
