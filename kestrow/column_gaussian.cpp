#include "column_gaussian.h"

#include "column_gaussian_paths.h"
#include "exponential.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kestrow {

namespace {

// The plain loop: one column at a time, d of D doubles.
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
        out[c] = crexp::exponential(q * (-0.5)) * K;
    }
}

// Columns per block of the evaluation: a whole number of rounds of
// exponentials, whose values (32 KiB) stay in the cache until their NaNs
// are made canonical.
constexpr std::size_t kBlockColumns = 4096;
static_assert(kBlockColumns % detail::kRoundColumns == 0, "whole rounds per block");

// Which NaN an operation returns differs between CPUs and paths: a new NaN
// (inf - inf, 0 * inf) is 0xFFF8000000000000 on x86-64 and
// 0x7FF8000000000000 on ARM64, and when two NaNs meet, which one passes on
// depends on the CPU's rules and on the order of the operands, which the
// compiler chooses.  So every NaN of out is given the one pattern
// kCanonicalNan after the evaluation; every other value stays as it is.
// A compare and a select per value, which the compiler vectorises (four
// values a step on the SIMD paths, two on the plain one on x86-64).
inline void canonicaliseNansLoop(double *out, std::size_t cols)
{
    double canonical;
    std::memcpy(&canonical, &kCanonicalNan, sizeof canonical);
    for (std::size_t c = 0; c < cols; ++c) {
        const double v = out[c];
        out[c] = v != v ? canonical : v;
    }
}

void canonicaliseNans(double *out, std::size_t cols) { canonicaliseNansLoop(out, cols); }

#if CREXP_X86_PATHS
CREXP_TARGET_AVX2 void canonicaliseNansAvx2(double *out, std::size_t cols) { canonicaliseNansLoop(out, cols); }
#endif

}  // namespace

std::size_t scratchDoubles(Isa isa, std::int32_t D)
{
    const std::size_t rows = D > 0 ? static_cast<std::size_t>(D) : 0;
#if CREXP_X86_PATHS
    if (isa != Isa::Plain && rows > 0) {
        // Room to move the start to the next 64-byte boundary.
        return rows * detail::kScratchColumns + (detail::kScratchAlignment / sizeof(double) - 1);
    }
#else
    (void)isa;
#endif
    return rows;
}

void evalColumnGaussianOn(Isa isa, const double *X, std::int32_t D, std::int32_t N,
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
    std::vector<double> scratch(scratchDoubles(isa, D));
    double *differences = scratch.data();
#if CREXP_X86_PATHS
    if (isa != Isa::Plain && rows > 0) {
        void *start = scratch.data();
        std::size_t space = scratch.size() * sizeof(double);
        differences = static_cast<double *>(
            std::align(detail::kScratchAlignment, rows * detail::kScratchColumns * sizeof(double), start, space));
    }
#endif

    // The path runs over blocks of columns, and each block's NaNs are made
    // canonical while its values are still in the cache: a pass over the
    // whole of a long out afterwards would cost a trip through memory.
    for (std::size_t first = 0; first < cols; first += kBlockColumns) {
        const std::size_t count = std::min(kBlockColumns, cols - first);
        const double *blockX = X + first * rows;
        double *blockOut = out + first;
#if CREXP_X86_PATHS
        if (isa == Isa::Avx512) {
            detail::evalAvx512(blockX, rows, count, MU, IS, K, blockOut, differences);
            canonicaliseNansAvx2(blockOut, count);
        } else if (isa == Isa::Avx2) {
            detail::evalAvx2(blockX, rows, count, MU, IS, K, blockOut, differences);
            canonicaliseNansAvx2(blockOut, count);
        } else {
            evalPlain(blockX, rows, count, MU, IS, K, blockOut, differences);
            canonicaliseNans(blockOut, count);
        }
#else
        evalPlain(blockX, rows, count, MU, IS, K, blockOut, differences);
        canonicaliseNans(blockOut, count);
#endif
    }
}

void evalColumnGaussian(const double *X, std::int32_t D, std::int32_t N, const double *MU,
                        const double *IS, double K, double *out)
{
    evalColumnGaussianOn(widestIsa(), X, D, N, MU, IS, K, out);
}

}  // namespace kestrow
