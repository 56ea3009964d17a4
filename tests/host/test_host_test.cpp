// The test host behaves as the real host may: an error leaves the gateway
// without running its destructors, and the host reclaims the scratch blocks
// and arrays of every call.
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(TestHost, AnErrorLeavesTheGatewayWithoutUnwindingIt)
{
    const testhost::MexFile probe(testhost::mexPath("probe"));
    const testhost::Array counter(testhost::makeArray(mxUINT64_CLASS, {1, 1}));
    const auto *count = static_cast<const std::uint64_t *>(testhost::realData(counter.get()));

    const testhost::CallResult ok = probe.call(1, {counter});
    EXPECT_FALSE(ok.failed);
    EXPECT_EQ(*count, 1u);  // a call that returns runs its destructors
    EXPECT_EQ(ok.blocksTaken, 1u);
    EXPECT_EQ(ok.blocksLeft, 1u);
    ASSERT_EQ(ok.outputs.size(), 1u);
    EXPECT_EQ(testhost::dimsOf(ok.outputs[0].get()), (std::vector<std::size_t>{1, 1}));

    const testhost::CallResult failed = probe.call(1, {counter, counter});
    EXPECT_TRUE(failed.failed);
    EXPECT_EQ(failed.message, "probe: error\n");
    EXPECT_EQ(*count, 1u);  // the error skipped the destructor
    EXPECT_EQ(failed.blocksLeft, 1u);
    EXPECT_TRUE(failed.outputs.empty());  // the stored output is the host's again
}

}  // namespace
