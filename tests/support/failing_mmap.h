// Replacements of mmap and munmap that count what is mapped and fail on
// request (Linux).
//
// Linked into a test executable that exports its symbols, they also serve
// the MEX files the test loads, so a test can see every mapping a gateway
// makes, check that each is given back, and make one of them fail.  The C
// library's and the sanitizers' own mappings do not pass through here.
#ifndef FAILING_MMAP_H
#define FAILING_MMAP_H

#include <cstddef>

namespace failing_mmap {

// From now on, the mapping of at least `size` bytes that comes after `skip`
// others of that size fails with ENOMEM; one failure, then disarmed again.
void arm(std::size_t size, std::size_t skip = 0);
void disarm();

std::size_t failures();      // mappings made to fail so far
std::size_t mappings();      // mappings made so far
std::size_t bytesMapped();   // bytes mapped through here and not unmapped

}  // namespace failing_mmap

#endif
