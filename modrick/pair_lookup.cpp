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

    // r is the 0-based cursor, and (first, second) the reference pair under
    // it, held across queries: the next query meets that same pair first.
    // The cursor is tested against refCount before it moves, so it never
    // passes the last pair, not even when refCount is the largest 32-bit
    // value.  Each turn of the inner loop is one comparison that moves the
    // cursor; each placed query is one that moves the query index.
    std::uint32_t r = 0;
    std::uint32_t first = refFirst[0];
    std::uint32_t second = refSecond[0];
    const std::uint32_t last = refCount - 1;
    for (std::uint32_t p = 0; p < queryCount; ++p) {
        const std::uint32_t a = queryFirst[p];
        const std::uint32_t b = querySecond[p];
        while (!(first == a && second == b)) {
            if (r == last) {
                return false;
            }
            ++r;
            first = refFirst[r];
            second = refSecond[r];
        }
        positions[p] = r + 1;
    }
    return true;
}

}  // namespace modrick
