// libmx of the test host: MATLAB's array operations of mex_api.h over a small
// array model, host scratch memory, and the state of the call in progress
// (shared with libmex and the test side through host_internal.h).
#include "host_internal.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

std::size_t elementSize(mxClassID cls)
{
    switch (cls) {
    case mxLOGICAL_CLASS:
    case mxINT8_CLASS:
    case mxUINT8_CLASS:
        return 1;
    case mxCHAR_CLASS:
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
        return 2;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
        return 4;
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
        return 8;
    default:
        throw std::invalid_argument("test host: class without numeric data");
    }
}

std::size_t product(const std::vector<std::size_t> &dims)
{
    std::size_t n = 1;
    for (std::size_t d : dims) {
        n *= d;
    }
    return n;
}

// Trailing singleton dimensions beyond the second are dropped, as MATLAB does.
std::vector<std::size_t> normalise(std::vector<std::size_t> dims)
{
    while (dims.size() < 2) {
        dims.push_back(dims.empty() ? 0 : 1);
    }
    while (dims.size() > 2 && dims.back() == 1) {
        dims.pop_back();
    }
    return dims;
}

MextkCallState *g_call = nullptr;

void *dataOf(const mxArray *pa, const std::vector<unsigned char> &block)
{
    // An empty array has no data block; a sparse one has only its short
    // block of nonzeros.
    if (pa->shapeOnly || block.empty()) {
        return nullptr;
    }
    return const_cast<unsigned char *>(block.data());
}

mxArray *created(mxArray *a)
{
    if (g_call) {
        g_call->created.insert(a);
    }
    return a;
}

}  // namespace

// ---- Internal entry points ---------------------------------------------------
void mextk_host_fault(const char *what)
{
    std::fprintf(stderr, "test host: %s\n", what);
    std::abort();
}

void mextk_host_begin_call(MextkCallState *state)
{
    if (g_call) {
        throw std::logic_error("test host: calls do not nest");
    }
    g_call = state;
}

void mextk_host_end_call() { g_call = nullptr; }

void mextk_host_raise(const char *text)
{
    if (!g_call) {
        mextk_host_fault("mexErrMsgTxt outside a call");
    }
    g_call->message = text;
    // Leave the gateway as a host may: no destructor of the gateway runs.
    MEXTK_LONGJMP(g_call->exit);
}

mxArray *mextk_host_new_array(mxClassID cls, const std::vector<std::size_t> &dims, bool complex, bool withData)
{
    auto a = std::make_unique<mxArray_tag>();
    a->cls = cls;
    a->dims = normalise(dims);
    for (std::size_t d : a->dims) {
        a->dims32.push_back(d > static_cast<std::size_t>(INT_MAX) ? -1 : static_cast<int>(d));
    }
    a->complex = complex;
    a->shapeOnly = !withData;
    if (withData) {
        const std::size_t bytes = product(a->dims) * elementSize(cls);
        a->real.assign(bytes, 0);
        if (complex) {
            a->imag.assign(bytes, 0);
        }
    }
    return a.release();
}

void mextk_host_destroy_array(mxArray *a) { delete a; }

// ---- MATLAB's array operations -----------------------------------------------
extern "C" {

size_t mxGetM(const mxArray *pa) { return pa->dims[0]; }

size_t mxGetN(const mxArray *pa)
{
    std::size_t n = 1;
    for (std::size_t k = 1; k < pa->dims.size(); ++k) {
        n *= pa->dims[k];
    }
    return n;
}

size_t mxGetNumberOfElements(const mxArray *pa) { return product(pa->dims); }

int mxGetNumberOfDimensions_700(const mxArray *pa) { return static_cast<int>(pa->dims.size()); }

const int *mxGetDimensions_700(const mxArray *pa) { return pa->dims32.data(); }

mxClassID mxGetClassID(const mxArray *pa) { return pa->cls; }

bool mxIsDouble(const mxArray *pa) { return pa->cls == mxDOUBLE_CLASS; }

bool mxIsComplex(const mxArray *pa) { return pa->complex; }

bool mxIsSparse(const mxArray *pa) { return pa->sparse; }

double *mxGetPr(const mxArray *pa)
{
    if (pa->cls != mxDOUBLE_CLASS) {
        mextk_host_fault("mxGetPr of an array that is not double");
    }
    return static_cast<double *>(dataOf(pa, pa->real));
}

void *mxGetData(const mxArray *pa) { return dataOf(pa, pa->real); }

mxArray *mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag)
{
    if (m < 0 || n < 0) {
        mextk_host_fault("mxCreateDoubleMatrix_700 with a negative size");
    }
    return created(mextk_host_new_array(
        mxDOUBLE_CLASS, {static_cast<std::size_t>(m), static_cast<std::size_t>(n)}, flag == mxCOMPLEX, true));
}

mxArray *mxCreateNumericArray_700(int ndim, const int *dims, mxClassID classid, mxComplexity flag)
{
    std::vector<std::size_t> wide;
    for (int k = 0; k < ndim; ++k) {
        if (dims[k] < 0) {
            mextk_host_fault("mxCreateNumericArray_700 with a negative size");
        }
        wide.push_back(static_cast<std::size_t>(dims[k]));
    }
    return created(mextk_host_new_array(classid, wide, flag == mxCOMPLEX, true));
}

void *mxMalloc(size_t n)
{
    if (!g_call) {
        mextk_host_fault("mxMalloc outside a call");
    }
    // A zero-byte request still gives a distinct block, as a host does.
    void *p = std::malloc(n == 0 ? 1 : n);
    if (!p) {
        mextk_host_fault("mxMalloc: out of memory");
    }
    g_call->blocks.insert(p);
    ++g_call->blocksTaken;
    return p;
}

void mxFree(void *ptr)
{
    if (!ptr) {
        return;
    }
    if (!g_call || g_call->blocks.erase(ptr) != 1) {
        mextk_host_fault("mxFree of a block that is not a live mxMalloc block of this call");
    }
    std::free(ptr);
}

}  // extern "C"
