// What the test host's libraries share among themselves: the array model,
// the state of the call in progress, and the few internal entry points that
// libmx exports beside MATLAB's.  MEX files never see any of it: they link
// against libmx and libmex through mex_api.h alone.
#ifndef MEXTK_HOST_INTERNAL_H
#define MEXTK_HOST_INTERNAL_H

#include "mex_api.h"

#include <csetjmp>
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

// On Windows the linker exports every function of the host's DLLs (none is
// marked for export); on ELF systems these are exported beside MATLAB's.
#if defined(_WIN32)
#define MEXTK_HOST_INTERNAL
#else
#define MEXTK_HOST_INTERNAL __attribute__((visibility("default")))
#endif

// The host's array.  Dimensions are held at full width, with a 32-bit copy
// for the "_700" entry points (like a host built for 32-bit dimensions that
// narrows them).
struct mxArray_tag {
    mxClassID cls = mxDOUBLE_CLASS;
    std::vector<std::size_t> dims;
    std::vector<int> dims32;
    bool complex = false;
    bool sparse = false;
    bool shapeOnly = false;
    std::vector<unsigned char> real;
    std::vector<unsigned char> imag;
};

// Leaving the gateway on an error must not unwind it: no destructor of the
// gateway may run.  On Windows x64 the C library's longjmp unwinds through
// the frames it leaves (running their cleanups), so there the compiler's own
// setjmp/longjmp pair, which only restores registers, is used.  Elsewhere the
// C library's pair does not unwind (and the sanitizers know it).
#if defined(_WIN32)
typedef void *MextkJumpBuffer[5];
#define MEXTK_SETJMP(buffer) __builtin_setjmp(buffer)
#define MEXTK_LONGJMP(buffer) __builtin_longjmp(buffer, 1)
#else
typedef std::jmp_buf MextkJumpBuffer;
#define MEXTK_SETJMP(buffer) setjmp(buffer)
#define MEXTK_LONGJMP(buffer) std::longjmp(buffer, 1)
#endif

// The state of the call in progress.
struct MextkCallState {
    MextkJumpBuffer exit;
    std::string message;
    std::unordered_set<void *> blocks;      // live mxMalloc blocks of the call
    std::unordered_set<mxArray *> created;  // arrays created during the call
    std::size_t blocksTaken = 0;
};

// libmx's internal entry points.
MEXAPI_EXTERN_C MEXTK_HOST_INTERNAL void mextk_host_begin_call(MextkCallState *state);
MEXAPI_EXTERN_C MEXTK_HOST_INTERNAL void mextk_host_end_call();
// Records the message and leaves the gateway through the call's jump buffer
// (libmex's mexErrMsgTxt).
MEXAPI_EXTERN_C MEXAPI_NORETURN MEXTK_HOST_INTERNAL void mextk_host_raise(const char *text);
// A new array of the given class and shape (zero-filled, or without data).
MEXTK_HOST_INTERNAL mxArray *mextk_host_new_array(mxClassID cls, const std::vector<std::size_t> &dims,
                                                  bool complex, bool withData);
MEXTK_HOST_INTERNAL void mextk_host_destroy_array(mxArray *a);
// Reports a misuse of the host by a gateway and ends the process.
MEXAPI_EXTERN_C MEXAPI_NORETURN MEXTK_HOST_INTERNAL void mextk_host_fault(const char *what);

#endif
