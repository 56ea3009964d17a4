#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace {
std::size_t g_size = 0;  // 0: disarmed
std::size_t g_skip = 0;
std::size_t g_failures = 0;
}  // namespace

void *operator new(std::size_t size)
{
    if (g_size != 0 && size == g_size) {
        if (g_skip == 0) {
            g_size = 0;
            ++g_failures;
            throw std::bad_alloc();
        }
        --g_skip;
    }
    if (void *p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace failing_new {

void arm(std::size_t size, std::size_t skip)
{
    g_size = size;
    g_skip = skip;
}

void disarm() { g_size = 0; }

std::size_t failures() { return g_failures; }

}  // namespace failing_new
