// The exponential on the four lanes of AVX2.
#include "lanes_avx2.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX2
#include "exponential_lanes.h"

CREXP_TARGET_AVX2 void crexp::detail::exponentialsAvx2(double *values, std::size_t count)
{
    exponentialLanes<Avx2Lanes>(values, count);
}
#endif
