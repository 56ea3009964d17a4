#include "column_gaussian.h"

#include "column_gaussian_paths.h"
#include "exponential.h"

#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

namespace kestrow {

namespace {

// The plain loop: one column at a time, d of D doubles.  It stays apart from
// the lane paths: it is what they are compared with, and what every compiler
// builds, so it is kept as plain as the definition in column_gaussian.h.
void evalPlain(const double *X, std::size_t rows, std::size_t cols, const double *MU,
               const double *IS, double K, double *out, double *d)
{
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
        const double y = crexp::exponential(q * (-0.5)) * K;
        out[c] = y == y ? y : std::numeric_limits<double>::quiet_NaN();
    }
}

// The scratch of the plain loop, or of a lane path.
std::size_t scratchFor(bool lanes, std::int32_t D)
{
    const std::size_t rows = D > 0 ? static_cast<std::size_t>(D) : 0;
    if (lanes && rows > 0) {
        // Room to move the start to the next 64-byte boundary.
        return rows * detail::kScratchColumns + (detail::kScratchAlignment / sizeof(double) - 1);
    }
    return rows;
}

}  // namespace

std::size_t scratchDoubles(Isa isa, std::int32_t D)
{
    return scratchFor(isa != Isa::Plain, D);
}

void detail::evalColumnGaussianWith(LanesEvaluator lanes, const double *X, std::int32_t D, std::int32_t N,
                                    const double *MU, const double *IS, double K, double *out)
{
    if (N <= 0) {
        return;  // no column, nothing written, no scratch needed
    }
    // Element indices are formed at full width: D*N and D*D may exceed the
    // 32-bit range even though D and N do not.
    const std::size_t rows = D > 0 ? static_cast<std::size_t>(D) : 0;
    const std::size_t cols = static_cast<std::size_t>(N);

    // Taken once, before the first column; may throw std::bad_alloc.
    std::vector<double> scratch(scratchFor(lanes != nullptr, D));
    if (lanes == nullptr) {
        return evalPlain(X, rows, cols, MU, IS, K, out, scratch.data());
    }
    double *aligned = scratch.data();
    if (rows > 0) {
        void *start = scratch.data();
        std::size_t space = scratch.size() * sizeof(double);
        aligned = static_cast<double *>(std::align(detail::kScratchAlignment,
                                                   rows * detail::kScratchColumns * sizeof(double), start, space));
    }
    lanes(X, rows, cols, MU, IS, K, out, aligned);
}

void evalColumnGaussianOn(Isa isa, const double *X, std::int32_t D, std::int32_t N,
                          const double *MU, const double *IS, double K, double *out)
{
    detail::LanesEvaluator lanes = nullptr;
    switch (isa) {
#if CREXP_X86_PATHS
    case Isa::Avx2:
        lanes = detail::evalLanes<crexp::Avx2Lanes>;
        break;
    case Isa::Avx512:
        lanes = detail::evalLanes<crexp::Avx512Lanes>;
        break;
#endif
#if CREXP_NEON_PATH
    case Isa::Neon:
        lanes = detail::evalLanes<crexp::NeonLanes>;
        break;
#endif
    default:
        break;
    }
    detail::evalColumnGaussianWith(lanes, X, D, N, MU, IS, K, out);
}

void evalColumnGaussian(const double *X, std::int32_t D, std::int32_t N, const double *MU,
                        const double *IS, double K, double *out)
{
    evalColumnGaussianOn(widestIsa(), X, D, N, MU, IS, K, out);
}

}  // namespace kestrow
