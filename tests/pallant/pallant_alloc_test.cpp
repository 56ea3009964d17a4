// pallant when memory runs out while the edge lists are taken: a clear
// error, the lists taken so far given back, the scratch freed, and no output
// left behind.  Small lists come from operator new (the sanitizer build's
// leak checker watches them), large ones are mappings of their own (counted
// here, since no leak checker sees a mapping).
#include "failing_mmap.h"
#include "failing_new.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

const testhost::MexFile &mex()
{
    static const testhost::MexFile file(testhost::mexPath("pallant"));
    return file;
}

void expectOutOfMemory(const testhost::CallResult &res)
{
    EXPECT_TRUE(res.failed);
    EXPECT_EQ(res.message, "Out of memory while listing the edges\n");
    EXPECT_EQ(res.blocksLeft, 0u);
    EXPECT_TRUE(res.outputs.empty());
}

TEST(PallantAlloc, RunningOutOfMemoryForAnySmallListEndsInAClearError)
{
    // 37 rows, 3 columns, one offset (1, 0): 36*3 = 108 edges, so each of the
    // three lists takes 108 * 4 bytes.
    const testhost::Array img(testhost::makeDouble({37, 3}, std::vector<double>(111, 0.5)));
    const testhost::Array r(testhost::makeInt32({1, 1}, {1}));
    const testhost::Array c(testhost::makeInt32({1, 1}, {0}));
    const std::size_t listBytes = 108 * sizeof(std::int32_t);

    for (std::size_t list = 0; list < 3; ++list) {
        SCOPED_TRACE(list);
        const std::size_t before = failing_new::failures();
        failing_new::arm(listBytes, list);
        const testhost::CallResult res = mex().call(4, {img, r, c});
        failing_new::disarm();
        ASSERT_EQ(failing_new::failures(), before + 1) << "no allocation of the lists' size was made to fail";
        expectOutOfMemory(res);
    }

    const testhost::CallResult ok = mex().call(4, {img, r, c});
    ASSERT_FALSE(ok.failed) << ok.message;
    EXPECT_EQ(testhost::elementCount(ok.outputs[0].get()), 108u);
}

TEST(PallantAlloc, LargeListsAreMappingsGivenBackOnEveryPath)
{
    // 1025 rows, 512 columns, one offset (1, 0): 1024*512 edges, so each list
    // takes 2 MiB, the size from which lists are mapped.
    const std::size_t edges = 1024 * 512;
    const std::size_t listBytes = edges * sizeof(std::int32_t);
    std::vector<double> pixels(1025 * 512);
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        pixels[k] = static_cast<double>(k % 7);
    }
    const testhost::Array img(testhost::makeDouble({1025, 512}, pixels));
    const testhost::Array r(testhost::makeInt32({1, 1}, {1}));
    const testhost::Array c(testhost::makeInt32({1, 1}, {0}));

    // Success: three mappings, all given back, and every edge right (the
    // columns are large enough to be faulted in before they are written).
    const std::size_t heldBefore = failing_mmap::bytesMapped();
    const std::size_t mappingsBefore = failing_mmap::mappings();
    const testhost::CallResult ok = mex().call(4, {img, r, c});
    ASSERT_FALSE(ok.failed) << ok.message;
    EXPECT_EQ(failing_mmap::mappings() - mappingsBefore, 3u) << "the lists were not mapped";
    EXPECT_EQ(failing_mmap::bytesMapped(), heldBefore);
    const std::vector<double> sources = testhost::doubles(ok.outputs[0].get());
    const std::vector<double> targets = testhost::doubles(ok.outputs[1].get());
    const std::vector<double> colours = testhost::doubles(ok.outputs[2].get());
    ASSERT_EQ(sources.size(), edges);
    ASSERT_EQ(colours.size(), edges);
    std::size_t wrong = 0;
    for (std::size_t e = 0; e < edges; ++e) {
        const std::size_t p = e / 1024 * 1025 + e % 1024;  // 0-based source: column e/1024, row e%1024
        const double colour = static_cast<double>((p + 1) % 7) - static_cast<double>(p % 7);
        wrong += sources[e] != static_cast<double>(p + 1) || targets[e] != static_cast<double>(p + 2) ||
                 colours[e] != colour * colour;
    }
    EXPECT_EQ(wrong, 0u);

    // The mapping of any one list fails: the others are given back too.
    for (std::size_t list = 0; list < 3; ++list) {
        SCOPED_TRACE(list);
        const std::size_t failuresBefore = failing_mmap::failures();
        failing_mmap::arm(listBytes, list);
        const testhost::CallResult res = mex().call(4, {img, r, c});
        failing_mmap::disarm();
        ASSERT_EQ(failing_mmap::failures(), failuresBefore + 1) << "no mapping of the lists' size was made to fail";
        expectOutOfMemory(res);
        EXPECT_EQ(failing_mmap::bytesMapped(), heldBefore);
    }

    // Refused for too many edges: nothing is mapped at all.
    const testhost::Array big(testhost::makeShapeOnly(mxDOUBLE_CLASS, {46340, 46340}));
    const testhost::Array twice(testhost::makeInt32({2, 1}, {0, 0}));
    const std::size_t mappingsBeforeRefusal = failing_mmap::mappings();
    const testhost::CallResult refused = mex().call(4, {big, twice, twice});
    EXPECT_EQ(refused.message, "The offsets yield more than 2147483647 edges\n");
    EXPECT_EQ(failing_mmap::mappings(), mappingsBeforeRefusal);
    EXPECT_EQ(failing_mmap::bytesMapped(), heldBefore);
}

}  // namespace
