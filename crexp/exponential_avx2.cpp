// The exponential on the four lanes of AVX2.
#include "lanes_avx2.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX2
#include "exponential_lanes.h"

template void crexp::detail::exponentialLanes<crexp::Avx2Lanes>(double *, std::size_t);
#endif
