// Offset edge enumeration: the edges of a pixel graph whose neighbourhood is a
// list of (row, column) offsets, over plain column-major buffers.
//
// An image of H rows, W columns and D channels holds the value of channel m of
// the pixel in row i, column j at index i + j*H + m*S, with S = H*W.  The
// pixel index of that pixel is i + j*H.  Offset k moves roffset[k] rows down
// and coffset[k] columns to the right.
#ifndef PALLANT_OFFSET_EDGES_H
#define PALLANT_OFFSET_EDGES_H

#include <cstddef>
#include <cstdint>

#include "list_memory.h"

namespace pallant {

// One list of an edge list: a fixed number of 32-bit integers in memory of
// its own (list_memory.h), released with the list.  Move-only.
class IndexList {
public:
    IndexList() = default;
    // count entries, their values undefined.  Throws std::bad_alloc.
    explicit IndexList(std::size_t count) : block_(acquireListBlock(count * sizeof(std::int32_t))), size_(count) {}
    IndexList(IndexList &&other) noexcept : block_(other.block_), size_(other.size_)
    {
        other.block_ = ListBlock{};
        other.size_ = 0;
    }
    IndexList &operator=(IndexList &&other) noexcept
    {
        if (this != &other) {
            releaseListBlock(block_);
            block_ = other.block_;
            size_ = other.size_;
            other.block_ = ListBlock{};
            other.size_ = 0;
        }
        return *this;
    }
    IndexList(const IndexList &) = delete;
    IndexList &operator=(const IndexList &) = delete;
    ~IndexList() { releaseListBlock(block_); }

    std::size_t size() const { return size_; }
    std::int32_t *data() { return static_cast<std::int32_t *>(block_.data); }
    const std::int32_t *data() const { return static_cast<const std::int32_t *>(block_.data); }
    std::int32_t operator[](std::size_t e) const { return data()[e]; }
    const std::int32_t *begin() const { return data(); }
    const std::int32_t *end() const { return data() + size_; }

private:
    ListBlock block_;
    std::size_t size_ = 0;
};

// Three parallel lists of equal length E; entry e describes edge e.  They
// take exactly E entries each, nothing more.
struct OffsetEdgeList {
    IndexList sources;          // 0-based pixel index of the source
    IndexList targets;          // 0-based pixel index of the target
    IndexList offsetPositions;  // 0-based position of the offset

    std::int32_t size() const { return static_cast<std::int32_t>(sources.size()); }
};

// The most pixels per plane, and the most edges, one call may have: every
// index and count is held in 32 bits.
constexpr std::int64_t kMaxPixelsPerPlane = INT32_MAX;
constexpr std::int64_t kMaxEdges = INT32_MAX;

// Fills the per-offset tables, n entries each:
//   linearOffsets[k]  = coffset[k]*H + roffset[k]  (exact whenever offset k can
//                       produce an edge; any value otherwise, never overflowing)
//   squaredLengths[k] = roffset[k]^2 + coffset[k]^2 (formed exactly in 64 bits)
void computeOffsetTables(const std::int32_t *roffset, const std::int32_t *coffset, std::int32_t offsetCount,
                         std::int32_t height, std::int32_t *linearOffsets, double *squaredLengths);

// The number of edges the enumeration yields, from the offsets alone:
// the sum over k of max(0, H - |roffset[k]|) * max(0, W - |coffset[k]|).
std::int64_t countOffsetEdges(std::int32_t height, std::int32_t width, const std::int32_t *roffset,
                              const std::int32_t *coffset, std::int32_t offsetCount);

// Lists every edge (p, q) with q the pixel at an offset from p inside the
// image, by source pixel (column-major), then by offset position.  The lists
// are sized once, to the edge count that countOffsetEdges gives.  The caller
// keeps H*W within kMaxPixelsPerPlane and that count within kMaxEdges.
// Throws std::bad_alloc when memory runs out; the lists taken so far are
// released as it passes.
OffsetEdgeList buildOffsetEdges(std::int32_t height, std::int32_t width, const std::int32_t *roffset,
                                const std::int32_t *coffset, std::int32_t offsetCount,
                                const std::int32_t *linearOffsets);

// The bits of every NaN in the colour column, on every CPU: the positive
// quiet NaN with no payload.
constexpr std::uint64_t kCanonicalNan = 0x7FF8000000000000u;

// Writes entry e of the four caller-owned columns of E doubles: source + 1,
// target + 1, the squared colour difference summed over the D channels
// (source minus target, one accumulator, channel order; a NaN sum written
// as kCanonicalNan), and the squared length of the edge's offset.  Writes
// nothing when E is 0.
void writeEdgeColumns(const OffsetEdgeList &edges, const double *image, std::int32_t planeStride,
                      std::int32_t channels, const double *squaredLengths, double *sourceColumn,
                      double *targetColumn, double *colourColumn, double *lengthColumn);

}  // namespace pallant

#endif
