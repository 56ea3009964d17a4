// P = modrick(A, B, C, D): for every query pair (C(p), D(p)) the 1-based row of
// the reference pairs (A(i), B(i)) at which it is found by one forward scan,
// as an m-by-1 uint32 column (m the rows of C).
#include "mex_api.h"
#include "pair_lookup.h"

#include <cstddef>
#include <cstdint>

namespace {

enum { IN_A, IN_B, IN_C, IN_D, IN_COUNT };
enum { OUT_P };

// The lookup reads every input as a block of 32-bit words.  Anything else
// would be read past its data (narrower classes, sparse storage) or compared
// as meaningless bit patterns (double, single, 64-bit), so it is refused.
constexpr const char *kClassMessages[IN_COUNT] = {
    "Input A must be a real, full int32 or uint32 array.",
    "Input B must be a real, full int32 or uint32 array.",
    "Input C must be a real, full int32 or uint32 array.",
    "Input D must be a real, full int32 or uint32 array.",
};

// The reference count is an unsigned 32-bit value.  The query count is also
// the first dimension of P, which the host takes as a signed 32-bit value.
constexpr std::size_t kMaxRefCount = 4294967295u;
constexpr std::size_t kMaxQueryCount = 2147483647;

bool isFullWordArray(const mxArray *input)
{
    if (mxIsSparse(input) || mxIsComplex(input)) {
        return false;
    }
    const mxClassID cls = mxGetClassID(input);
    return cls == mxINT32_CLASS || cls == mxUINT32_CLASS;
}

const std::uint32_t *wordsOf(const mxArray *input)
{
    return static_cast<const std::uint32_t *>(mxGetData(input));
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs < 4) {
        mexErrMsgTxt("4 input arguments are required.");
    }
    if (nlhs < 1) {
        mexErrMsgTxt("1 output arguments are required.");
    }

    // Every input is examined before any data is taken, lowest slot first.
    for (int i = 0; i < IN_COUNT; ++i) {
        if (!isFullWordArray(prhs[i])) {
            mexErrMsgTxt(kClassMessages[i]);
        }
    }

    // Only the row counts of A and C give sizes.  The lookup reads that many
    // words of A and B, and of C and D; an array with rows but no columns, or
    // a B or D shorter than that, has fewer words than are read.
    const std::size_t refRows = mxGetM(prhs[IN_A]);
    if (refRows > kMaxRefCount) {
        mexErrMsgTxt("Input A has more than 4294967295 rows.");
    }
    if (mxGetNumberOfElements(prhs[IN_A]) < refRows) {
        mexErrMsgTxt("Input A has fewer elements than rows.");
    }
    if (mxGetNumberOfElements(prhs[IN_B]) < refRows) {
        mexErrMsgTxt("Input B has fewer elements than A has rows.");
    }
    const std::size_t queryRows = mxGetM(prhs[IN_C]);
    if (queryRows > kMaxQueryCount) {
        mexErrMsgTxt("Input C has more than 2147483647 rows.");
    }
    if (mxGetNumberOfElements(prhs[IN_C]) < queryRows) {
        mexErrMsgTxt("Input C has fewer elements than rows.");
    }
    if (mxGetNumberOfElements(prhs[IN_D]) < queryRows) {
        mexErrMsgTxt("Input D has fewer elements than C has rows.");
    }

    const std::uint32_t *refFirst = wordsOf(prhs[IN_A]);
    const std::uint32_t *refSecond = wordsOf(prhs[IN_B]);
    const std::uint32_t *queryFirst = wordsOf(prhs[IN_C]);
    const std::uint32_t *querySecond = wordsOf(prhs[IN_D]);
    const auto m = static_cast<std::uint32_t>(queryRows);
    const auto e = static_cast<std::uint32_t>(refRows);

    const mwSize32 dims[2] = {static_cast<mwSize32>(m), 1};
    plhs[OUT_P] = mxCreateNumericArray_700(2, dims, mxUINT32_CLASS, mxREAL);
    auto *positions = static_cast<std::uint32_t *>(mxGetData(plhs[OUT_P]));

    if (!modrick::lookupPairPositions(refFirst, refSecond, e, queryFirst, querySecond, m, positions)) {
        mexErrMsgTxt("Unexpected input combination\n");
    }
}
