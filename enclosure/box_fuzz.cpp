// Any driver and any request through the design: what it takes must come out as a box with a
// positive volume, a finite F3 and a response that is a number everywhere, and what it refuses
// it must refuse with a message. Each input byte scales one value by a power of two around a
// typical one, or makes it 0, negative, infinite or NaN, so that most inputs are near designs
// that exist and the edges of the families are reached.
#include "enclosure/box.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

class Bytes {
  public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    int next() { return at_ < size_ ? data_[at_++] : 128; }
    // 128 is the typical value; each 16 either side doubles or halves it.
    double value(double typical) {
        const int b = next();
        switch (b) {
        case 0: return 0;
        case 1: return -typical;
        case 2: return INFINITY;
        case 3: return NAN;
        default: return typical * std::exp2((b - 128) / 16.0);
        }
    }

  private:
    const std::uint8_t *data_;
    std::size_t size_, at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Bytes in(data, size);
    BoxDriver driver;
    const double typical[DRIVER_PARAMETER_COUNT] = {30, 0.39, 0.05, 0.45, 6, 0.02, 7, 0.03};
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
        driver.value[i] = in.value(typical[i]);
        driver.covariance[i][i] = in.value(1e-3 * typical[i] * typical[i]);
    }
    // One correlation, between any two parameters.
    const int a = in.next() % DRIVER_PARAMETER_COUNT, b = in.next() % DRIVER_PARAMETER_COUNT;
    if (a != b)
        driver.covariance[a][b] = driver.covariance[b][a] =
            (in.next() - 128) / 128.0 *
            std::sqrt(std::fabs(driver.covariance[a][a] * driver.covariance[b][b]));

    BoxRequest r;
    r.type = in.next() % 2 ? BOX_VENTED : BOX_SEALED;
    r.alignment = static_cast<BoxAlignment>(in.next() % (ALIGN_BB4 + 1));
    r.qtc = in.value(0.707);
    r.vb = in.value(0.05);
    r.fb = in.value(30);
    r.ql = in.value(7);
    r.qa = in.next() % 2 ? in.value(20) : 0;
    r.qp = in.next() % 2 ? in.value(50) : 0;
    r.port_diameter = in.value(0.07);
    r.ports = 1 + in.next() % 4;
    r.port_ends = static_cast<PortEnds>(in.next() % 3);
    r.xmax = in.value(0.005);
    r.pe = in.value(50);
    r.power = in.value(1);

    static BoxDesign design;
    MeasureError error;
    if (!design_box(driver, r, design, error)) {
        if (error.message.empty() || error.swedish.empty())
            std::abort();
        return 0;
    }
    const double vb = design.figure[FIG_VB].value, f3 = design.figure[FIG_F3].value;
    if (!(vb > 0 && std::isfinite(vb)) || !(f3 > 0 && std::isfinite(f3)) ||
        design.alignment == ALIGN_FLATTEST || design.reason.empty())
        std::abort();
    for (int i = 0; i < BOX_CURVE_POINTS; ++i)
        if (std::isnan(design.curves.response_db[i]) || design.curves.response_error[i] < 0)
            std::abort();
    for (const BoxFigure &f : design.figure)
        if (f.error < 0)
            std::abort();
    return 0;
}
