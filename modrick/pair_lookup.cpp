#include "pair_lookup.h"

namespace modrick {

bool lookupPairPositions(const std::uint32_t *refFirst, const std::uint32_t *refSecond,
                         std::uint32_t refCount, const std::uint32_t *queryFirst,
                         const std::uint32_t *querySecond, std::uint32_t queryCount,
                         std::uint32_t *positions)
{
    if (queryCount == 0) {
        return true;
    }
    if (refCount == 0) {
        return false;
    }

    // The cursor is the 1-based reference position under comparison.  It is
    // tested against refCount before it moves, so it never passes refCount,
    // not even when refCount is the largest 32-bit value.
    std::uint32_t cursor = 1;
    std::uint32_t p = 0;
    for (;;) {
        const std::uint32_t r = cursor - 1;
        if (queryFirst[p] == refFirst[r] && querySecond[p] == refSecond[r]) {
            positions[p] = cursor;
            ++p;
            if (p == queryCount) {
                return true;
            }
            // The cursor stays: the next query meets the same reference pair first.
        } else {
            if (cursor == refCount) {
                return false;
            }
            ++cursor;
        }
    }
}

}  // namespace modrick
