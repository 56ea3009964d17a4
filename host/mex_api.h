/* The host operations the gateways use, and nothing else.
 *
 * The declarations follow MATLAB's C ABI for these symbols (libmx, libmex),
 * with 32-bit dimension values through the "_700" entry points, so that the
 * same gateway source builds against MATLAB's own libraries, against the
 * Octave adapter in this folder, or against the test host.  Gateways include
 * this header only.
 *
 * Built for GNU Octave (MEXAPI_OCTAVE defined, Octave's include folder on the
 * path), the types mxArray, mxClassID and mxComplexity are Octave's own, from
 * its mex.h: the gateways, the adapter that defines the "_700" operations and
 * Octave's library then name every operation with one set of types, as the
 * one-definition rule asks (link-time optimisation checks it across the
 * objects of a MEX file), and the compiler checks each declaration below
 * against Octave's.
 */
#ifndef MEX_API_H
#define MEX_API_H

#include <stddef.h>

#ifdef __cplusplus
#define MEXAPI_EXTERN_C extern "C"
#define MEXAPI_NORETURN [[noreturn]]
#else
#define MEXAPI_EXTERN_C extern
#define MEXAPI_NORETURN _Noreturn
#endif
#ifdef MEXAPI_OCTAVE
/* Octave declares mexErrMsgTxt first, without the standard attribute, which
 * only a first declaration may carry; the compiler's own may come later. */
#undef MEXAPI_NORETURN
#define MEXAPI_NORETURN __attribute__((noreturn))
#endif

/* Everything is built with hidden visibility; the entry is the one symbol a
 * MEX file exports.  On Windows the entry is the one function marked for
 * export (a DLL with no such mark would export every function). */
#if defined(_WIN32)
#define MEXAPI_ENTRY_VISIBILITY __declspec(dllexport)
#elif defined(__GNUC__)
#define MEXAPI_ENTRY_VISIBILITY __attribute__((visibility("default")))
#else
#define MEXAPI_ENTRY_VISIBILITY
#endif

/* Dimension values exchanged with the host are signed 32-bit. */
typedef int mwSize32;

#ifdef MEXAPI_OCTAVE
#include <mex.h>
#else
/* The host's array: opaque to the gateways. */
typedef struct mxArray_tag mxArray;

typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS = 1,
    mxSTRUCT_CLASS = 2,
    mxLOGICAL_CLASS = 3,
    mxCHAR_CLASS = 4,
    mxVOID_CLASS = 5,
    mxDOUBLE_CLASS = 6,
    mxSINGLE_CLASS = 7,
    mxINT8_CLASS = 8,
    mxUINT8_CLASS = 9,
    mxINT16_CLASS = 10,
    mxUINT16_CLASS = 11,
    mxINT32_CLASS = 12,
    mxUINT32_CLASS = 13,
    mxINT64_CLASS = 14,
    mxUINT64_CLASS = 15,
    mxFUNCTION_CLASS = 16
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;
#endif

/* The entry every MEX file exports. */
MEXAPI_EXTERN_C MEXAPI_ENTRY_VISIBILITY void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

/* Array inspection. */
MEXAPI_EXTERN_C size_t mxGetM(const mxArray *pa);
MEXAPI_EXTERN_C size_t mxGetN(const mxArray *pa);
MEXAPI_EXTERN_C size_t mxGetNumberOfElements(const mxArray *pa);
MEXAPI_EXTERN_C mwSize32 mxGetNumberOfDimensions_700(const mxArray *pa);
MEXAPI_EXTERN_C const mwSize32 *mxGetDimensions_700(const mxArray *pa);
MEXAPI_EXTERN_C mxClassID mxGetClassID(const mxArray *pa);
MEXAPI_EXTERN_C bool mxIsDouble(const mxArray *pa);
MEXAPI_EXTERN_C bool mxIsComplex(const mxArray *pa);
MEXAPI_EXTERN_C bool mxIsSparse(const mxArray *pa);

/* Array data: the real part, column-major. */
MEXAPI_EXTERN_C double *mxGetPr(const mxArray *pa);
MEXAPI_EXTERN_C void *mxGetData(const mxArray *pa);

/* Array creation. */
MEXAPI_EXTERN_C mxArray *mxCreateDoubleMatrix_700(mwSize32 m, mwSize32 n, mxComplexity flag);
MEXAPI_EXTERN_C mxArray *mxCreateNumericArray_700(mwSize32 ndim, const mwSize32 *dims,
                                                  mxClassID classid, mxComplexity flag);

/* Host scratch memory: reclaimed by the host when a call ends abnormally. */
MEXAPI_EXTERN_C void *mxMalloc(size_t n);
MEXAPI_EXTERN_C void mxFree(void *ptr);

/* Raises the text as an error in the caller and ends the call: it never
 * returns, and the host may leave the gateway without unwinding it, so no
 * owning C++ object may be alive in the gateway when it is called. */
MEXAPI_EXTERN_C MEXAPI_NORETURN void mexErrMsgTxt(const char *text);

#endif
