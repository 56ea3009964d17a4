// v = kestrow(X, MU, IS, K): for every column x of the D-by-N matrix X, the
// value K * exp(-1/2 * (x - MU)' * IS * (x - MU)), returned as a 1-by-N row.
//
// The gateway checks its arguments in a fixed order, prints a diagnostic to
// standard output before two of its errors, creates the result and hands the
// raw data to evalColumnGaussian.
//
// mexErrMsgTxt may leave this file without unwinding it (longjmp), so no
// owning C++ object is alive when it is called: the only such object, the
// evaluator's difference vector, lives inside runEvaluator, which has
// returned before any error is raised.
#include "column_gaussian.h"
#include "mex_api.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <new>

namespace {

enum { IN_X, IN_MU, IN_IS, IN_K, IN_COUNT };
enum { OUT_V, OUT_COUNT };

// The number of dimensions each input must have.
const int kExpectedDims[IN_COUNT] = {2, 2, 2, 2};

const char *const kShapeNames[IN_COUNT] = {"X", "MU", "IS", "K"};

bool isRealDoubleWithDims(const mxArray *a, int expectedDims)
{
    return mxIsDouble(a) && !mxIsComplex(a) && mxGetNumberOfDimensions_700(a) == expectedDims;
}

// One line, then an empty line.  All three properties are asked of the host
// again, also those the failed test did not reach.
void printInputDiagnostic(const mxArray *a, int position)
{
    std::cout << "??? Input " << position << " is not a real double matrix with "
              << kExpectedDims[position] << " dimension(s): {double=="
              << (mxIsDouble(a) ? 1 : 0) << ",complex==" << (mxIsComplex(a) ? 1 : 0)
              << ",ndims==" << mxGetNumberOfDimensions_700(a) << "}" << std::endl
              << std::endl;
}

// Six lines, no empty line after them.
void printShapeDiagnostic(const mxArray *const inputs[], std::int32_t D, std::int32_t N)
{
    std::cout << "D: " << D << std::endl;
    std::cout << "N: " << N << std::endl;
    for (int i = 0; i < IN_COUNT; ++i) {
        const mwSize32 *dims = mxGetDimensions_700(inputs[i]);
        std::cout << kShapeNames[i] << " is [ " << dims[0] << " x " << dims[1] << " ]"
                  << std::endl;
    }
}

bool hasShape(const mxArray *a, mwSize32 rows, mwSize32 cols)
{
    const mwSize32 *dims = mxGetDimensions_700(a);
    return dims[0] == rows && dims[1] == cols;
}

// Runs the evaluator; false when its difference vector could not be
// obtained.  The std::bad_alloc is caught here and goes no further.
bool runEvaluator(const double *X, std::int32_t D, std::int32_t N, const double *MU,
                  const double *IS, double K, double *out)
{
    try {
        kestrow::evalColumnGaussian(X, D, N, MU, IS, K, out);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// Messages of the checks this gateway adds: a sparse input has no full data
// block to read, and a size beyond the signed 32-bit range cannot be
// narrowed without losing it.  Positions are counted from 0, as in the
// input diagnostic.
const char *const kSparseMessages[IN_COUNT] = {
    "Input 0 is sparse; a full real double matrix is expected.",
    "Input 1 is sparse; a full real double matrix is expected.",
    "Input 2 is sparse; a full real double matrix is expected.",
    "Input 3 is sparse; a full real double matrix is expected.",
};
const char *const kTooLargeMessages[IN_COUNT] = {
    "Input 0 has more than 2147483647 rows or columns.",
    "Input 1 has more than 2147483647 rows or columns.",
    "Input 2 has more than 2147483647 rows or columns.",
    "Input 3 has more than 2147483647 rows or columns.",
};

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs != IN_COUNT) {
        mexErrMsgTxt("4 input arguments expected.");
    }
    if (nlhs != OUT_COUNT) {
        mexErrMsgTxt("1 output argument expected.");
    }

    // Class, complexity and number of dimensions; the first input that fails
    // is reported, later ones are not examined.
    for (int i = 0; i < IN_COUNT; ++i) {
        if (!isRealDoubleWithDims(prhs[i], kExpectedDims[i])) {
            printInputDiagnostic(prhs[i], i);
            mexErrMsgTxt("Error as above");
        }
    }

    // A sparse double passes the class test but has no full column-major
    // data block, so it is refused before any data or shape is read.
    for (int i = 0; i < IN_COUNT; ++i) {
        if (mxIsSparse(prhs[i])) {
            mexErrMsgTxt(kSparseMessages[i]);
        }
    }

    // Sizes are handled as signed 32-bit values; one that does not fit is
    // refused rather than truncated (a truncated D or N would address the
    // wrong elements, a truncated shape could pass the shape test).
    for (int i = 0; i < IN_COUNT; ++i) {
        if (mxGetM(prhs[i]) > INT_MAX || mxGetN(prhs[i]) > INT_MAX) {
            mexErrMsgTxt(kTooLargeMessages[i]);
        }
    }

    const std::int32_t D = static_cast<std::int32_t>(mxGetM(prhs[IN_X]));
    const std::int32_t N = static_cast<std::int32_t>(mxGetN(prhs[IN_X]));

    if (!hasShape(prhs[IN_MU], D, 1) || !hasShape(prhs[IN_IS], D, D) ||
        !hasShape(prhs[IN_K], 1, 1)) {
        printShapeDiagnostic(prhs, D, N);
        mexErrMsgTxt("Input dimensions are not consistent.");
    }

    plhs[OUT_V] = mxCreateDoubleMatrix_700(1, N, mxREAL);
    double *out = mxGetPr(plhs[OUT_V]);
    const double *X = mxGetPr(prhs[IN_X]);
    const double *MU = mxGetPr(prhs[IN_MU]);
    const double *IS = mxGetPr(prhs[IN_IS]);
    const double K = mxGetPr(prhs[IN_K])[0];

    if (!runEvaluator(X, D, N, MU, IS, K, out)) {
        // The result already stored in plhs is reclaimed by the host.
        mexErrMsgTxt("Out of memory: the difference vector of D doubles could not be obtained.");
    }
}
