// The modrick MEX file through the test host: its checks, their messages and
// order, and the result it returns.
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using testhost::Array;
using testhost::CallResult;
using Words = std::vector<std::uint32_t>;

const std::string kInputsRequired = "4 input arguments are required.";
const std::string kOutputsRequired = "1 output arguments are required.";
const std::string kUnexpected = "Unexpected input combination\n";

std::string classMessage(char letter)
{
    return std::string("Input ") + letter + " must be a real, full int32 or uint32 array.";
}

class ModrickGateway : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mex_ = new testhost::MexFile(testhost::mexPath("modrick")); }
    static void TearDownTestSuite()
    {
        delete mex_;
        mex_ = nullptr;
    }

    static CallResult call(int nlhs, const std::vector<const mxArray *> &inputs)
    {
        return mex_->call(nlhs, inputs);
    }

    static Array column(const Words &v) { return Array(testhost::makeUint32({v.size(), 1}, v)); }

    // A failed call: its exact message, and nothing left behind.
    static void expectRefused(const CallResult &r, const std::string &message, const std::string &what)
    {
        EXPECT_TRUE(r.failed) << what;
        EXPECT_EQ(r.message, message) << what;
        EXPECT_EQ(r.blocksLeft, 0u) << what;
    }

    // A call that returned P, and nothing else, as an m-by-1 uint32 array.
    static Words expectResult(const CallResult &r, std::size_t m, const std::string &what)
    {
        EXPECT_FALSE(r.failed) << what << ": " << r.message;
        if (r.failed || r.outputs.empty() || !r.outputs[0].get()) {
            ADD_FAILURE() << what << ": no result";
            return {};
        }
        const mxArray *P = r.outputs[0].get();
        EXPECT_EQ(testhost::classOf(P), mxUINT32_CLASS) << what;
        EXPECT_FALSE(testhost::isComplex(P)) << what;
        EXPECT_EQ(testhost::dimsOf(P), (std::vector<std::size_t>{m, 1})) << what;
        EXPECT_EQ(r.arraysLeft, 0u) << what;
        EXPECT_EQ(r.blocksLeft, 0u) << what;
        return testhost::uint32s(P);
    }

    static testhost::MexFile *mex_;
};

testhost::MexFile *ModrickGateway::mex_ = nullptr;

TEST_F(ModrickGateway, CountsAreTestedFirstInputsBeforeOutputs)
{
    // Inputs of a refused class and without data: the counts come before
    // anything is looked at.
    Array bad(testhost::makeShapeOnly(mxDOUBLE_CLASS, {3, 1}));
    const mxArray *b = bad.get();
    expectRefused(call(0, {}), kInputsRequired, "no input, no output");
    expectRefused(call(1, {b, b, b}), kInputsRequired, "three inputs");
    expectRefused(call(0, {b, b, b}), kInputsRequired, "three inputs, no output");
    expectRefused(call(0, {b, b, b, b}), kOutputsRequired, "four inputs, no output");
    expectRefused(call(0, {b, b, b, b, b}), kOutputsRequired, "five inputs, no output");
}

TEST_F(ModrickGateway, RefusesEveryInputThatIsNotFullRealInt32OrUint32BeforeReadingData)
{
    std::vector<std::pair<std::string, std::function<mxArray *()>>> kinds;
    // Shape-only arrays have no data: reading one would crash the test.
    for (mxClassID cls : {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS, mxUINT8_CLASS, mxINT16_CLASS,
                          mxUINT16_CLASS, mxINT64_CLASS, mxUINT64_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,
                          mxCELL_CLASS, mxSTRUCT_CLASS, mxFUNCTION_CLASS, mxUNKNOWN_CLASS}) {
        kinds.emplace_back("class " + std::to_string(cls),
                           [cls] { return testhost::makeShapeOnly(cls, {3, 1}); });
    }
    for (mxClassID cls : {mxINT32_CLASS, mxUINT32_CLASS, mxDOUBLE_CLASS}) {
        kinds.emplace_back("complex class " + std::to_string(cls),
                           [cls] { return testhost::makeArray(cls, {3, 1}, true); });
    }
    kinds.emplace_back("sparse double", [] { return testhost::makeSparse(mxDOUBLE_CLASS, 3, 1); });
    kinds.emplace_back("sparse logical", [] { return testhost::makeSparse(mxLOGICAL_CLASS, 3, 1); });
    kinds.emplace_back("empty double", [] { return testhost::makeArray(mxDOUBLE_CLASS, {0, 0}); });

    Array good = column({1, 2, 3});
    for (const auto &kind : kinds) {
        for (int slot = 0; slot < 4; ++slot) {
            Array bad(kind.second());
            std::vector<const mxArray *> in(4, good.get());
            in[static_cast<std::size_t>(slot)] = bad.get();
            const std::string what = kind.first + " in slot " + std::to_string(slot);
            expectRefused(call(1, in), classMessage(static_cast<char>('A' + slot)), what);
        }
    }

    // Several bad inputs: the lowest slot is named.
    Array d1(testhost::makeShapeOnly(mxDOUBLE_CLASS, {3, 1}));
    Array d2(testhost::makeSparse(mxDOUBLE_CLASS, 3, 1));
    expectRefused(call(1, {good, d1, good, d2}), classMessage('B'), "B and D bad");
    expectRefused(call(1, {good, good, d2, d1}), classMessage('C'), "C and D bad");
    // Class before size: a short B does not hide a bad D.
    Array shortB = column({1});
    expectRefused(call(1, {good, shortB, good, d1}), classMessage('D'), "short B, double D");
}

TEST_F(ModrickGateway, RefusesInputsWithFewerWordsThanAreReadBeforeReadingData)
{
    // All shape-only: any read of data would crash.
    auto shape = [](std::vector<std::size_t> dims, mxClassID cls = mxUINT32_CLASS) {
        return Array(testhost::makeShapeOnly(cls, dims));
    };
    const std::size_t kU32 = 4294967295u;
    const std::size_t kI32 = 2147483647u;
    Array a3 = shape({3, 1}), a3x0 = shape({3, 0}), a3x0x2 = shape({3, 0, 2}), row2 = shape({1, 2}),
          a2 = shape({2, 1}, mxINT32_CLASS), empty = shape({0, 0}), tooManyA = shape({kU32 + 1, 1}),
          tooManyC = shape({kI32 + 1, 1}), huge = shape({kU32 * 2 + 2, 1});

    struct Case {
        const char *what;
        std::vector<const mxArray *> in;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"A rows without columns", {a3x0, a3, a3, a3}, "Input A has fewer elements than rows."},
        {"A rows, no elements (3-D)", {a3x0x2, a3, a3, a3}, "Input A has fewer elements than rows."},
        {"B shorter than A", {a3, a2, a3, a3}, "Input B has fewer elements than A has rows."},
        {"B empty", {a3, empty, a3, a3}, "Input B has fewer elements than A has rows."},
        {"C rows without columns", {a3, a3, a3x0, a3}, "Input C has fewer elements than rows."},
        {"D shorter than C", {a3, a3, a3, row2}, "Input D has fewer elements than C has rows."},
        {"A too tall", {tooManyA, huge, a3, a3}, "Input A has more than 4294967295 rows."},
        {"C too tall", {a3, a3, tooManyC, huge}, "Input C has more than 2147483647 rows."},
        {"A before B before C before D", {a3x0, a2, a3x0, row2}, "Input A has fewer elements than rows."},
        {"B before C", {a3, a2, tooManyC, row2}, "Input B has fewer elements than A has rows."},
        {"C before D", {a3, a3, a3x0, row2}, "Input C has fewer elements than rows."},
    };
    for (const Case &c : cases) {
        expectRefused(call(1, c.in), c.message, c.what);
    }

    // The largest unsigned 32-bit reference count passes; with no query
    // nothing is read.
    Array tallest = shape({kU32, 1}), noQuery = shape({0, 1});
    expectResult(call(1, {tallest, tallest, noQuery, empty}), 0, "4294967295 reference rows");
}

// Results, shapes and the int32/uint32 mix are tested from Octave as well
// (tests/octave/test_modrick.m); here what only the host can see.
TEST_F(ModrickGateway, SetsOnlyPIgnoresAFifthInputAndLeavesNothingOnFailure)
{
    Array rf = column({1, 3, 5}), rs = column({2, 4, 6}), qf = column({3, 3, 5}), qs = column({4, 4, 6});
    Array ignored(testhost::makeShapeOnly(mxCELL_CLASS, {1, 1}));
    const CallResult r = call(2, {rf, rs, qf, qs, ignored});
    EXPECT_EQ(expectResult(r, 3, "fifth input, two outputs"), (Words{2, 2, 3}));
    ASSERT_EQ(r.outputs.size(), 2u);
    EXPECT_EQ(r.outputs[1].get(), nullptr);

    Array emptyA(testhost::makeUint32({0, 0}, {})), noRows = column({});
    EXPECT_TRUE(expectResult(call(1, {emptyA, emptyA, noRows, noRows}), 0, "no query, empty A").empty());

    const CallResult failed = call(1, {rf, rs, column({5, 1}), column({6, 2})});
    expectRefused(failed, kUnexpected, "query behind the cursor");
    EXPECT_TRUE(failed.outputs.empty());
}

}  // namespace
