// kestrow when the evaluator's difference vector cannot be obtained.
//
// This executable makes chosen allocations fail, those of the MEX file loaded
// into it too (failing_new.h).  The evaluator's difference scratch, of
// the size the path it runs on takes, is the only allocation of that size in
// the call, and it is made to fail.
#include "column_gaussian.h"
#include "failing_new.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(kestrowAlloc, ScratchFailureEndsTheCallWithAClearError)
{
    const testhost::MexFile mex(testhost::mexPath("kestrow"));
    const std::size_t D = 777;
    const testhost::Array X(testhost::makeDouble({D, 2}, std::vector<double>(2 * D, 1.0)));
    const testhost::Array MU(testhost::makeDouble({D, 1}, std::vector<double>(D, 0.0)));
    const testhost::Array IS(testhost::makeDouble({D, D}, std::vector<double>(D * D, 0.0)));
    const testhost::Array K(testhost::makeDouble({1, 1}, {1.0}));

    failing_new::arm(kestrow::scratchDoubles(crexp::widestIsa(), static_cast<std::int32_t>(D)) * sizeof(double));
    const testhost::CallResult failed = mex.call(1, {X, MU, IS, K});
    failing_new::disarm();
    ASSERT_EQ(failing_new::failures(), 1u) << "the failing allocation was not used";
    EXPECT_TRUE(failed.failed);
    EXPECT_EQ(failed.message, "Out of memory: the difference vector of D doubles could not be obtained.");
    EXPECT_EQ(failed.blocksLeft, 0u);
    // Whatever the gateway held is released: the leak checker of the
    // sanitizer build sees the rest.

    // The same call with memory to spare succeeds.
    const testhost::CallResult ok = mex.call(1, {X, MU, IS, K});
    ASSERT_FALSE(ok.failed) << ok.message;
    EXPECT_EQ(testhost::doubles(ok.outputs[0].get()), std::vector<double>(2, 1.0));
}

}  // namespace
