#include "failing_mmap.h"

#include <cerrno>
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/types.h>

namespace {
std::size_t g_size = 0;  // 0: disarmed
std::size_t g_skip = 0;
std::size_t g_failures = 0;
std::size_t g_mappings = 0;
std::size_t g_bytes = 0;

using MmapFn = void *(*)(void *, std::size_t, int, int, int, off_t);
using MunmapFn = int (*)(void *, std::size_t);
}  // namespace

extern "C" void *mmap(void *addr, std::size_t length, int prot, int flags, int fd, off_t offset)
{
    if (g_size != 0 && length >= g_size) {
        if (g_skip == 0) {
            g_size = 0;
            ++g_failures;
            errno = ENOMEM;
            return MAP_FAILED;
        }
        --g_skip;
    }
    static const MmapFn real = reinterpret_cast<MmapFn>(dlsym(RTLD_NEXT, "mmap"));
    void *p = real(addr, length, prot, flags, fd, offset);
    if (p != MAP_FAILED) {
        ++g_mappings;
        g_bytes += length;
    }
    return p;
}

extern "C" int munmap(void *addr, std::size_t length)
{
    static const MunmapFn real = reinterpret_cast<MunmapFn>(dlsym(RTLD_NEXT, "munmap"));
    const int result = real(addr, length);
    if (result == 0) {
        g_bytes -= length;
    }
    return result;
}

namespace failing_mmap {

void arm(std::size_t size, std::size_t skip)
{
    g_size = size;
    g_skip = skip;
}

void disarm() { g_size = 0; }
std::size_t failures() { return g_failures; }
std::size_t mappings() { return g_mappings; }
std::size_t bytesMapped() { return g_bytes; }

}  // namespace failing_mmap
