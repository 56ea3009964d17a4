// The exponential on the two lanes of NEON.
#include "lanes_neon.h"

#if CREXP_NEON_PATH
#include "exponential_lanes.h"

void crexp::detail::exponentialsNeon(double *values, std::size_t count)
{
    exponentialLanes<NeonLanes>(values, count);
}
#endif
