// The built kestrow MEX file, loaded into the test host.
#include "kestrow_reference.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testhost::Array;
using testhost::CallResult;
using testhost::makeArray;
using testhost::makeDouble;
using kestrow_test::bits;

const testhost::MexFile &mex()
{
    static const testhost::MexFile file(testhost::mexPath("kestrow"));
    return file;
}

struct Outcome {
    CallResult result;
    std::string written;
    std::string flushed;
};

// The MEX file carries its own C++ runtime, so its std::cout is its own: what
// it prints is read where it ends up, on the process's standard output.
Outcome call(int nlhs, const std::vector<const mxArray *> &inputs)
{
    const testhost::CapturedStdout output;
    Outcome o;
    o.result = mex().call(nlhs, inputs);
    o.flushed = output.delivered();
    o.written = output.written();
    return o;
}

// A failed call that printed `printed` (all of it flushed before the error)
// and created nothing.
void expectFailure(const Outcome &o, const std::string &message, const std::string &printed)
{
    EXPECT_TRUE(o.result.failed);
    EXPECT_EQ(o.result.message, message);
    EXPECT_EQ(o.written, printed);
    EXPECT_EQ(o.flushed, printed);
    EXPECT_EQ(o.result.arraysLeft, 0u);
    EXPECT_EQ(o.result.blocksLeft, 0u);
}

Array dbl(std::size_t rows, std::size_t cols, double fill = 0.5)
{
    return Array(makeDouble({rows, cols}, std::vector<double>(rows * cols, fill)));
}

// Valid inputs: X 3-by-4, MU 3-by-1, IS 3-by-3, K 1-by-1.
struct Inputs {
    Array X = dbl(3, 4);
    Array MU = dbl(3, 1);
    Array IS = dbl(3, 3);
    Array K = dbl(1, 1);

    std::vector<const mxArray *> with(int position, const mxArray *replacement) const
    {
        std::vector<const mxArray *> in = {X, MU, IS, K};
        in[static_cast<std::size_t>(position)] = replacement;
        return in;
    }
    std::vector<const mxArray *> all() const { return {X, MU, IS, K}; }
};

TEST(kestrowGateway, CountsAreCheckedFirstInputsBeforeOutputs)
{
    const Array bad(makeArray(mxSINGLE_CLASS, {2, 2, 2}, true));
    struct Case {
        int nlhs;
        int nrhs;
        const char *message;
    };
    for (const Case &c : {Case{1, 3, "4 input arguments expected."}, Case{1, 5, "4 input arguments expected."},
                          Case{0, 0, "4 input arguments expected."}, Case{2, 3, "4 input arguments expected."},
                          Case{0, 4, "1 output argument expected."}, Case{2, 4, "1 output argument expected."}}) {
        // The inputs are bad in every way, yet only the counts are reported.
        const std::vector<const mxArray *> in(static_cast<std::size_t>(c.nrhs), bad.get());
        expectFailure(call(c.nlhs, in), c.message, "");
    }
}

TEST(kestrowGateway, InputDiagnosticNamesTheFirstBadInputOnly)
{
    const Inputs ok;
    const Array single(makeArray(mxSINGLE_CLASS, {3, 4}));
    const Array complexMU(makeArray(mxDOUBLE_CLASS, {3, 1}, true));
    const Array cube(makeArray(mxDOUBLE_CLASS, {3, 3, 2}));
    const Array intK(makeArray(mxINT32_CLASS, {1, 1}));
    const Array everythingWrong(makeArray(mxSINGLE_CLASS, {3, 4, 2}, true));
    const Array sparseComplex(testhost::makeSparse(mxDOUBLE_CLASS, 3, 1, true));
    struct Case {
        std::vector<const mxArray *> in;
        std::string printed;
    };
    const Case cases[] = {
        {ok.with(0, single), "??? Input 0 is not a real double matrix with 2 dimension(s): "
                             "{double==0,complex==0,ndims==2}\n\n"},
        {ok.with(1, complexMU), "??? Input 1 is not a real double matrix with 2 dimension(s): "
                                "{double==1,complex==1,ndims==2}\n\n"},
        {ok.with(2, cube), "??? Input 2 is not a real double matrix with 2 dimension(s): "
                           "{double==1,complex==0,ndims==3}\n\n"},
        {ok.with(3, intK), "??? Input 3 is not a real double matrix with 2 dimension(s): "
                           "{double==0,complex==0,ndims==2}\n\n"},
        // All three properties are shown, also those the failed test did not reach.
        {ok.with(0, everythingWrong), "??? Input 0 is not a real double matrix with 2 dimension(s): "
                                      "{double==0,complex==1,ndims==3}\n\n"},
        // Several bad inputs: the lowest position only.
        {{ok.X, single, cube, intK}, "??? Input 1 is not a real double matrix with 2 dimension(s): "
                                     "{double==0,complex==0,ndims==2}\n\n"},
        // A complex sparse input fails the complexity test before sparsity is looked at.
        {ok.with(1, sparseComplex), "??? Input 1 is not a real double matrix with 2 dimension(s): "
                                    "{double==1,complex==1,ndims==2}\n\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.printed);
        expectFailure(call(1, c.in), "Error as above", c.printed);
    }
}

TEST(kestrowGateway, SparseInputsAreRefusedBeforeTheirShapeOrData)
{
    const Inputs ok;
    const std::size_t shapes[4][2] = {{3, 4}, {3, 1}, {3, 3}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        const Array sparse(testhost::makeSparse(mxDOUBLE_CLASS, shapes[i][0], shapes[i][1]));
        expectFailure(call(1, ok.with(i, sparse)),
                      "Input " + std::to_string(i) + " is sparse; a full real double matrix is expected.", "");
    }
    // Also when its shape is wrong too: no shape diagnostic.
    const Array sparseRow(testhost::makeSparse(mxDOUBLE_CLASS, 1, 3));
    expectFailure(call(1, ok.with(1, sparseRow)), "Input 1 is sparse; a full real double matrix is expected.", "");
}

TEST(kestrowGateway, SizesBeyond32BitsAreRefusedNotTruncated)
{
    const Inputs ok;
    const std::size_t big = std::size_t{1} << 32;  // would narrow to 0
    const std::string tooLarge = " has more than 2147483647 rows or columns.";
    // Shape-only arrays have no data: reading it would crash.
    const Array tallX(testhost::makeShapeOnly(mxDOUBLE_CLASS, {big + 3, 1}));
    const Array wideX(testhost::makeShapeOnly(mxDOUBLE_CLASS, {3, big + 4}));
    const Array tallMU(testhost::makeShapeOnly(mxDOUBLE_CLASS, {big + 3, 1}));
    expectFailure(call(1, ok.with(0, tallX)), "Input 0" + tooLarge, "");
    expectFailure(call(1, ok.with(0, wideX)), "Input 0" + tooLarge, "");
    expectFailure(call(1, ok.with(1, tallMU)), "Input 1" + tooLarge, "");

    // The largest count that fits is taken as it is.
    const Array widestX(testhost::makeShapeOnly(mxDOUBLE_CLASS, {3, 2147483647}));
    const Array rowMU = dbl(1, 3);
    expectFailure(call(1, {widestX, rowMU, ok.IS, ok.K}), "Input dimensions are not consistent.",
                  "D: 3\nN: 2147483647\nX is [ 3 x 2147483647 ]\nMU is [ 1 x 3 ]\nIS is [ 3 x 3 ]\nK is [ 1 x 1 ]\n");
}

TEST(kestrowGateway, ShapeDiagnosticShowsDNAndAllFourShapes)
{
    const Array X = dbl(3, 100);
    const Array MU = dbl(3, 1);
    const Array rowMU = dbl(1, 3);
    const Array IS = dbl(3, 3);
    const Array K = dbl(1, 1);
    const Array emptyK = dbl(0, 0);
    const Array wideK = dbl(1, 2);
    const Array flatIS = dbl(3, 2);
    const Array X2 = dbl(2, 5);
    struct Case {
        std::vector<const mxArray *> in;
        std::string printed;
    };
    const Case cases[] = {
        {{X, rowMU, IS, K}, "D: 3\nN: 100\nX is [ 3 x 100 ]\nMU is [ 1 x 3 ]\nIS is [ 3 x 3 ]\nK is [ 1 x 1 ]\n"},
        {{X, MU, IS, emptyK}, "D: 3\nN: 100\nX is [ 3 x 100 ]\nMU is [ 3 x 1 ]\nIS is [ 3 x 3 ]\nK is [ 0 x 0 ]\n"},
        {{X, MU, IS, wideK}, "D: 3\nN: 100\nX is [ 3 x 100 ]\nMU is [ 3 x 1 ]\nIS is [ 3 x 3 ]\nK is [ 1 x 2 ]\n"},
        {{X, MU, flatIS, K}, "D: 3\nN: 100\nX is [ 3 x 100 ]\nMU is [ 3 x 1 ]\nIS is [ 3 x 2 ]\nK is [ 1 x 1 ]\n"},
        {{X2, MU, IS, K}, "D: 2\nN: 5\nX is [ 2 x 5 ]\nMU is [ 3 x 1 ]\nIS is [ 3 x 3 ]\nK is [ 1 x 1 ]\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.printed);
        expectFailure(call(1, c.in), "Input dimensions are not consistent.", c.printed);
    }
}

// Runs a valid call and returns its 1-by-N result, checking that nothing was
// printed or left behind and that the inputs are unchanged.
std::vector<double> evaluate(const kestrow_test::Problem &p)
{
    const auto D = static_cast<std::size_t>(p.D);
    const auto N = static_cast<std::size_t>(p.N);
    const Array X(makeDouble({D, N}, p.X));
    const Array MU(makeDouble({D, 1}, p.MU));
    const Array IS(makeDouble({D, D}, p.IS));
    const Array K(makeDouble({1, 1}, {p.K}));
    const Outcome o = call(1, {X, MU, IS, K});
    EXPECT_FALSE(o.result.failed) << o.result.message;
    EXPECT_EQ(o.written, "");
    EXPECT_EQ(o.result.blocksLeft, 0u);
    EXPECT_EQ(o.result.arraysLeft, 0u);
    EXPECT_EQ(bits(testhost::doubles(X)), bits(p.X));
    EXPECT_EQ(bits(testhost::doubles(MU)), bits(p.MU));
    EXPECT_EQ(bits(testhost::doubles(IS)), bits(p.IS));
    if (o.result.failed || o.result.outputs.size() != 1) {
        ADD_FAILURE() << "no result";
        return {};
    }
    const mxArray *v = o.result.outputs[0].get();
    EXPECT_EQ(testhost::classOf(v), mxDOUBLE_CLASS);
    EXPECT_FALSE(testhost::isComplex(v));
    EXPECT_EQ(testhost::dimsOf(v), (std::vector<std::size_t>{1, N}));
    return testhost::doubles(v);
}

TEST(kestrowGateway, ValuesMatchPlainReferenceBitForBit)
{
#if !MEXTK_HAVE_MPFR
    GTEST_SKIP() << "the reference exponential needs MPFR, which this build lacks";
#else
    std::mt19937_64 rng(99);
    for (auto form : {kestrow_test::Form::Definite, kestrow_test::Form::NonSymmetric}) {
        for (int D : {0, 1, 3, 20}) {
            for (int N : {0, 50}) {
                const kestrow_test::Problem p = kestrow_test::randomProblem(rng, D, N, form);
                EXPECT_EQ(bits(evaluate(p)), bits(kestrow_test::reference(p))) << "D=" << D << " N=" << N;
            }
        }
    }
#endif
}

TEST(kestrowGateway, BorderShapesAreAccepted)
{
    // D = 0: N copies of K, the sign of a zero K kept.
    kestrow_test::Problem none;
    none.N = 3;
    none.K = -0.0;
    EXPECT_EQ(bits(evaluate(none)), bits(std::vector<double>(3, -0.0)));

    // MU as a row: for D = 1 row and column coincide.
    const Array X = dbl(1, 2, 2.0);
    const Array MU = dbl(1, 1, 1.0);
    const Array IS = dbl(1, 1, 4.0);
    const Array K = dbl(1, 1, 3.0);
    const Outcome o = call(1, {X, MU, IS, K});
    ASSERT_FALSE(o.result.failed) << o.result.message;
    EXPECT_EQ(bits(testhost::doubles(o.result.outputs[0].get())),
              bits(std::vector<double>(2, std::exp(4.0 * -0.5) * 3.0)));
}

}  // namespace
