// The ordered pair lookup behind modrick, over plain buffers.
#ifndef MODRICK_PAIR_LOOKUP_H
#define MODRICK_PAIR_LOOKUP_H

#include <cstdint>

// Gives every query pair (queryFirst[p], querySecond[p]) the 1-based position
// of an equal pair (refFirst[j-1], refSecond[j-1]) of the reference list, by
// one forward scan whose reference cursor never moves back:
//
//     positions[p] = the smallest j with positions[p-1] <= j <= refCount
//                    (1 <= j for p = 0) whose reference pair equals query p.
//
// Pairs are ordered, and two elements are equal when all 32 bits are, so
// signed 32-bit data may be passed through these pointers as well.  The
// second elements are compared only when the first ones are equal.
//
// Returns true when every query got a position: all queryCount elements of
// positions are then written, each in 1 ... refCount, never decreasing.
// Returns false when the reference list ran out at some query p: positions[0]
// ... positions[p-1] hold the queries placed so far, and positions[p] and the
// elements after it are left as they were.
//
// With queryCount 0 nothing is read or written (true, whatever refCount is);
// with refCount 0 and at least one query nothing is read (false).  Otherwise
// the reference arrays are read at 0 ... refCount-1 only, the query arrays at
// 0 ... queryCount-1 only, and at most queryCount + refCount - 1 pairs are
// compared.  The caller supplies arrays of at least those lengths; nothing is
// allocated and no state is kept.
namespace modrick {

bool lookupPairPositions(const std::uint32_t *refFirst, const std::uint32_t *refSecond,
                         std::uint32_t refCount, const std::uint32_t *queryFirst,
                         const std::uint32_t *querySecond, std::uint32_t queryCount,
                         std::uint32_t *positions);

}  // namespace modrick

#endif
