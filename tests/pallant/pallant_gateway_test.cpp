// The built pallant MEX file, loaded into the test host.
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using testhost::Array;
using testhost::CallResult;

const testhost::MexFile &mex()
{
    static const testhost::MexFile file(testhost::mexPath("pallant"));
    return file;
}

Array int32Column(const std::vector<std::int32_t> &v) { return Array(testhost::makeInt32({v.size(), 1}, v)); }

Array image2x2() { return Array(testhost::makeDouble({2, 2}, {1, 2, 4, 8})); }

// A failed call must leave nothing behind but what the host reclaims.
void expectError(const CallResult &r, const std::string &message)
{
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.message, message);
    EXPECT_TRUE(r.outputs.empty());
}

void expectColumn(const Array &a, const std::vector<double> &want)
{
    EXPECT_EQ(testhost::classOf(a.get()), mxDOUBLE_CLASS);
    EXPECT_FALSE(testhost::isComplex(a.get()));
    EXPECT_EQ(testhost::dimsOf(a.get()), (std::vector<std::size_t>{want.size(), 1}));
    EXPECT_EQ(testhost::doubles(a.get()), want);
}

TEST(PallantGateway, CountsAreCheckedFirstInputsBeforeOutputs)
{
    const Array img = image2x2(), r = int32Column({1}), c = int32Column({0});
    expectError(mex().call(4, {img, r}), "3 input arguments expected.");
    expectError(mex().call(0, {img, r, c, c}), "3 input arguments expected.");
    expectError(mex().call(0, {}), "3 input arguments expected.");
    for (int nlhs : {0, 1, 3, 5}) {
        expectError(mex().call(nlhs, {img, r, c}), "4 output arguments expected.");
    }
}

TEST(PallantGateway, ClassChecksInOrderFirstFailureWins)
{
    const Array img = image2x2(), r = int32Column({1}), c = int32Column({0});
    const Array single(testhost::makeArray(mxSINGLE_CLASS, {2, 2}));
    const Array bytes(testhost::makeArray(mxUINT8_CLASS, {2, 2}));
    const Array dr(testhost::makeDouble({1, 1}, {1})), dc(testhost::makeDouble({1, 1}, {0}));
    const Array ur(testhost::makeUint32({1, 1}, {1}));
    const std::string image = "prhs[0] (image) shd be of type double\n";
    const std::string roff = "prhs[1] (roffset) shd be of type int32\n";
    const std::string coff = "prhs[2] (coffset) shd be of type int32\n";

    expectError(mex().call(4, {single, dr, dc}), image);
    expectError(mex().call(4, {bytes, r, c}), image);
    expectError(mex().call(4, {img, dr, dc}), roff);
    expectError(mex().call(4, {img, ur, c}), roff);
    expectError(mex().call(4, {img, r, dc}), coff);
    // Wrong class wins over wrong size.
    const Array rowOffsets(testhost::makeDouble({1, 2}, {1, 0}));
    expectError(mex().call(4, {img, r, rowOffsets}), coff);
}

TEST(PallantGateway, OffsetShapes)
{
    const Array img = image2x2();
    const std::string bad = "Invalid size for roffset or coffset\n";
    const Array row(testhost::makeInt32({1, 2}, {1, 0}));
    const Array empty00(testhost::makeInt32({0, 0}, {}));
    const Array empty10(testhost::makeInt32({1, 0}, {}));
    const Array one = int32Column({1}), two = int32Column({1, 0});
    const Array cube(testhost::makeInt32({2, 1, 2}, {1, 0, 1, 0}));

    expectError(mex().call(4, {img, row, row}), bad);
    expectError(mex().call(4, {img, one, row}), bad);
    expectError(mex().call(4, {img, empty00, empty00}), bad);
    expectError(mex().call(4, {img, empty10, empty10}), bad);
    expectError(mex().call(4, {img, two, one}), bad);
    expectError(mex().call(4, {img, cube, cube}), bad);
    // Row counts past 32 bits never match after narrowing (2^32 + 1 would
    // narrow to 1): refused, and never read (these arrays have no data).
    const Array tall(testhost::makeShapeOnly(mxINT32_CLASS, {(std::size_t{1} << 32) + 1, 1}));
    const Array tall31(testhost::makeShapeOnly(mxINT32_CLASS, {std::size_t{1} << 31, 1}));
    expectError(mex().call(4, {img, tall, tall}), bad);
    expectError(mex().call(4, {img, tall31, tall31}), bad);
    // Nor may a narrowed count pass for the other list's: 2^32 + 1 rows of
    // roffset beside one row of coffset.
    expectError(mex().call(4, {img, tall, one}), bad);

    // 0-by-1 offsets are valid: four empty columns.
    const Array none = int32Column({});
    const CallResult r = mex().call(4, {img, none, none});
    ASSERT_FALSE(r.failed) << r.message;
    ASSERT_EQ(r.outputs.size(), 4u);
    for (const Array &out : r.outputs) {
        expectColumn(out, {});
    }
}

TEST(PallantGateway, WorkedExampleAndScratchReleased)
{
    const Array img = image2x2(), r = int32Column({1, 0, 1}), c = int32Column({0, 1, 1});
    const CallResult res = mex().call(4, {img, r, c});
    ASSERT_FALSE(res.failed) << res.message;
    ASSERT_EQ(res.outputs.size(), 4u);
    expectColumn(res.outputs[0], {1, 1, 1, 2, 3});
    expectColumn(res.outputs[1], {2, 3, 4, 4, 4});
    expectColumn(res.outputs[2], {1, 9, 49, 36, 16});
    expectColumn(res.outputs[3], {1, 1, 2, 1, 1});
    EXPECT_EQ(res.blocksTaken, 2u);
    EXPECT_EQ(res.blocksLeft, 0u);
    EXPECT_EQ(res.arraysLeft, 0u);
}

TEST(PallantGateway, ChannelsDimensionsAndComplexImages)
{
    const Array r = int32Column({1, 0, 1}), c = int32Column({0, 1, 1});

    const Array twoPlanes(testhost::makeDouble({2, 2, 2}, {1, 2, 4, 8, 0, 0, 0, 1}));
    CallResult res = mex().call(4, {twoPlanes, r, c});
    ASSERT_FALSE(res.failed) << res.message;
    expectColumn(res.outputs[2], {1, 9, 50, 37, 17});

    // Four dimensions count as one channel: only the first plane is read.
    const Array fourD(testhost::makeDouble({2, 2, 2, 2}, {1, 2, 4, 8, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}));
    res = mex().call(4, {fourD, r, c});
    ASSERT_FALSE(res.failed) << res.message;
    expectColumn(res.outputs[2], {1, 9, 49, 36, 16});

    // No channels: every edge, all differences 0.  An empty image of four
    // dimensions has no plane to read either (it was once read as one).
    for (const std::vector<std::size_t> &dims :
         {std::vector<std::size_t>{2, 2, 0}, std::vector<std::size_t>{2, 2, 0, 2},
          std::vector<std::size_t>{2, 2, 3, 0}}) {
        const Array noPlanes(testhost::makeArray(mxDOUBLE_CLASS, dims));
        res = mex().call(4, {noPlanes, r, c});
        ASSERT_FALSE(res.failed) << res.message;
        expectColumn(res.outputs[0], {1, 1, 1, 2, 3});
        expectColumn(res.outputs[2], {0, 0, 0, 0, 0});
    }

    // A complex image: only the real parts are read.
    Array complexImage(testhost::makeArray(mxDOUBLE_CLASS, {2, 2}, true));
    auto *re = static_cast<double *>(testhost::realData(complexImage.get()));
    auto *im = static_cast<double *>(testhost::imagData(complexImage.get()));
    const double reals[] = {1, 2, 4, 8};
    for (int k = 0; k < 4; ++k) {
        re[k] = reals[k];
        im[k] = 100.0 * k;
    }
    res = mex().call(4, {complexImage, r, c});
    ASSERT_FALSE(res.failed) << res.message;
    expectColumn(res.outputs[2], {1, 9, 49, 36, 16});

    // Empty images give four empty columns.
    for (const std::vector<std::size_t> &dims : {std::vector<std::size_t>{0, 3}, std::vector<std::size_t>{3, 0}}) {
        const Array empty(testhost::makeArray(mxDOUBLE_CLASS, dims));
        res = mex().call(4, {empty, r, c});
        ASSERT_FALSE(res.failed) << res.message;
        for (const Array &out : res.outputs) {
            expectColumn(out, {});
        }
    }
}

TEST(PallantGateway, UnsafeInputsAreRefusedBeforeAnyDataIsRead)
{
    const Array r = int32Column({0, 0}), c = int32Column({0, 1});

    // A sparse image has no full data block; the class checks still come first.
    const Array sparse(testhost::makeSparse(mxDOUBLE_CLASS, 2, 2));
    expectError(mex().call(4, {sparse, r, c}), "prhs[0] (image) shd be a full (not sparse) array\n");
    const Array dr(testhost::makeDouble({2, 1}, {0, 0}));
    expectError(mex().call(4, {sparse, dr, c}), "prhs[1] (roffset) shd be of type int32\n");

    // More pixels per plane than 32-bit indices hold (the image has no data:
    // a read would crash).
    const Array huge(testhost::makeShapeOnly(mxDOUBLE_CLASS, {65536, 32768}));
    CallResult res = mex().call(4, {huge, r, c});
    expectError(res, "prhs[0] (image) has more than 2147483647 pixels per plane\n");
    EXPECT_EQ(res.blocksTaken, 0u);
    // So do planes with a side past 32 bits (they once gave no edge at all).
    const Array tall(testhost::makeShapeOnly(mxDOUBLE_CLASS, {std::size_t{1} << 31, 1}));
    const Array wide(testhost::makeShapeOnly(mxDOUBLE_CLASS, {2, (std::size_t{1} << 32) + 1}));
    expectError(mex().call(4, {tall, r, c}), "prhs[0] (image) has more than 2147483647 pixels per plane\n");
    expectError(mex().call(4, {wide, r, c}), "prhs[0] (image) has more than 2147483647 pixels per plane\n");

    // Within the pixel limit, but the offsets would yield more edges than
    // 2^31 - 1: refused before the lists take memory; the scratch is freed.
    const Array big(testhost::makeShapeOnly(mxDOUBLE_CLASS, {46340, 46340}));
    res = mex().call(4, {big, r, c});
    expectError(res, "The offsets yield more than 2147483647 edges\n");
    EXPECT_EQ(res.blocksLeft, 0u);
}

TEST(PallantGateway, OffsetsFarOutsideGiveNoEdges)
{
    const Array img = image2x2();
    const Array r = int32Column({INT32_MAX, INT32_MIN, 0, 0}), c = int32Column({0, 0, INT32_MIN, INT32_MAX});
    const CallResult res = mex().call(4, {img, r, c});
    ASSERT_FALSE(res.failed) << res.message;
    for (const Array &out : res.outputs) {
        expectColumn(out, {});
    }
}

}  // namespace
