// The test host: host operations of mex_api.h over a small array model, and
// the loading and calling of built MEX files.
#include "test_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unordered_set>

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

mxArray *newArray(mxClassID cls, const std::vector<std::size_t> &dims, bool complex, bool withData)
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

// ---- The state of the call in progress ------------------------------------
struct CallState {
    std::jmp_buf exit;
    std::string message;
    std::unordered_set<void *> blocks;     // live mxMalloc blocks of the call
    std::unordered_set<mxArray *> created;  // arrays created during the call
    std::size_t blocksTaken = 0;
};

CallState *g_call = nullptr;

[[noreturn]] void hostFault(const char *what)
{
    std::fprintf(stderr, "test host: %s\n", what);
    std::abort();
}

void *dataOf(const mxArray *pa, const std::vector<unsigned char> &block)
{
    // An empty array has no data block; a sparse one has only its short
    // block of nonzeros.
    if (pa->shapeOnly || block.empty()) {
        return nullptr;
    }
    return const_cast<unsigned char *>(block.data());
}

}  // namespace

// ---- Host operations --------------------------------------------------------
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
        hostFault("mxGetPr of an array that is not double");
    }
    return static_cast<double *>(dataOf(pa, pa->real));
}

void *mxGetData(const mxArray *pa) { return dataOf(pa, pa->real); }

mxArray *mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag)
{
    if (m < 0 || n < 0) {
        hostFault("mxCreateDoubleMatrix_700 with a negative size");
    }
    mxArray *a = newArray(mxDOUBLE_CLASS, {static_cast<std::size_t>(m), static_cast<std::size_t>(n)},
                          flag == mxCOMPLEX, true);
    if (g_call) {
        g_call->created.insert(a);
    }
    return a;
}

mxArray *mxCreateNumericArray_700(int ndim, const int *dims, mxClassID classid, mxComplexity flag)
{
    std::vector<std::size_t> wide;
    for (int k = 0; k < ndim; ++k) {
        if (dims[k] < 0) {
            hostFault("mxCreateNumericArray_700 with a negative size");
        }
        wide.push_back(static_cast<std::size_t>(dims[k]));
    }
    mxArray *a = newArray(classid, wide, flag == mxCOMPLEX, true);
    if (g_call) {
        g_call->created.insert(a);
    }
    return a;
}

void *mxMalloc(size_t n)
{
    if (!g_call) {
        hostFault("mxMalloc outside a call");
    }
    // A zero-byte request still gives a distinct block, as a host does.
    void *p = std::malloc(n == 0 ? 1 : n);
    if (!p) {
        hostFault("mxMalloc: out of memory");
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
        hostFault("mxFree of a block that is not a live mxMalloc block of this call");
    }
    std::free(ptr);
}

void mexErrMsgTxt(const char *text)
{
    if (!g_call) {
        hostFault("mexErrMsgTxt outside a call");
    }
    g_call->message = text;
    // Leave the gateway as a host may: no destructor of the gateway runs.
    std::longjmp(g_call->exit, 1);
}

}  // extern "C"

namespace testhost {

mxArray *makeArray(mxClassID cls, const std::vector<std::size_t> &dims, bool complex)
{
    return newArray(cls, dims, complex, true);
}

// A full real array of the given class holding values, column-major.
template <class T>
static mxArray *makeFilled(mxClassID cls, const std::vector<std::size_t> &dims, const std::vector<T> &values)
{
    mxArray *a = newArray(cls, dims, false, true);
    if (values.size() != product(a->dims)) {
        destroy(a);
        throw std::invalid_argument("test host: value count does not match the shape");
    }
    if (!values.empty()) {
        std::memcpy(a->real.data(), values.data(), values.size() * sizeof(T));
    }
    return a;
}

mxArray *makeDouble(const std::vector<std::size_t> &dims, const std::vector<double> &values)
{
    return makeFilled(mxDOUBLE_CLASS, dims, values);
}

mxArray *makeInt32(const std::vector<std::size_t> &dims, const std::vector<std::int32_t> &values)
{
    return makeFilled(mxINT32_CLASS, dims, values);
}

mxArray *makeUint32(const std::vector<std::size_t> &dims, const std::vector<std::uint32_t> &values)
{
    return makeFilled(mxUINT32_CLASS, dims, values);
}

mxArray *makeSparse(mxClassID cls, std::size_t rows, std::size_t cols, bool complex)
{
    mxArray *a = newArray(cls, {rows, cols}, complex, false);
    a->shapeOnly = false;
    a->sparse = true;
    // The block of a sparse array holds only its nonzeros: one slot here,
    // far shorter than a full block would be.  Reading it as a full block is
    // a read out of bounds, which the sanitizer build reports.
    a->real.assign(elementSize(cls), 0);
    if (complex) {
        a->imag.assign(elementSize(cls), 0);
    }
    return a;
}

mxArray *makeShapeOnly(mxClassID cls, const std::vector<std::size_t> &dims)
{
    return newArray(cls, dims, false, false);
}

void destroy(mxArray *a) { delete a; }

Array &Array::operator=(Array &&o) noexcept
{
    if (this != &o) {
        destroy(a_);
        a_ = o.a_;
        o.a_ = nullptr;
    }
    return *this;
}

mxClassID classOf(const mxArray *a) { return a->cls; }
std::vector<std::size_t> dimsOf(const mxArray *a) { return a->dims; }
bool isComplex(const mxArray *a) { return a->complex; }
std::size_t elementCount(const mxArray *a) { return product(a->dims); }
void *realData(const mxArray *a) { return a->shapeOnly ? nullptr : const_cast<unsigned char *>(a->real.data()); }
void *imagData(const mxArray *a) { return a->complex ? const_cast<unsigned char *>(a->imag.data()) : nullptr; }

// All elements of a full real array of the given class, column-major.
template <class T>
static std::vector<T> readAll(const mxArray *a, mxClassID cls)
{
    if (a->cls != cls || a->sparse || a->shapeOnly) {
        throw std::invalid_argument("test host: not a full array of the class asked for");
    }
    std::vector<T> v(product(a->dims));
    if (!v.empty()) {
        std::memcpy(v.data(), a->real.data(), v.size() * sizeof(T));
    }
    return v;
}

std::string contents(const mxArray *a)
{
    std::string s;
    // Each part is preceded by its length, so that different arrays never
    // give the same bytes.
    const auto add = [&s](const void *p, std::size_t n) {
        s.append(reinterpret_cast<const char *>(&n), sizeof n);
        s.append(static_cast<const char *>(p), n);
    };
    const unsigned char flags[] = {static_cast<unsigned char>(a->cls), a->complex, a->sparse, a->shapeOnly};
    add(flags, sizeof flags);
    add(a->dims.data(), a->dims.size() * sizeof(std::size_t));
    add(a->dims32.data(), a->dims32.size() * sizeof(int));
    add(a->real.data(), a->real.size());
    add(a->imag.data(), a->imag.size());
    return s;
}

std::vector<double> doubles(const mxArray *a) { return readAll<double>(a, mxDOUBLE_CLASS); }

std::vector<std::uint32_t> uint32s(const mxArray *a) { return readAll<std::uint32_t>(a, mxUINT32_CLASS); }

MexFile::MexFile(const std::string &path)
{
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        throw std::runtime_error(std::string("test host: cannot load ") + path + ": " + dlerror());
    }
    entry_ = reinterpret_cast<void (*)(int, mxArray **, int, const mxArray **)>(dlsym(handle_, "mexFunction"));
    if (!entry_) {
        dlclose(handle_);
        throw std::runtime_error("test host: " + path + " has no mexFunction");
    }
}

MexFile::~MexFile() { dlclose(handle_); }

// The call itself: kept apart from anything with a destructor, since
// mexErrMsgTxt jumps back into it.
static bool runEntry(void (*entry)(int, mxArray **, int, const mxArray **), int nlhs, mxArray **plhs,
                     int nrhs, const mxArray **prhs, CallState *state)
{
    if (setjmp(state->exit) != 0) {
        return false;
    }
    entry(nlhs, plhs, nrhs, prhs);
    return true;
}

CallResult MexFile::call(int nlhs, const std::vector<const mxArray *> &inputs) const
{
    return call(nlhs, static_cast<int>(inputs.size()), inputs);
}

CallResult MexFile::call(int nlhs, int nrhs, const std::vector<const mxArray *> &inputs) const
{
    if (g_call) {
        throw std::logic_error("test host: calls do not nest");
    }
    if (inputs.size() != static_cast<std::size_t>(std::max(nrhs, 0))) {
        throw std::invalid_argument("test host: nrhs does not match the inputs");
    }
    CallState state;
    // MATLAB gives the gateway at least one output slot, even for nlhs = 0.
    std::vector<mxArray *> plhs(static_cast<std::size_t>(std::max(nlhs, 1)), nullptr);
    std::vector<const mxArray *> prhs(inputs);
    g_call = &state;
    const bool returned =
        runEntry(entry_, nlhs, plhs.data(), nrhs, prhs.empty() ? nullptr : prhs.data(), &state);
    g_call = nullptr;

    CallResult result;
    result.failed = !returned;
    result.message = state.message;
    result.blocksTaken = state.blocksTaken;
    result.blocksLeft = state.blocks.size();
    // The host reclaims the scratch blocks of the call, whichever way it ended.
    for (void *p : state.blocks) {
        std::free(p);
    }
    if (returned) {
        for (int k = 0; k < nlhs; ++k) {
            mxArray *out = plhs[static_cast<std::size_t>(k)];
            if (out && state.created.erase(out) != 1) {
                hostFault("an output slot holds an array the call did not create");
            }
            result.outputs.emplace_back(out);
        }
        if (nlhs <= 0 && plhs[0]) {
            // The one slot a call with no requested output may still fill.
            state.created.erase(plhs[0]);
            result.outputs.emplace_back(plhs[0]);
        }
    }
    // Arrays created but not returned (all of them after an error) are the
    // host's to reclaim.
    result.arraysLeft = returned ? state.created.size() : 0;
    for (mxArray *a : state.created) {
        destroy(a);
    }
    return result;
}

std::string mexPath(const std::string &name) { return std::string(MEXTK_TESTHOST_MEX_DIR) + "/" + name + ".mexa64"; }

static std::vector<std::string> dynamicSymbols(const std::string &path, const char *which)
{
    const std::string command = std::string("nm -D ") + which + " '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        throw std::runtime_error("test host: cannot run nm");
    }
    std::vector<std::string> symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
            s.pop_back();
        }
        // "[address] type name[@version]": keep the name.
        const std::size_t space = s.rfind(' ');
        std::string name = space == std::string::npos ? s : s.substr(space + 1);
        symbols.push_back(name.substr(0, name.find('@')));
    }
    return symbols;
}

std::vector<std::string> definedDynamicSymbols(const std::string &path)
{
    return dynamicSymbols(path, "--defined-only");
}

std::vector<std::string> undefinedDynamicSymbols(const std::string &path)
{
    return dynamicSymbols(path, "--undefined-only");
}

}  // namespace testhost
