// The 32-bit host operations on GNU Octave's own MEX API.
//
// Octave has no "_700" entry points and its dimension values are 64-bit.
// This adapter is linked into each Octave MEX file and gives the gateways the
// operations they are written against: dimension values narrowed to signed
// 32 bits, with an error rather than a silent truncation when one does not
// fit.  Everything else the gateways call (mxGetM, mxGetPr, mexErrMsgTxt, ...)
// Octave provides under the same name and with the same C signature.
//
// It is compiled, like the gateways, with MEXAPI_OCTAVE: mex_api.h then
// declares the operations defined here with Octave's own types, from
// Octave's mex.h, so that every object of the MEX file (and Octave) agrees on
// them.
#ifndef MEXAPI_OCTAVE
#error "The Octave adapter and the gateways it serves are compiled with -DMEXAPI_OCTAVE"
#endif
#include "mex_api.h"

#include <climits>
#include <cstdint>

namespace {

// Dimension values that do not fit 32 bits are refused, never truncated.
[[noreturn]] void refuseLargeDimension()
{
    mexErrMsgTxt("An array dimension exceeds 2147483647, the largest a 32-bit size can hold.");
    // mexErrMsgTxt leaves through an exception in Octave; never reached.
    __builtin_unreachable();
}

int narrowDimension(mwSize value)
{
    if (value < 0 || value > INT_MAX) {
        refuseLargeDimension();
    }
    return static_cast<int>(value);
}

}  // namespace

extern "C" {

mwSize32 mxGetNumberOfDimensions_700(const mxArray *pa)
{
    return narrowDimension(mxGetNumberOfDimensions(pa));
}

// The 32-bit copy comes from mxMalloc, so Octave reclaims it when the call
// ends; the gateways only read it.
const mwSize32 *mxGetDimensions_700(const mxArray *pa)
{
    const mwSize ndims = mxGetNumberOfDimensions(pa);
    const mwSize *dims = mxGetDimensions(pa);
    const int count = narrowDimension(ndims);
    for (int k = 0; k < count; ++k) {
        narrowDimension(dims[k]);
    }
    int *copy = static_cast<int *>(mxMalloc(static_cast<std::size_t>(count) * sizeof(int)));
    for (int k = 0; k < count; ++k) {
        copy[k] = static_cast<int>(dims[k]);
    }
    return copy;
}

mxArray *mxCreateDoubleMatrix_700(mwSize32 m, mwSize32 n, mxComplexity flag)
{
    return mxCreateDoubleMatrix(m < 0 ? 0 : m, n < 0 ? 0 : n, flag);
}

mxArray *mxCreateNumericArray_700(mwSize32 ndim, const mwSize32 *dims, mxClassID classid,
                                  mxComplexity flag)
{
    const int count = ndim < 0 ? 0 : ndim;
    mwSize *wide = static_cast<mwSize *>(mxMalloc(static_cast<std::size_t>(count) * sizeof(mwSize)));
    for (int k = 0; k < count; ++k) {
        wide[k] = dims[k] < 0 ? 0 : dims[k];
    }
    mxArray *result = mxCreateNumericArray(count, wide, classid, flag);
    mxFree(wide);
    return result;
}

}  // extern "C"
