// Allocations that fail on request (Linux).
//
// Linked into a test executable (which exports its symbols), it also serves
// the MEX files that the test loads, so a test can make one chosen allocation
// inside a gateway throw std::bad_alloc.  A shipped MEX file carries its own
// hidden operator new, which takes memory from the C library: then malloc is
// replaced here (MEXTK_STATIC_RUNTIME).  The sanitizer build's MEX files bind
// to the process's operator new: then that is replaced.
#ifndef FAILING_NEW_H
#define FAILING_NEW_H

#include <cstddef>

namespace failing_new {

// From now on, the allocation of exactly `size` bytes that comes after
// `skip` others of that size throws std::bad_alloc; one failure, then the
// replacement is disarmed again.
void arm(std::size_t size, std::size_t skip = 0);
void disarm();
// How many allocations have been made to fail so far.
std::size_t failures();

}  // namespace failing_new

#endif
