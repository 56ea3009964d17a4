#include "offset_edges.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PALLANT_SSE2 1
#else
#define PALLANT_SSE2 0
#endif

// The three lists never overlap one another, nor the run they are filled
// from; saying so lets the compiler drop its run-time overlap checks.
#if defined(__GNUC__) || defined(__clang__) || defined(_MSC_VER)
#define PALLANT_RESTRICT __restrict
#else
#define PALLANT_RESTRICT
#endif

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

namespace {

// The distinct values of `cuts` within [0, size], with 0 and size, ascending:
// the ends of the runs over which the set of offsets that stay inside does
// not change.
void runEnds(std::vector<std::int32_t> &cuts, std::int32_t size)
{
    cuts.push_back(0);
    cuts.push_back(size);
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
}

// Appends, for the rows [first, last) of one column, every edge of the offsets
// of the run (one entry per offset, in list order) to the three lists from
// entry e on, and returns the entry after the last.  No bound is tested here:
// every offset of the run stays inside from every one of these rows.  A run
// length fixed when compiled (Length > 0) lets the copy become a few whole
// vector stores per row.
template <std::size_t Length>
std::size_t appendRows(std::int32_t columnStart, std::int32_t first, std::int32_t last,
                       const std::int32_t *runLinear, const std::int32_t *runOffset, std::size_t runLength,
                       std::int32_t *PALLANT_RESTRICT sources, std::int32_t *PALLANT_RESTRICT targets,
                       std::int32_t *PALLANT_RESTRICT offsetPositions, std::size_t e)
{
    const std::size_t length = Length > 0 ? Length : runLength;
    std::int32_t linear[Length > 0 ? Length : 1];
    std::int32_t offset[Length > 0 ? Length : 1];
    if constexpr (Length > 0) {
        for (std::size_t r = 0; r < Length; ++r) {
            linear[r] = runLinear[r];
            offset[r] = runOffset[r];
        }
        runLinear = linear;
        runOffset = offset;
    }
    for (std::int32_t i = first; i < last; ++i) {
        const std::int32_t p = columnStart + i;
        for (std::size_t r = 0; r < length; ++r) {
            sources[e + r] = p;
            targets[e + r] = p + runLinear[r];
            offsetPositions[e + r] = runOffset[r];
        }
        e += length;
    }
    return e;
}

}  // namespace

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
    if (edgeCount == 0) {
        return edges;
    }
    // Each list is taken at its final size; a failure leaves the lists taken
    // before it to the edge list's destructor.
    edges.sources = IndexList(edgeCount);
    edges.targets = IndexList(edgeCount);
    edges.offsetPositions = IndexList(edgeCount);

    // The rows (and columns) from which each offset stays inside the image:
    // the exact bound tests, made once per offset.
    const std::size_t n = static_cast<std::size_t>(offsetCount);
    std::vector<Span> rowSpans(n);
    std::vector<Span> colSpans(n);
    std::vector<std::int32_t> columnCuts;
    for (std::size_t k = 0; k < n; ++k) {
        rowSpans[k] = stayingInside(height, roffset[k]);
        colSpans[k] = stayingInside(width, coffset[k]);
        if (rowSpans[k].first < rowSpans[k].last && colSpans[k].first < colSpans[k].last) {
            columnCuts.push_back(colSpans[k].first);
            columnCuts.push_back(colSpans[k].last);
        }
    }
    runEnds(columnCuts, width);

    // Between two column cuts the same offsets stay inside in every column
    // (`active`), and between two row cuts of those offsets the same ones
    // stay inside in every row (the run).  So the pixel loop only copies.
    std::vector<std::int32_t> active;
    std::vector<std::int32_t> rowCuts;
    std::vector<std::int32_t> runLinear(n);
    std::vector<std::int32_t> runOffset(n);
    active.reserve(n);
    rowCuts.reserve(2 * n + 2);
    std::int32_t *sources = edges.sources.data();
    std::int32_t *targets = edges.targets.data();
    std::int32_t *offsetPositions = edges.offsetPositions.data();
    std::size_t e = 0;
    for (std::size_t c = 0; c + 1 < columnCuts.size(); ++c) {
        const std::int32_t firstColumn = columnCuts[c];
        const std::int32_t lastColumn = columnCuts[c + 1];
        active.clear();
        rowCuts.clear();
        for (std::size_t k = 0; k < n; ++k) {
            const Span &rows = rowSpans[k];
            const Span &cols = colSpans[k];
            if (rows.first < rows.last && cols.first <= firstColumn && lastColumn <= cols.last) {
                active.push_back(static_cast<std::int32_t>(k));
                rowCuts.push_back(rows.first);
                rowCuts.push_back(rows.last);
            }
        }
        if (active.empty()) {
            continue;
        }
        runEnds(rowCuts, height);
        for (std::int32_t j = firstColumn; j < lastColumn; ++j) {
            const std::int32_t columnStart = j * height;  // < H*W, kept by the caller
            for (std::size_t r = 0; r + 1 < rowCuts.size(); ++r) {
                const std::int32_t firstRow = rowCuts[r];
                const std::int32_t lastRow = rowCuts[r + 1];
                std::size_t runLength = 0;
                for (const std::int32_t k : active) {
                    const Span &rows = rowSpans[static_cast<std::size_t>(k)];
                    if (rows.first <= firstRow && lastRow <= rows.last) {
                        runLinear[runLength] = linearOffsets[k];
                        runOffset[runLength] = k;
                        ++runLength;
                    }
                }
                const std::int32_t *lin = runLinear.data();
                const std::int32_t *off = runOffset.data();
                if (runLength == 8) {
                    e = appendRows<8>(columnStart, firstRow, lastRow, lin, off, 8, sources, targets,
                                      offsetPositions, e);
                } else if (runLength == 4) {
                    e = appendRows<4>(columnStart, firstRow, lastRow, lin, off, 4, sources, targets,
                                      offsetPositions, e);
                } else if (runLength > 0) {
                    e = appendRows<0>(columnStart, firstRow, lastRow, lin, off, runLength, sources, targets,
                                      offsetPositions, e);
                }
            }
        }
    }
    return edges;
}

namespace {

// The one NaN of the colour column.  Which NaN a subtraction or a sum
// returns (a new one for inf - inf, or one of its operands' with their sign
// and payload) differs between CPUs: x86-64 makes 0xFFF8000000000000, ARM64
// 0x7FF8000000000000, and they pass on payloads differently.  So a NaN sum
// is written as kCanonicalNan, a compare and a select per entry.
double canonicalNan()
{
    double v;
    std::memcpy(&v, &kCanonicalNan, sizeof v);
    return v;
}

// Entry e of the four columns, as the contract gives it: one accumulator
// from 0, channel by channel.  The channel count is fixed when compiled
// (Channels >= 0) or given at run time (Channels < 0).
template <int Channels>
inline void writeOneEdge(std::size_t e, const std::int32_t *sources, const std::int32_t *targets,
                         const std::int32_t *offsetPositions, const double *image, std::ptrdiff_t stride,
                         std::int32_t channels, const double *squaredLengths, double *sourceColumn,
                         double *targetColumn, double *colourColumn, double *lengthColumn)
{
    const std::int32_t count = Channels >= 0 ? Channels : channels;
    const std::int32_t p = sources[e];
    const std::int32_t q = targets[e];
    sourceColumn[e] = static_cast<double>(p) + 1.0;
    targetColumn[e] = static_cast<double>(q) + 1.0;
    double sum = 0.0;
    for (std::int32_t m = 0; m < count; ++m) {
        const std::ptrdiff_t plane = static_cast<std::ptrdiff_t>(m) * stride;
        const double difference = image[p + plane] - image[q + plane];
        sum += difference * difference;
    }
    colourColumn[e] = sum != sum ? canonicalNan() : sum;
    lengthColumn[e] = squaredLengths[offsetPositions[e]];
}

template <int Channels>
void writeColumns(const std::int32_t *sources, const std::int32_t *targets, const std::int32_t *offsetPositions,
                  std::size_t edgeCount, const double *image, std::ptrdiff_t stride, std::int32_t channels,
                  const double *squaredLengths, double *sourceColumn, double *targetColumn, double *colourColumn,
                  double *lengthColumn)
{
    std::size_t e = 0;
#if PALLANT_SSE2
    // Two edges at a time, one per lane of a 128-bit register: each lane
    // makes exactly the scalar sequence of separately rounded operations
    // (SSE2 has no fused multiply-add), so the bits are those of the scalar
    // code.  x86-64 always has SSE2.
    const std::int32_t count = Channels >= 0 ? Channels : channels;
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d nan = _mm_set1_pd(canonicalNan());
    for (; e + 2 <= edgeCount; e += 2) {
        const std::int32_t p0 = sources[e], p1 = sources[e + 1];
        const std::int32_t q0 = targets[e], q1 = targets[e + 1];
        const __m128i p = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(sources + e));
        const __m128i q = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(targets + e));
        _mm_storeu_pd(sourceColumn + e, _mm_add_pd(_mm_cvtepi32_pd(p), one));
        _mm_storeu_pd(targetColumn + e, _mm_add_pd(_mm_cvtepi32_pd(q), one));
        __m128d sum = _mm_setzero_pd();
        const double *plane = image;
        for (std::int32_t m = 0; m < count; ++m, plane += stride) {
            const __m128d from = _mm_loadh_pd(_mm_load_sd(plane + p0), plane + p1);
            const __m128d to = _mm_loadh_pd(_mm_load_sd(plane + q0), plane + q1);
            const __m128d difference = _mm_sub_pd(from, to);
            sum = _mm_add_pd(sum, _mm_mul_pd(difference, difference));
        }
        const __m128d isNan = _mm_cmpunord_pd(sum, sum);
        sum = _mm_or_pd(_mm_andnot_pd(isNan, sum), _mm_and_pd(isNan, nan));
        _mm_storeu_pd(colourColumn + e, sum);
        _mm_storeu_pd(lengthColumn + e, _mm_loadh_pd(_mm_load_sd(squaredLengths + offsetPositions[e]),
                                                     squaredLengths + offsetPositions[e + 1]));
    }
#endif
    for (; e < edgeCount; ++e) {
        writeOneEdge<Channels>(e, sources, targets, offsetPositions, image, stride, channels, squaredLengths,
                               sourceColumn, targetColumn, colourColumn, lengthColumn);
    }
}

}  // namespace

void writeEdgeColumns(const OffsetEdgeList &edges, const double *image, std::int32_t planeStride,
                      std::int32_t channels, const double *squaredLengths, double *sourceColumn,
                      double *targetColumn, double *colourColumn, double *lengthColumn)
{
    const std::size_t edgeCount = edges.sources.size();
    const std::int32_t *s = edges.sources.data();
    const std::int32_t *t = edges.targets.data();
    const std::int32_t *o = edges.offsetPositions.data();
    const std::ptrdiff_t stride = planeStride;
    switch (channels) {
    case 1:
        writeColumns<1>(s, t, o, edgeCount, image, stride, channels, squaredLengths, sourceColumn, targetColumn,
                        colourColumn, lengthColumn);
        break;
    case 3:
        writeColumns<3>(s, t, o, edgeCount, image, stride, channels, squaredLengths, sourceColumn, targetColumn,
                        colourColumn, lengthColumn);
        break;
    default:
        writeColumns<-1>(s, t, o, edgeCount, image, stride, channels, squaredLengths, sourceColumn, targetColumn,
                         colourColumn, lengthColumn);
        break;
    }
}

}  // namespace pallant
