// The evaluator on the eight lanes of AVX-512.
#include "lanes_avx512.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX512
#include "column_gaussian_lanes.h"

CREXP_TARGET_AVX512 void kestrow::detail::evalAvx512(const double *X, std::size_t D, std::size_t N, const double *MU,
                                             const double *IS, double K, double *out, double *scratch)
{
    evalLanes<crexp::Avx512Lanes>(X, D, N, MU, IS, K, out, scratch);
}
#endif
