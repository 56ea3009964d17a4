// The forward scan of lookupPairPositions, on plain buffers.
#include "pair_lookup.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::uint32_t>;

// An independent statement of the lookup's outcome: each query is searched
// for afresh from the position given to the query before it.
struct NaiveOutcome {
    bool found = false;  // every query placed
    Words positions;     // the queries placed, in order (1-based)
};

NaiveOutcome naiveLookup(const Words &refFirst, const Words &refSecond, const Words &queryFirst,
                         const Words &querySecond)
{
    NaiveOutcome out;
    std::size_t lowest = 1;
    for (std::size_t p = 0; p < queryFirst.size(); ++p) {
        std::size_t hit = 0;
        for (std::size_t j = lowest; j <= refFirst.size(); ++j) {
            if (refFirst[j - 1] == queryFirst[p] && refSecond[j - 1] == querySecond[p]) {
                hit = j;
                break;
            }
        }
        if (hit == 0) {
            return out;
        }
        out.positions.push_back(static_cast<std::uint32_t>(hit));
        lowest = hit;
    }
    out.found = true;
    return out;
}

// A random reference list over a small alphabet, so that pairs repeat, and
// queries that are mostly a non-decreasing walk through it (with repeats);
// with `stray` > 0, about that share of the queries are random pairs that may
// lie only behind the cursor or nowhere.
struct PairCase {
    Words refFirst, refSecond, queryFirst, querySecond;
};

PairCase randomCase(std::mt19937 &rng, std::size_t refCount, std::size_t queryCount,
                    std::uint32_t alphabet, double stray)
{
    PairCase c;
    std::uniform_int_distribution<std::uint32_t> value(0, alphabet - 1);
    for (std::size_t i = 0; i < refCount; ++i) {
        c.refFirst.push_back(value(rng));
        c.refSecond.push_back(value(rng));
    }
    std::uniform_real_distribution<double> coin(0.0, 1.0);
    std::geometric_distribution<std::size_t> step(0.4);
    std::size_t at = 0;
    for (std::size_t p = 0; p < queryCount; ++p) {
        if (refCount == 0 || coin(rng) < stray) {
            c.queryFirst.push_back(value(rng));
            c.querySecond.push_back(value(rng));
            continue;
        }
        at += step(rng);
        if (at >= refCount) {
            at = refCount - 1;
        }
        c.queryFirst.push_back(c.refFirst[at]);
        c.querySecond.push_back(c.refSecond[at]);
    }
    return c;
}


constexpr std::uint32_t kUnwritten = 0xDEADBEEFu;

struct Outcome {
    bool found;
    Words positions;  // all queryCount elements, kUnwritten where not written
};

// Every buffer has exactly the length the scan may touch, so a read or write
// past it shows in the sanitizer build.
Outcome run(const Words &refFirst, const Words &refSecond, const Words &queryFirst,
            const Words &querySecond)
{
    Words positions(queryFirst.size(), kUnwritten);
    const bool found = modrick::lookupPairPositions(
        refFirst.data(), refSecond.data(), static_cast<std::uint32_t>(refFirst.size()),
        queryFirst.data(), querySecond.data(), static_cast<std::uint32_t>(queryFirst.size()),
        positions.data());
    return {found, positions};
}

// The result must agree with the naive search: the placed prefix, and on
// failure nothing written from the failing query on.
void expectAgreesWithNaive(const Words &rf, const Words &rs, const Words &qf, const Words &qs,
                           const std::string &what)
{
    const auto expected = naiveLookup(rf, rs, qf, qs);
    const Outcome got = run(rf, rs, qf, qs);
    ASSERT_EQ(got.found, expected.found) << what;
    for (std::size_t p = 0; p < got.positions.size(); ++p) {
        if (p < expected.positions.size()) {
            ASSERT_EQ(got.positions[p], expected.positions[p]) << what << ", query " << p;
        } else {
            ASSERT_EQ(got.positions[p], kUnwritten) << what << ", query " << p << " written";
        }
    }
}

TEST(ModrickLookup, NoQueriesSucceedWithoutTouchingAnyBuffer)
{
    // Null buffers: any access would crash.
    for (std::uint32_t refCount : {0u, 1u, 5u, 0xFFFFFFFFu}) {
        EXPECT_TRUE(modrick::lookupPairPositions(nullptr, nullptr, refCount, nullptr, nullptr, 0, nullptr))
            << refCount;
    }
}

TEST(ModrickLookup, EmptyReferenceFailsWithoutReadingIt)
{
    const Words qf{7}, qs{8};
    Words positions{kUnwritten};
    EXPECT_FALSE(modrick::lookupPairPositions(nullptr, nullptr, 0, qf.data(), qs.data(), 1, positions.data()));
    EXPECT_EQ(positions[0], kUnwritten);
}

struct Example {
    const char *name;
    Words refFirst, refSecond, queryFirst, querySecond;
    bool found;
    Words positions;  // expected, kUnwritten where nothing may be written
};

TEST(ModrickLookup, WorkedExamples)
{
    const std::vector<Example> examples = {
        {"repeated query keeps the cursor", {1, 3, 5}, {2, 4, 6}, {3, 3, 5}, {4, 4, 6}, true, {2, 2, 3}},
        {"repeated pair: first at or after the cursor", {1, 3, 1}, {2, 4, 2}, {3, 1}, {4, 2}, true, {2, 3}},
        {"no going back", {1, 3}, {2, 4}, {3, 1}, {4, 2}, false, {2, kUnwritten}},
        {"first elements agree, second do not", {1, 1}, {2, 3}, {1}, {3}, true, {2}},
        {"pairs are ordered", {2}, {1}, {1}, {2}, false, {kUnwritten}},
        {"whole list in order", {4, 9, 4, 0}, {9, 4, 4, 0}, {4, 9, 4, 0}, {9, 4, 4, 0}, true, {1, 2, 3, 4}},
        {"last pair matched, next query differs", {1, 3}, {2, 4}, {3, 3}, {4, 5}, false, {2, kUnwritten}},
        {"gaps are passed over", {1, 2, 3, 4, 5}, {0, 0, 0, 0, 0}, {2, 5}, {0, 0}, true, {2, 5}},
        {"failure after several placed", {1, 2, 3}, {1, 2, 3}, {1, 3, 2, 3}, {1, 3, 2, 3}, false,
         {1, 3, kUnwritten, kUnwritten}},
        {"second element matches alone", {5, 6}, {1, 1}, {7}, {1}, false, {kUnwritten}},
    };
    for (const Example &ex : examples) {
        const Outcome got = run(ex.refFirst, ex.refSecond, ex.queryFirst, ex.querySecond);
        EXPECT_EQ(got.found, ex.found) << ex.name;
        EXPECT_EQ(got.positions, ex.positions) << ex.name;
    }
}

TEST(ModrickLookup, RandomListsWithRepeatsAgreeWithNaiveSearch)
{
    std::mt19937 rng(20240611u);
    for (int trial = 0; trial < 3000; ++trial) {
        const std::size_t refCount = std::uniform_int_distribution<std::size_t>(0, 40)(rng);
        const std::size_t queryCount = std::uniform_int_distribution<std::size_t>(0, 30)(rng);
        const std::uint32_t alphabet = std::uniform_int_distribution<std::uint32_t>(1, 4)(rng);
        const double stray = trial % 3 == 0 ? 0.0 : 0.1;
        const auto c = randomCase(rng, refCount, queryCount, alphabet, stray);
        expectAgreesWithNaive(c.refFirst, c.refSecond, c.queryFirst, c.querySecond,
                              "trial " + std::to_string(trial));
        if (HasFatalFailure()) {
            return;
        }
    }
}

}  // namespace
