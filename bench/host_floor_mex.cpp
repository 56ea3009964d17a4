// [a, b, c, d] = host_floor(E): four E-by-1 double outputs, created and
// filled, and nothing else.  The benchmarks' measure of what any function
// with pallant's outputs costs its host: creating them, the first touch of
// their memory, and taking them back.  Built for the benchmarks only.
#include "mex_api.h"

#include <cstddef>

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs != 1 || nlhs != 4 || mxGetClassID(prhs[0]) != mxDOUBLE_CLASS || mxGetNumberOfElements(prhs[0]) != 1) {
        mexErrMsgTxt("usage: [a, b, c, d] = host_floor(E), E a double scalar");
    }
    const double requested = *mxGetPr(prhs[0]);
    if (!(requested >= 0 && requested <= 2147483647.0)) {
        mexErrMsgTxt("E must lie in 0 ... 2147483647");
    }
    const auto rows = static_cast<mwSize32>(requested);
    double *columns[4];
    for (int slot = 0; slot < 4; ++slot) {
        plhs[slot] = mxCreateDoubleMatrix_700(rows, 1, mxREAL);
        columns[slot] = mxGetPr(plhs[slot]);
    }
    // One pass writing the four columns side by side, as pallant writes them.
    const auto count = static_cast<std::size_t>(rows);
    for (std::size_t e = 0; e < count; ++e) {
        const double v = static_cast<double>(e) + 1.0;
        columns[0][e] = v;
        columns[1][e] = v;
        columns[2][e] = v;
        columns[3][e] = v;
    }
}
