#include "offset_edges.h"
#include "support/portable_bits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <sstream>
#include <string>
#include <random>
#include <vector>

namespace {

using pallant::OffsetEdgeList;

struct Columns {
    std::vector<double> source, target, colour, length;
};

// Runs the three operations in the gateway's order on plain buffers.
Columns enumerate(std::int32_t h, std::int32_t w, std::int32_t d, const std::vector<double> &image,
                  const std::vector<std::int32_t> &r, const std::vector<std::int32_t> &c)
{
    const auto n = static_cast<std::int32_t>(r.size());
    std::vector<std::int32_t> linear(r.size());
    std::vector<double> lengths(r.size());
    pallant::computeOffsetTables(r.data(), c.data(), n, h, linear.data(), lengths.data());
    const OffsetEdgeList edges = pallant::buildOffsetEdges(h, w, r.data(), c.data(), n, linear.data());
    EXPECT_EQ(edges.sources.size(), edges.targets.size());
    EXPECT_EQ(edges.sources.size(), edges.offsetPositions.size());
    EXPECT_EQ(pallant::countOffsetEdges(h, w, r.data(), c.data(), n), edges.size());
    const auto e = static_cast<std::size_t>(edges.size());
    Columns out{std::vector<double>(e), std::vector<double>(e), std::vector<double>(e), std::vector<double>(e)};
    pallant::writeEdgeColumns(edges, image.empty() ? nullptr : image.data(), h * w, d, lengths.data(),
                              out.source.data(), out.target.data(), out.colour.data(), out.length.data());
    return out;
}

// A deliberately naive enumeration: every pixel, every offset, exact bounds.
Columns naive(std::int32_t h, std::int32_t w, std::int32_t d, const std::vector<double> &image,
              const std::vector<std::int32_t> &r, const std::vector<std::int32_t> &c)
{
    Columns out;
    for (std::int64_t j = 0; j < w; ++j) {
        for (std::int64_t i = 0; i < h; ++i) {
            for (std::size_t k = 0; k < r.size(); ++k) {
                const std::int64_t ti = i + r[k];
                const std::int64_t tj = j + c[k];
                if (ti < 0 || ti >= h || tj < 0 || tj >= w) {
                    continue;
                }
                const std::int64_t p = i + j * h;
                const std::int64_t q = ti + tj * h;
                double sum = 0.0;
                for (std::int64_t m = 0; m < d; ++m) {
                    const double diff = image[static_cast<std::size_t>(p + m * h * w)] -
                                        image[static_cast<std::size_t>(q + m * h * w)];
                    sum += diff * diff;
                }
                out.source.push_back(static_cast<double>(p + 1));
                out.target.push_back(static_cast<double>(q + 1));
                out.colour.push_back(sum);
                out.length.push_back(static_cast<double>(std::int64_t{r[k]} * r[k] + std::int64_t{c[k]} * c[k]));
            }
        }
    }
    return out;
}

void expectColumns(const Columns &got, const Columns &want)
{
    EXPECT_EQ(got.source, want.source);
    EXPECT_EQ(got.target, want.target);
    EXPECT_EQ(got.colour, want.colour);
    EXPECT_EQ(got.length, want.length);
}

const std::vector<double> kImage2x2 = {1, 2, 4, 8};

TEST(OffsetEdges, WorkedExamples)
{
    expectColumns(enumerate(2, 2, 1, kImage2x2, {1, 0, 1}, {0, 1, 1}),
                  {{1, 1, 1, 2, 3}, {2, 3, 4, 4, 4}, {1, 9, 49, 36, 16}, {1, 1, 2, 1, 1}});

    // A fourth offset (-1, 0): for source 2 the edge to 4 (offset 1) comes
    // before the edge to 1 (offset 3): list order, not target order.
    expectColumns(enumerate(2, 2, 1, kImage2x2, {1, 0, 1, -1}, {0, 1, 1, 0}),
                  {{1, 1, 1, 2, 2, 3, 4}, {2, 3, 4, 4, 1, 4, 3}, {1, 9, 49, 36, 1, 16, 16}, {1, 1, 2, 1, 1, 1, 1}});

    // Two channels: the squared differences add up over the planes.
    expectColumns(enumerate(2, 2, 2, {1, 2, 4, 8, 0, 0, 0, 1}, {1, 0, 1}, {0, 1, 1}),
                  {{1, 1, 1, 2, 3}, {2, 3, 4, 4, 4}, {1, 9, 50, 37, 17}, {1, 1, 2, 1, 1}});
}

TEST(OffsetEdges, ZeroRepeatedAndOpposedOffsetsAreKeptAsGiven)
{
    const Columns self = enumerate(2, 2, 1, kImage2x2, {0}, {0});
    expectColumns(self, {{1, 2, 3, 4}, {1, 2, 3, 4}, {0, 0, 0, 0}, {0, 0, 0, 0}});

    const Columns twice = enumerate(2, 2, 1, kImage2x2, {1, 1}, {0, 0});
    expectColumns(twice, {{1, 1, 3, 3}, {2, 2, 4, 4}, {1, 1, 16, 16}, {1, 1, 1, 1}});

    const Columns both = enumerate(2, 2, 1, kImage2x2, {0, 0}, {1, -1});
    expectColumns(both, {{1, 2, 3, 4}, {3, 4, 1, 2}, {9, 36, 9, 36}, {1, 1, 1, 1}});
}

TEST(OffsetEdges, OffsetsThatLeaveTheImageGiveNoEdgeAtAnyMagnitude)
{
    const std::vector<std::int32_t> far = {INT32_MAX, INT32_MIN, 0, 0, 2, -2, INT32_MIN, INT32_MAX};
    const std::vector<std::int32_t> wide = {0, 0, INT32_MAX, INT32_MIN, 0, 0, INT32_MIN, INT32_MIN};
    const Columns got = enumerate(2, 3, 1, {1, 2, 3, 4, 5, 6}, far, wide);
    EXPECT_TRUE(got.source.empty());

    // The tables stay defined for such offsets, and the squared length is
    // exact before its conversion: 2 * 2^62 = 2^63.
    std::vector<std::int32_t> linear(far.size());
    std::vector<double> lengths(far.size());
    pallant::computeOffsetTables(far.data(), wide.data(), static_cast<std::int32_t>(far.size()), 2,
                                 linear.data(), lengths.data());
    EXPECT_EQ(lengths[6], 9223372036854775808.0);
    EXPECT_EQ(lengths[0], 4611686014132420609.0);  // (2^31 - 1)^2
    EXPECT_EQ(lengths[4], 4.0);
    EXPECT_EQ(linear[4], 2);
    EXPECT_EQ(linear[5], -2);

    // An offset of 46341 rows squares to more than 2^31 - 1 and is still exact.
    const std::int32_t big = 46341;
    const std::int32_t none = 0;
    std::int32_t lin = 0;
    double len = 0;
    pallant::computeOffsetTables(&big, &none, 1, 50000, &lin, &len);
    EXPECT_EQ(len, 2147488281.0);
    EXPECT_EQ(lin, 46341);
}

TEST(OffsetEdges, EmptyShapesAndNoChannels)
{
    EXPECT_TRUE(enumerate(0, 5, 1, {}, {0}, {0}).source.empty());
    EXPECT_TRUE(enumerate(5, 0, 1, {}, {0}, {0}).source.empty());
    EXPECT_TRUE(enumerate(2, 2, 1, kImage2x2, {}, {}).source.empty());

    // No channels: every edge of the grid, all colour differences 0, and the
    // image (null here) is never read.
    const Columns got = enumerate(2, 2, 0, {}, {1, 0, 1}, {0, 1, 1});
    expectColumns(got, {{1, 1, 1, 2, 3}, {2, 3, 4, 4, 4}, {0, 0, 0, 0, 0}, {1, 1, 2, 1, 1}});
}

TEST(OffsetEdges, CountMatchesTheBorders)
{
    // 8 neighbours on a 4-by-5 grid: 2*(3*5 + 4*4) straight + 4*3*4 diagonal.
    const std::vector<std::int32_t> r = {-1, 0, 1, -1, 1, -1, 0, 1};
    const std::vector<std::int32_t> c = {-1, -1, -1, 0, 0, 1, 1, 1};
    EXPECT_EQ(pallant::countOffsetEdges(4, 5, r.data(), c.data(), 8), 2 * (15 + 16) + 4 * 12);
    EXPECT_EQ(pallant::countOffsetEdges(4, 5, r.data(), c.data(), 0), 0);
    // A pixel near the border has fewer edges than an inner one.
    const Columns got = enumerate(4, 5, 0, {}, r, c);
    std::vector<int> perSource(21, 0);
    for (double s : got.source) {
        ++perSource[static_cast<std::size_t>(s)];
    }
    EXPECT_EQ(perSource[1], 3);   // corner
    EXPECT_EQ(perSource[2], 5);   // edge
    EXPECT_EQ(perSource[6], 8);   // inner
}

TEST(OffsetEdges, MatchesNaiveEnumerationOnRandomInputs)
{
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<std::int32_t> side(0, 9), chans(0, 4), count(0, 12), step(-5, 5);
    std::uniform_real_distribution<double> value(-100.0, 100.0);
    for (int round = 0; round < 300; ++round) {
        const std::int32_t h = side(rng), w = side(rng), d = chans(rng), n = count(rng);
        std::vector<double> image(static_cast<std::size_t>(h * w * d));
        for (double &v : image) {
            v = value(rng);
        }
        std::vector<std::int32_t> r(static_cast<std::size_t>(n)), c(static_cast<std::size_t>(n));
        for (std::size_t k = 0; k < r.size(); ++k) {
            r[k] = step(rng);
            c[k] = step(rng);
        }
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << h << "x" << w << "x" << d << ", n=" << n);
        expectColumns(enumerate(h, w, d, image, r, c), naive(h, w, d, image, r, c));
    }
}

// The same bits on every platform: three fixed images (1, 3 and 5 channels)
// of colour values with full significands at scales from 2^-20 to 2^200,
// so that every difference, square and sum rounds, with NaNs of every sign
// and payload, infinities and subnormals among them, through a fixed offset
// list.  The four columns' bits, hashed, must be kColumnsHash, which the
// naive enumeration gives too once its NaNs are made the one NaN.
TEST(pallantBits, ColumnsHashIsTheSameOnEveryPlatform)
{
    constexpr std::uint64_t kColumnsHash = 0x56D9CF0ADED93553u;
    static const std::uint64_t kSpecials[] = {0x7FF8000000000000u, 0xFFF8000000000000u, 0x7FF80000DEADBEEFu,
                                              0xFFF4000000000123u, 0x7FF0000000000000u, 0xFFF0000000000000u,
                                              0x0000000000000001u, 0x800FFFFFFFFFFFFFu};
    const std::vector<std::int32_t> r = {1, 0, 1, -1, 0, 2, -5, 1, 20, 0, 3, -2};
    const std::vector<std::int32_t> c = {0, 1, 1, 1, 0, -3, 4, 0, 0, -2, 3, -7};
    const std::int32_t shapes[][3] = {{17, 13, 1}, {16, 11, 3}, {9, 14, 5}};
    portable_bits::SplitMix64 g(0x70616C6C616E74u);
    portable_bits::Fnv1a got, naiveHash;
    int nans = 0, infinities = 0;
    for (const auto &shape : shapes) {
        const std::int32_t h = shape[0], w = shape[1], d = shape[2];
        std::vector<double> image(static_cast<std::size_t>(h * w * d));
        for (double &v : image) {
            switch (g.below(12)) {
            case 0:
                v = portable_bits::fromBits(kSpecials[g.below(8)]);
                break;
            case 1:
                v = std::ldexp(g.unit(), -20);
                break;
            case 2:
                v = std::ldexp(g.unit(), 200);
                break;
            default:
                v = 127.5 + 127.5 * g.unit();
                break;
            }
        }
        const Columns columns = enumerate(h, w, d, image, r, c);
        for (const std::vector<double> *column : {&columns.source, &columns.target, &columns.colour, &columns.length}) {
            got.add(*column);
        }
        Columns want = naive(h, w, d, image, r, c);
        for (double &v : want.colour) {
            nans += std::isnan(v) ? 1 : 0;
            infinities += std::isinf(v) ? 1 : 0;
            v = std::isnan(v) ? portable_bits::fromBits(pallant::kCanonicalNan) : v;
        }
        for (const std::vector<double> *column : {&want.source, &want.target, &want.colour, &want.length}) {
            naiveHash.add(*column);
        }
    }
    const auto hex = [](std::uint64_t v) {
        std::ostringstream s;
        s << "0x" << std::hex << std::uppercase << std::setw(16) << std::setfill('0') << v;
        return s.str();
    };
    EXPECT_EQ(hex(got.value()), hex(kColumnsHash));
    EXPECT_EQ(hex(naiveHash.value()), hex(kColumnsHash));
    EXPECT_GT(nans, 0);
    EXPECT_GT(infinities, 0);
}

}  // namespace
