#include "list_memory.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace pallant {

namespace {

void *fromOperatorNew(std::size_t bytes) { return ::operator new(bytes); }

#if defined(__linux__) && defined(MAP_ANONYMOUS)

// The mapping's start is aligned to the huge-page size, so that every whole
// 2 MiB of the list can be one huge page; its length is the list's size
// rounded up to the base page, no more.  The alignment comes from mapping a
// little more and giving back the unaligned head and the tail.
ListBlock mapped(std::size_t bytes)
{
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t page = pageSize > 0 ? static_cast<std::size_t>(pageSize) : 4096;
    const std::size_t length = (bytes + page - 1) / page * page;
    const std::size_t slack = kMappedListBytes > page ? kMappedListBytes - page : 0;
    if (length < bytes || length + slack < length) {
        throw std::bad_alloc();
    }
    void *raw = mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kMappedListBytes - 1) / kMappedListBytes * kMappedListBytes;
    const std::size_t head = aligned - start;
    const std::size_t tail = slack - head;
    if (head > 0) {
        munmap(raw, head);
    }
    if (tail > 0) {
        munmap(reinterpret_cast<void *>(aligned + length), tail);
    }
    void *data = reinterpret_cast<void *>(aligned);
#if defined(MADV_HUGEPAGE)
    // Advice only: where huge pages are off, the list takes base pages.
    madvise(data, length, MADV_HUGEPAGE);
#endif
    return {data, length};
}

void unmapped(const ListBlock &block) noexcept { munmap(block.data, block.mappedBytes); }

#else

// Elsewhere every list comes from operator new.
ListBlock mapped(std::size_t bytes) { return {fromOperatorNew(bytes), 0}; }

void unmapped(const ListBlock &) noexcept {}

#endif

}  // namespace

ListBlock acquireListBlock(std::size_t bytes)
{
    if (bytes == 0) {
        bytes = 1;
    }
    if (bytes < kMappedListBytes) {
        return {fromOperatorNew(bytes), 0};
    }
    return mapped(bytes);
}

void releaseListBlock(const ListBlock &block) noexcept
{
    if (block.data == nullptr) {
        return;
    }
    if (block.mappedBytes > 0) {
        unmapped(block);
    } else {
        ::operator delete(block.data);
    }
}

}  // namespace pallant
