// The exponential on the eight lanes of AVX-512.
#include "lanes_avx512.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX512
#include "exponential_lanes.h"

template void crexp::detail::exponentialLanes<crexp::Avx512Lanes>(double *, std::size_t);
#endif
