#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace {
std::size_t g_size = 0;  // 0: disarmed
std::size_t g_skip = 0;
std::size_t g_failures = 0;

// Whether this allocation of `size` bytes is the one to fail.
bool failsNow(std::size_t size)
{
    if (g_size != 0 && size == g_size) {
        if (g_skip == 0) {
            g_size = 0;
            ++g_failures;
            return true;
        }
        --g_skip;
    }
    return false;
}
}  // namespace

#if MEXTK_STATIC_RUNTIME

// The MEX files carry their own, hidden operator new, which takes its memory
// from the C library's malloc: that call comes here, and a null result makes
// it throw std::bad_alloc.
extern "C" void *__libc_malloc(std::size_t size);

extern "C" void *malloc(std::size_t size)
{
    if (failsNow(size)) {
        return nullptr;
    }
    return __libc_malloc(size);
}

#else

// The MEX files bind to the process's operator new: this one.
void *operator new(std::size_t size)
{
    if (failsNow(size)) {
        throw std::bad_alloc();
    }
    if (void *p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

#endif

namespace failing_new {

void arm(std::size_t size, std::size_t skip)
{
    g_size = size;
    g_skip = skip;
}

void disarm() { g_size = 0; }

std::size_t failures() { return g_failures; }

}  // namespace failing_new
