// pallant(image, roffset, coffset): the edges of the pixel graph whose
// neighbourhood is the offset list, as four E-by-1 double columns.
#include "mex_api.h"
#include "offset_edges.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace {

enum { IN_IMAGE, IN_ROFFSET, IN_COFFSET, IN_COUNT };
enum { OUT_SOURCE, OUT_TARGET, OUT_COLOUR, OUT_LENGTH, OUT_COUNT };

// How the enumeration ended.
enum class Outcome { Done, TooManyEdges, OutOfMemory };

struct ImageSize {
    std::int32_t height;
    std::int32_t width;
    std::int32_t channels;
};

ImageSize readImageSize(const mxArray *image)
{
    const std::int32_t ndims = mxGetNumberOfDimensions_700(image);
    const mwSize32 *dims = mxGetDimensions_700(image);
    if (ndims == 3) {
        return {dims[0], dims[1], dims[2]};
    }
    // Four or more dimensions count as one channel: only the first plane is
    // read.  An empty one (a later dimension is 0) holds no plane, so it has
    // no channel, like an H-by-W-by-0 image.
    std::int32_t channels = 1;
    for (std::int32_t k = 2; k < ndims; ++k) {
        if (dims[k] == 0) {
            channels = 0;
        }
    }
    return {dims[0], dims[1], channels};
}

// Everything that holds C++ objects lives here, so that none is alive when
// the gateway reports an error.  The outputs are created only once the edge
// list exists, since only then is the edge count known.
Outcome buildGraph(const ImageSize &size, const double *image, const std::int32_t *roffset,
                   const std::int32_t *coffset, std::int32_t n, const std::int32_t *linearOffsets,
                   const double *squaredLengths, mxArray *plhs[])
{
    // The edge count comes from the offsets alone; a call that would pass
    // the 32-bit limit is refused before the lists take any memory.
    if (pallant::countOffsetEdges(size.height, size.width, roffset, coffset, n) > pallant::kMaxEdges) {
        return Outcome::TooManyEdges;
    }
    try {
        const pallant::OffsetEdgeList edges =
            pallant::buildOffsetEdges(size.height, size.width, roffset, coffset, n, linearOffsets);
        const std::int32_t edgeCount = edges.size();
        for (int slot = OUT_SOURCE; slot < OUT_COUNT; ++slot) {
            plhs[slot] = mxCreateDoubleMatrix_700(edgeCount, 1, mxREAL);
        }
        double *columns[OUT_COUNT];
        for (int slot = OUT_SOURCE; slot < OUT_COUNT; ++slot) {
            columns[slot] = mxGetPr(plhs[slot]);
        }
        if (edgeCount > 0) {
            pallant::writeEdgeColumns(edges, image, size.height * size.width, size.channels, squaredLengths,
                                      columns[OUT_SOURCE], columns[OUT_TARGET], columns[OUT_COLOUR],
                                      columns[OUT_LENGTH]);
        }
    } catch (const std::bad_alloc &) {
        return Outcome::OutOfMemory;
    }
    return Outcome::Done;
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs != IN_COUNT) {
        mexErrMsgTxt("3 input arguments expected.");
    }
    if (nlhs != OUT_COUNT) {
        mexErrMsgTxt("4 output arguments expected.");
    }
    if (mxGetClassID(prhs[IN_IMAGE]) != mxDOUBLE_CLASS) {
        mexErrMsgTxt("prhs[0] (image) shd be of type double\n");
    }
    if (mxGetClassID(prhs[IN_ROFFSET]) != mxINT32_CLASS) {
        mexErrMsgTxt("prhs[1] (roffset) shd be of type int32\n");
    }
    if (mxGetClassID(prhs[IN_COFFSET]) != mxINT32_CLASS) {
        mexErrMsgTxt("prhs[2] (coffset) shd be of type int32\n");
    }
    // A sparse image has no full column-major data block, so it is refused
    // before any of its data is read.
    if (mxIsSparse(prhs[IN_IMAGE])) {
        mexErrMsgTxt("prhs[0] (image) shd be a full (not sparse) array\n");
    }

    const ImageSize size = readImageSize(prhs[IN_IMAGE]);

    if (mxGetN(prhs[IN_ROFFSET]) != 1 || mxGetN(prhs[IN_COFFSET]) != 1) {
        mexErrMsgTxt("Invalid size for roffset or coffset\n");
    }
    // Both row counts are compared at full width.  A count past 2^31 - 1
    // does not survive the narrowing to 32 bits: narrowed, 2^32 + 1 rows of
    // roffset would pass for one and match a one-row coffset, and all but
    // its first offset would be ignored.  Such a list is refused here.
    const std::size_t rows = mxGetM(prhs[IN_ROFFSET]);
    if (rows > static_cast<std::size_t>(INT32_MAX) || mxGetM(prhs[IN_COFFSET]) != rows) {
        mexErrMsgTxt("Invalid size for roffset or coffset\n");
    }
    const std::int32_t n = static_cast<std::int32_t>(rows);
    // Every pixel index of one plane is held in 32 bits.  A side that does
    // not fit 32 bits reaches the gateway as a negative value; unless the
    // other side is 0, its plane has more pixels than that as well.
    const bool sideTooLarge = (size.height < 0 && size.width != 0) || (size.width < 0 && size.height != 0);
    if (sideTooLarge || static_cast<std::int64_t>(size.height) * size.width > pallant::kMaxPixelsPerPlane) {
        mexErrMsgTxt("prhs[0] (image) has more than 2147483647 pixels per plane\n");
    }

    const std::int32_t *roffset = static_cast<const std::int32_t *>(mxGetData(prhs[IN_ROFFSET]));
    const std::int32_t *coffset = static_cast<const std::int32_t *>(mxGetData(prhs[IN_COFFSET]));
    const double *image = mxGetPr(prhs[IN_IMAGE]);

    const std::size_t count = static_cast<std::size_t>(n);
    std::int32_t *linearOffsets = static_cast<std::int32_t *>(mxMalloc(count * sizeof(std::int32_t)));
    double *squaredLengths = static_cast<double *>(mxMalloc(count * sizeof(double)));
    pallant::computeOffsetTables(roffset, coffset, n, size.height, linearOffsets, squaredLengths);

    const Outcome outcome = buildGraph(size, image, roffset, coffset, n, linearOffsets, squaredLengths, plhs);

    mxFree(linearOffsets);
    mxFree(squaredLengths);
    if (outcome == Outcome::TooManyEdges) {
        mexErrMsgTxt("The offsets yield more than 2147483647 edges\n");
    }
    if (outcome == Outcome::OutOfMemory) {
        mexErrMsgTxt("Out of memory while listing the edges\n");
    }
}
