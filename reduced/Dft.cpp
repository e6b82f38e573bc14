#include "reduced/Dft.h"

#include <cmath>

#include "common/Types.h"

namespace zarn {

// The index product k·m (or i·j) is formed as an integer and only then turned
// into a double: the angle must not depend on how the product was reduced.

void Dft::forward(const double* x, double* re, double* im, std::int16_t n) const {
    const int half = n / 2;
    for (int k = 0; k <= half; ++k) {
        re[k] = 0.0;
        im[k] = 0.0;
        for (int m = 0; m < n; ++m) {
            const double theta = static_cast<double>(k * m) * -kTwoPi / n;
            re[k] = re[k] + x[m] * std::cos(theta);
            im[k] = im[k] + x[m] * std::sin(theta);
        }
        re[k] = re[k] * (1.0 / n);
        im[k] = im[k] * (1.0 / n);
    }
}

void Dft::inverse(const double* re, const double* im, double* y, std::int16_t n) const {
    for (int i = 0; i < n; ++i) {
        y[i] = 0.0;
        for (int j = 0; j < n; ++j) {
            const double theta = static_cast<double>(i * j) * kTwoPi / n;
            y[i] = y[i] + (std::cos(theta) * re[j] - std::sin(theta) * im[j]);
        }
    }
}

void Dft::mirror(double* re, double* im, std::int16_t n) const {
    for (int j = 1; j < n / 2; ++j) {
        re[n - j] = re[j];
        im[n - j] = im[j] * -1.0;
    }
}

}  // namespace zarn
