// The test host: a small stand-in for MATLAB's libmx/libmex.
//
// The host operations of mex_api.h are in the two libraries libmx and libmex
// (MATLAB's names), so a MEX file built for MATLAB loads unchanged.  This
// side lets tests build arrays of any class, shape, complexity and sparsity,
// loads a built MEX file (dlopen, or LoadLibrary on Windows) and calls its
// mexFunction as the real host does.  mexErrMsgTxt
// records the message byte for byte and leaves the gateway with longjmp,
// without running the gateway's destructors, so a leak on an error path shows
// in the leak checker.  mxMalloc blocks are tracked per call.
#ifndef TEST_HOST_H
#define TEST_HOST_H

#include "mex_api.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testhost {

// ---- Building arrays ------------------------------------------------------
// Arrays made here belong to the test; release them with destroy() (or use
// the Array holder below).  Dimensions are full width, as a 64-bit host's.

// A full numeric, logical or char array, zero-filled; with complex = true it
// also has a zero-filled imaginary block.
mxArray *makeArray(mxClassID cls, const std::vector<std::size_t> &dims, bool complex = false);

// A real double array of the given shape holding values (column-major);
// values.size() must equal the number of elements.
mxArray *makeDouble(const std::vector<std::size_t> &dims, const std::vector<double> &values);

// A real int32 / uint32 column (n-by-1) or array of the given shape.
mxArray *makeInt32(const std::vector<std::size_t> &dims, const std::vector<std::int32_t> &values);
mxArray *makeUint32(const std::vector<std::size_t> &dims, const std::vector<std::uint32_t> &values);

// A sparse array (2-D) of class double (or logical) with no stored elements;
// its data block is not a full column-major block.
mxArray *makeSparse(mxClassID cls, std::size_t rows, std::size_t cols, bool complex = false);

// An array whose shape and class are as given but which has no data at all:
// any read of its data through the host gives a null pointer.  For inputs
// too large to allocate, to show that a gateway refuses them before it
// reads any data.
mxArray *makeShapeOnly(mxClassID cls, const std::vector<std::size_t> &dims);

void destroy(mxArray *a);

// ---- Reading arrays -------------------------------------------------------
mxClassID classOf(const mxArray *a);
std::vector<std::size_t> dimsOf(const mxArray *a);
bool isComplex(const mxArray *a);
std::size_t elementCount(const mxArray *a);
void *realData(const mxArray *a);  // the real block (null for shape-only arrays)
void *imagData(const mxArray *a);  // null unless complex

// Everything a gateway could change in an array, as bytes: class, flags,
// dimensions (both widths) and both data blocks.  Two equal results mean the
// array is unchanged byte for byte.
std::string contents(const mxArray *a);

// All elements of a real double array, column-major.
std::vector<double> doubles(const mxArray *a);
// All elements of a real uint32 array, column-major.
std::vector<std::uint32_t> uint32s(const mxArray *a);

// Owns one test array.
class Array {
public:
    Array() = default;
    explicit Array(mxArray *a) : a_(a) {}
    Array(const Array &) = delete;
    Array &operator=(const Array &) = delete;
    Array(Array &&o) noexcept : a_(o.a_) { o.a_ = nullptr; }
    Array &operator=(Array &&o) noexcept;
    ~Array() { destroy(a_); }
    mxArray *get() const { return a_; }
    operator const mxArray *() const { return a_; }

private:
    mxArray *a_ = nullptr;
};

// ---- Calling a MEX file ---------------------------------------------------
struct CallResult {
    bool failed = false;           // the call ended through mexErrMsgTxt
    std::string message;           // the exact bytes given to mexErrMsgTxt
    std::vector<Array> outputs;    // plhs[0..nlhs-1] after a call that returned
                                   // (slots the gateway left unset are empty)
    std::size_t blocksLeft = 0;    // mxMalloc blocks of the call not freed by the
                                   // gateway (the host reclaims them afterwards)
    std::size_t blocksTaken = 0;   // mxMalloc calls made during the call
    std::size_t arraysLeft = 0;    // arrays the gateway created and did not
                                   // return (the host reclaims them too)
};

// A MEX file loaded as the real host loads it.
class MexFile {
public:
    explicit MexFile(const std::string &path);  // throws std::runtime_error
    ~MexFile();
    MexFile(const MexFile &) = delete;
    MexFile &operator=(const MexFile &) = delete;

    // Calls mexFunction(nlhs, plhs, nrhs, prhs) with the inputs in order.
    CallResult call(int nlhs, const std::vector<const mxArray *> &inputs) const;
    // The same with nrhs given, as a host might pass a count below zero: prhs
    // holds the inputs, which must number max(nrhs, 0), and is null when
    // there are none.
    CallResult call(int nlhs, int nrhs, const std::vector<const mxArray *> &inputs) const;

private:
    void *handle_ = nullptr;
    void (*entry_)(int, mxArray **, int, const mxArray **) = nullptr;
};

// Standard output of the process (file descriptor 1, where a MEX file's
// std::cout ends up through the C library's stdout) redirected to a
// temporary file while this object lives.
class CapturedStdout {
public:
    CapturedStdout();  // throws std::runtime_error
    ~CapturedStdout();
    CapturedStdout(const CapturedStdout &) = delete;
    CapturedStdout &operator=(const CapturedStdout &) = delete;

    // What has reached the file so far: what writers have flushed.
    std::string delivered() const;
    // Everything written, once the C library's stdout buffer is flushed.
    std::string written() const;

private:
    void *file_ = nullptr;  // FILE *
    int saved_ = -1;
};

// The path of a built MEX file for the test host, given its function name:
// <MEXTK_TESTHOST_MEX_DIR>/<name>.<the platform's MEX extension>.
std::string mexPath(const std::string &name);

// The dynamic symbols a shared library defines, or those it imports (as
// nm -D --defined-only / --undefined-only list them, versions dropped).
// ELF systems only.
std::vector<std::string> definedDynamicSymbols(const std::string &path);
std::vector<std::string> undefinedDynamicSymbols(const std::string &path);

}  // namespace testhost

#endif
