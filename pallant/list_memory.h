// Memory for pallant's edge lists: blocks of a size known before they are
// filled, obtained so that their first touch is cheap where the system
// allows it.
//
// On Linux a large block is an anonymous mapping of its own, aligned to the
// huge-page size and advised with MADV_HUGEPAGE, so the kernel can back it
// with huge pages (one fault and one clearing per 2 MiB instead of per 4 KiB)
// when transparent huge pages are enabled or in "madvise" mode.  Small
// blocks, and every block on other systems, come from operator new.
#ifndef PALLANT_LIST_MEMORY_H
#define PALLANT_LIST_MEMORY_H

#include <cstddef>

namespace pallant {

// Blocks of at least this many bytes are mapped where mapping is available:
// a smaller one could not hold one aligned huge page.
constexpr std::size_t kMappedListBytes = std::size_t{2} << 20;

// How a block was obtained, and what releasing it takes.
struct ListBlock {
    void *data = nullptr;
    std::size_t mappedBytes = 0;  // 0: from operator new
};

// A block of `bytes` bytes (at least 1), its contents undefined.  Throws
// std::bad_alloc when the memory cannot be had; nothing is then held.
ListBlock acquireListBlock(std::size_t bytes);

// Releases a block from acquireListBlock; an empty block is ignored.
void releaseListBlock(const ListBlock &block) noexcept;

}  // namespace pallant

#endif
