// The exponential on the eight lanes of AVX-512.
#include "lanes_avx512.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX512
#include "exponential_lanes.h"

CREXP_TARGET_AVX512 void crexp::detail::exponentialsAvx512(double *values, std::size_t count)
{
    exponentialLanes<Avx512Lanes>(values, count);
}
#endif
