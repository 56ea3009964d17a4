// The evaluator on the two lanes of NEON.
#include "lanes_neon.h"

#if CREXP_NEON_PATH
#include "column_gaussian_lanes.h"

void kestrow::detail::evalNeon(const double *X, std::size_t D, std::size_t N, const double *MU, const double *IS,
                               double K, double *out, double *scratch)
{
    evalLanes<crexp::NeonLanes>(X, D, N, MU, IS, K, out, scratch);
}
#endif
