// Linked into every shipped Linux MEX file, beside the C++ runtime it
// carries: keeps that runtime's needs of the C library to what glibc has
// offered since the first 64-bit release on the platform (2.2.5 on x86-64,
// 2.17 on ARM64), so the files load on the older distributions MATLAB
// supports, not only on those as new as the build machine.
//
// The runtime (libstdc++, libgcc's unwinder), built on a newer glibc, asks
// for four things that are newer; each is given here, hidden, and the
// linker binds the runtime's references to these definitions instead:
//   - pthread_once and __pthread_key_create moved into libc in 2.34, under a
//     new version; the old version of each is still there (and in libpthread
//     before 2.34, which every MATLAB process has loaded): call that one;
//   - __libc_single_threaded (2.32) tells the runtime it may skip atomic
//     operations; 0 ("maybe threads") is always correct, merely not the
//     quickest, and MATLAB runs many threads anyway;
//   - _dl_find_object (2.35) is how the unwinder finds the unwind tables of
//     the code an exception passes through; dl_iterate_phdr, which every
//     glibc has, finds the same thing.
// Nothing else is changed: a build on an older glibc, whose runtime asks for
// none of them, needs none of this, and neither does a non-glibc system.
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>

#include <cstdint>

#if defined(__GLIBC__)

#if defined(__x86_64__)
#define MEXTK_GLIBC_BASE "GLIBC_2.2.5"
#else
#define MEXTK_GLIBC_BASE "GLIBC_2.17"
#endif

#define MEXTK_HIDDEN __attribute__((visibility("hidden")))

extern "C" {

// The old versions, under names of our own.
int mextk_pthread_once_base(pthread_once_t *once, void (*init)());
int mextk_pthread_key_create_base(pthread_key_t *key, void (*destroy)(void *));
__asm__(".symver mextk_pthread_once_base, pthread_once@" MEXTK_GLIBC_BASE);
__asm__(".symver mextk_pthread_key_create_base, __pthread_key_create@" MEXTK_GLIBC_BASE);

MEXTK_HIDDEN int pthread_once(pthread_once_t *once, void (*init)()) { return mextk_pthread_once_base(once, init); }

MEXTK_HIDDEN int __pthread_key_create(pthread_key_t *key, void (*destroy)(void *))
{
    return mextk_pthread_key_create_base(key, destroy);
}

#ifdef DLFO_STRUCT_HAS_EH_DBASE
MEXTK_HIDDEN char __libc_single_threaded = 0;

namespace {

struct Search {
    std::uintptr_t pc;
    dl_find_object *result;
};

// The loaded object whose segments hold the address, with the address of
// its unwind table index (PT_GNU_EH_FRAME), as _dl_find_object gives them.
int visit(dl_phdr_info *info, std::size_t, void *data)
{
    Search *s = static_cast<Search *>(data);
    std::uintptr_t lo = UINTPTR_MAX, hi = 0;
    bool inside = false;
    void *ehFrame = nullptr;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &p = info->dlpi_phdr[i];
        const std::uintptr_t start = info->dlpi_addr + p.p_vaddr;
        if (p.p_type == PT_LOAD) {
            const std::uintptr_t end = start + p.p_memsz;
            lo = start < lo ? start : lo;
            hi = end > hi ? end : hi;
            inside = inside || (s->pc >= start && s->pc < end);
        } else if (p.p_type == PT_GNU_EH_FRAME) {
            ehFrame = reinterpret_cast<void *>(start);
        }
    }
    if (!inside) {
        return 0;
    }
    *s->result = dl_find_object{};
    s->result->dlfo_map_start = reinterpret_cast<void *>(lo);
    s->result->dlfo_map_end = reinterpret_cast<void *>(hi);
    s->result->dlfo_eh_frame = ehFrame;
    return 1;
}

}  // namespace

MEXTK_HIDDEN int _dl_find_object(void *pc, dl_find_object *result)
{
    Search s{reinterpret_cast<std::uintptr_t>(pc), result};
    return dl_iterate_phdr(visit, &s) != 0 ? 0 : -1;
}
#endif

}  // extern "C"

#endif
#endif
