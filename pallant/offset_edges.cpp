#include "offset_edges.h"

#include <algorithm>
#include <cstddef>

namespace pallant {

namespace {

std::int64_t magnitude(std::int32_t v) { return v < 0 ? -static_cast<std::int64_t>(v) : v; }

// The rows i (or columns j) of an extent of `size` from which a step of
// `offset` stays inside: [first, last), empty when the step always leaves.
struct Span {
    std::int32_t first;
    std::int32_t last;
};

Span stayingInside(std::int32_t size, std::int32_t offset)
{
    const std::int64_t first = std::max<std::int64_t>(0, -static_cast<std::int64_t>(offset));
    const std::int64_t last = std::min<std::int64_t>(size, static_cast<std::int64_t>(size) - offset);
    if (first >= last) {
        return {0, 0};
    }
    return {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last)};
}

}  // namespace

void computeOffsetTables(const std::int32_t *roffset, const std::int32_t *coffset, std::int32_t offsetCount,
                         std::int32_t height, std::int32_t *linearOffsets, double *squaredLengths)
{
    for (std::int32_t k = 0; k < offsetCount; ++k) {
        const std::int64_t r = roffset[k];
        const std::int64_t c = coffset[k];
        // Exact for every offset that can produce an edge (|r| < H, |c| < W,
        // so |c*H + r| < H*W); an offset that never yields an edge gets 0
        // rather than a wrapped value.
        const std::int64_t linear = c * height + r;
        linearOffsets[k] = (linear >= INT32_MIN && linear <= INT32_MAX) ? static_cast<std::int32_t>(linear) : 0;
        // |r|, |c| <= 2^31, so each square is at most 2^62 and their sum fits
        // an unsigned 64-bit integer exactly.
        const std::uint64_t rr = static_cast<std::uint64_t>(r * r);
        const std::uint64_t cc = static_cast<std::uint64_t>(c * c);
        squaredLengths[k] = static_cast<double>(rr + cc);
    }
}

std::int64_t countOffsetEdges(std::int32_t height, std::int32_t width, const std::int32_t *roffset,
                              const std::int32_t *coffset, std::int32_t offsetCount)
{
    if (height <= 0 || width <= 0) {
        return 0;
    }
    // Each term is at most H*W < 2^31 and there are fewer than 2^31 terms,
    // so the sum stays below 2^62.
    std::int64_t total = 0;
    for (std::int32_t k = 0; k < offsetCount; ++k) {
        const std::int64_t rows = std::max<std::int64_t>(0, height - magnitude(roffset[k]));
        const std::int64_t cols = std::max<std::int64_t>(0, width - magnitude(coffset[k]));
        total += rows * cols;
    }
    return total;
}

OffsetEdgeList buildOffsetEdges(std::int32_t height, std::int32_t width, const std::int32_t *roffset,
                                const std::int32_t *coffset, std::int32_t offsetCount,
                                const std::int32_t *linearOffsets)
{
    OffsetEdgeList edges;
    if (width <= 0 || height <= 0 || offsetCount <= 0) {
        return edges;
    }
    const std::size_t edgeCount =
        static_cast<std::size_t>(countOffsetEdges(height, width, roffset, coffset, offsetCount));
    edges.sources.reserve(edgeCount);
    edges.targets.reserve(edgeCount);
    edges.offsetPositions.reserve(edgeCount);

    // The rows from which each offset stays inside the image, and, per
    // column, the offsets whose column step stays inside: the exact bound
    // tests, hoisted out of the pixel loop.
    std::vector<Span> rowSpans(static_cast<std::size_t>(offsetCount));
    std::vector<Span> colSpans(static_cast<std::size_t>(offsetCount));
    for (std::int32_t k = 0; k < offsetCount; ++k) {
        rowSpans[static_cast<std::size_t>(k)] = stayingInside(height, roffset[k]);
        colSpans[static_cast<std::size_t>(k)] = stayingInside(width, coffset[k]);
    }
    std::vector<std::int32_t> active;
    active.reserve(static_cast<std::size_t>(offsetCount));

    for (std::int32_t j = 0; j < width; ++j) {
        active.clear();
        for (std::int32_t k = 0; k < offsetCount; ++k) {
            const Span &cols = colSpans[static_cast<std::size_t>(k)];
            const Span &rows = rowSpans[static_cast<std::size_t>(k)];
            if (j >= cols.first && j < cols.last && rows.first < rows.last) {
                active.push_back(k);
            }
        }
        if (active.empty()) {
            continue;
        }
        const std::int32_t columnStart = j * height;  // < H*W, checked by the caller
        for (std::int32_t i = 0; i < height; ++i) {
            const std::int32_t p = columnStart + i;
            for (std::int32_t k : active) {
                const Span &rows = rowSpans[static_cast<std::size_t>(k)];
                if (i >= rows.first && i < rows.last) {
                    edges.sources.push_back(p);
                    edges.targets.push_back(p + linearOffsets[k]);
                    edges.offsetPositions.push_back(k);
                }
            }
        }
    }
    return edges;
}

void writeEdgeColumns(const OffsetEdgeList &edges, const double *image, std::int32_t planeStride,
                      std::int32_t channels, const double *squaredLengths, double *sourceColumn,
                      double *targetColumn, double *colourColumn, double *lengthColumn)
{
    const std::size_t edgeCount = edges.sources.size();
    const std::ptrdiff_t stride = planeStride;
    for (std::size_t e = 0; e < edgeCount; ++e) {
        const std::int32_t p = edges.sources[e];
        const std::int32_t q = edges.targets[e];
        sourceColumn[e] = static_cast<double>(p) + 1.0;
        targetColumn[e] = static_cast<double>(q) + 1.0;
        double sum = 0.0;
        for (std::int32_t m = 0; m < channels; ++m) {
            const std::ptrdiff_t plane = static_cast<std::ptrdiff_t>(m) * stride;
            const double difference = image[p + plane] - image[q + plane];
            sum += difference * difference;
        }
        colourColumn[e] = sum;
        lengthColumn[e] = squaredLengths[edges.offsetPositions[e]];
    }
}

}  // namespace pallant
