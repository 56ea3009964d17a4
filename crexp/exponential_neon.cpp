// The exponential on the two lanes of NEON.
#include "lanes_neon.h"

#if CREXP_NEON_PATH
#include "exponential_lanes.h"

template void crexp::detail::exponentialLanes<crexp::NeonLanes>(double *, std::size_t);
#endif
