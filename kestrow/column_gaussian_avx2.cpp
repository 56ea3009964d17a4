// The evaluator on the four lanes of AVX2.
#include "lanes_avx2.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX2
#include "column_gaussian_lanes.h"

CREXP_TARGET_AVX2 void kestrow::detail::evalAvx2(const double *X, std::size_t D, std::size_t N, const double *MU,
                                             const double *IS, double K, double *out, double *scratch)
{
    evalLanes<crexp::Avx2Lanes>(X, D, N, MU, IS, K, out, scratch);
}
#endif
