#include "column_gaussian.h"

#include "exponential.h"

#include <cstddef>
#include <vector>

namespace kestrow {

void evalColumnGaussian(const double *X, std::int32_t D, std::int32_t N, const double *MU,
                        const double *IS, double K, double *out)
{
    if (N <= 0) {
        return;  // no column, nothing written, no scratch needed
    }
    // Element indices are formed at full width: D*N and D*D may exceed the
    // 32-bit range even though D and N do not.
    const std::size_t rows = D > 0 ? static_cast<std::size_t>(D) : 0;
    const std::size_t cols = static_cast<std::size_t>(N);

    // Taken once, before the first column; may throw std::bad_alloc.
    std::vector<double> diff(rows);
    double *const d = diff.data();

    for (std::size_t c = 0; c < cols; ++c) {
        const std::size_t base = c * rows;
        for (std::size_t k = 0; k < rows; ++k) {
            d[k] = X[base + k] - MU[k];
        }
        double q = 0.0;
        for (std::size_t j = 0; j < rows; ++j) {
            const double *column = IS + j * rows;  // column j of IS, contiguous
            double s = 0.0;
            for (std::size_t m = 0; m < rows; ++m) {
                s = s + d[m] * column[m];
            }
            q = q + s * d[j];
        }
        out[c] = exponential(q * (-0.5)) * K;
    }
}

}  // namespace kestrow
