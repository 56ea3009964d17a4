// A MEX file that probes the test host itself: it holds an object whose
// destructor counts into the first input's data, takes an mxMalloc block it
// never frees, fills its output slot, and raises an error when a second input
// is given.
#include "mex_api.h"

#include <cstdint>

namespace {

struct Counted {
    std::uint64_t *count;
    ~Counted() { ++*count; }
};

}  // namespace

void mexFunction(int, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    const Counted counted{static_cast<std::uint64_t *>(mxGetData(prhs[0]))};
    mxMalloc(16);
    plhs[0] = mxCreateDoubleMatrix_700(1, 1, mxREAL);
    if (nrhs > 1) {
        mexErrMsgTxt("probe: error\n");
    }
}
