// pallant when memory runs out while the edge lists are taken: a clear
// error, the lists built so far released (the sanitizer build's leak checker
// watches), the scratch freed, and no output left behind.
#include "failing_new.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(PallantAlloc, RunningOutOfMemoryForAnyListEndsInAClearError)
{
    const testhost::MexFile mex(testhost::mexPath("pallant"));
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
        const testhost::CallResult res = mex.call(4, {img, r, c});
        failing_new::disarm();
        ASSERT_EQ(failing_new::failures(), before + 1) << "no allocation of the lists' size was made to fail";
        EXPECT_TRUE(res.failed);
        EXPECT_EQ(res.message, "Out of memory while listing the edges\n");
        EXPECT_EQ(res.blocksLeft, 0u);
        EXPECT_TRUE(res.outputs.empty());
    }

    const testhost::CallResult ok = mex.call(4, {img, r, c});
    ASSERT_FALSE(ok.failed) << ok.message;
    EXPECT_EQ(testhost::elementCount(ok.outputs[0].get()), 108u);
}

}  // namespace
