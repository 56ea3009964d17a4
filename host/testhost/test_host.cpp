// The test side of the test host: building and reading arrays, loading a
// MEX file as MATLAB does (dlopen, or LoadLibrary on Windows) and calling its
// mexFunction.  The host operations themselves are in libmx and libmex.
#include "test_host.h"

#include "host_internal.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

std::size_t product(const std::vector<std::size_t> &dims)
{
    std::size_t n = 1;
    for (std::size_t d : dims) {
        n *= d;
    }
    return n;
}

}  // namespace

namespace testhost {

mxArray *makeArray(mxClassID cls, const std::vector<std::size_t> &dims, bool complex)
{
    return mextk_host_new_array(cls, dims, complex, true);
}

// A full real array of the given class holding values, column-major.
template <class T>
static mxArray *makeFilled(mxClassID cls, const std::vector<std::size_t> &dims, const std::vector<T> &values)
{
    mxArray *a = mextk_host_new_array(cls, dims, false, true);
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
    // The block of a sparse array holds only its nonzeros: one slot here,
    // far shorter than a full block would be.  Reading it as a full block is
    // a read out of bounds, which the sanitizer build reports.
    mxArray *a = mextk_host_new_array(cls, {1, 1}, complex, true);
    a->dims = {rows, cols};
    a->dims32.clear();
    for (std::size_t d : a->dims) {
        a->dims32.push_back(d > static_cast<std::size_t>(INT_MAX) ? -1 : static_cast<int>(d));
    }
    a->sparse = true;
    return a;
}

mxArray *makeShapeOnly(mxClassID cls, const std::vector<std::size_t> &dims)
{
    return mextk_host_new_array(cls, dims, false, false);
}

void destroy(mxArray *a) { mextk_host_destroy_array(a); }

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

#if defined(_WIN32)

MexFile::MexFile(const std::string &path)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        throw std::runtime_error("test host: cannot load " + path + ": error " + std::to_string(GetLastError()));
    }
    handle_ = module;
    entry_ = reinterpret_cast<void (*)(int, mxArray **, int, const mxArray **)>(
        reinterpret_cast<void *>(GetProcAddress(module, "mexFunction")));
    if (!entry_) {
        FreeLibrary(module);
        throw std::runtime_error("test host: " + path + " has no mexFunction");
    }
}

MexFile::~MexFile() { FreeLibrary(static_cast<HMODULE>(handle_)); }

#else

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

#endif

// The call itself: kept apart from anything with a destructor, since
// mexErrMsgTxt jumps back into it.
static bool __attribute__((noinline)) runEntry(void (*entry)(int, mxArray **, int, const mxArray **), int nlhs,
                                                mxArray **plhs, int nrhs, const mxArray **prhs,
                                                MextkCallState *state)
{
    if (MEXTK_SETJMP(state->exit) != 0) {
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
    if (inputs.size() != static_cast<std::size_t>(std::max(nrhs, 0))) {
        throw std::invalid_argument("test host: nrhs does not match the inputs");
    }
    MextkCallState state;
    // MATLAB gives the gateway at least one output slot, even for nlhs = 0.
    std::vector<mxArray *> plhs(static_cast<std::size_t>(std::max(nlhs, 1)), nullptr);
    std::vector<const mxArray *> prhs(inputs);
    mextk_host_begin_call(&state);
    const bool returned =
        runEntry(entry_, nlhs, plhs.data(), nrhs, prhs.empty() ? nullptr : prhs.data(), &state);
    mextk_host_end_call();

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
                mextk_host_fault("an output slot holds an array the call did not create");
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

// ---- Standard output ----------------------------------------------------------
#if defined(_WIN32)
static int duplicate(int fd) { return _dup(fd); }
static int redirect(int from, int to) { return _dup2(from, to); }
static long long position(int fd, long long at, int whence) { return _lseeki64(fd, at, whence); }
static long long readSome(int fd, char *buffer, unsigned n) { return _read(fd, buffer, n); }
static void closeFd(int fd) { _close(fd); }
#else
static int duplicate(int fd) { return dup(fd); }
static int redirect(int from, int to) { return dup2(from, to); }
static long long position(int fd, long long at, int whence) { return lseek(fd, at, whence); }
static long long readSome(int fd, char *buffer, unsigned n) { return read(fd, buffer, n); }
static void closeFd(int fd) { close(fd); }
#endif

CapturedStdout::CapturedStdout()
{
    std::fflush(stdout);
    file_ = std::tmpfile();  // binary: no line-end translation on Windows
    saved_ = duplicate(1);
    if (!file_ || saved_ < 0 || redirect(fileno(static_cast<FILE *>(file_)), 1) < 0) {
        throw std::runtime_error("test host: cannot capture standard output");
    }
}

CapturedStdout::~CapturedStdout()
{
    std::fflush(stdout);
    redirect(saved_, 1);
    closeFd(saved_);
    std::fclose(static_cast<FILE *>(file_));
}

std::string CapturedStdout::delivered() const
{
    // Read from the start, then put the shared offset back where the
    // writers left it.
    const int fd = fileno(static_cast<FILE *>(file_));
    const long long end = position(fd, 0, SEEK_CUR);
    position(fd, 0, SEEK_SET);
    std::string text;
    char buffer[4096];
    for (long long n; (n = readSome(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    position(fd, end, SEEK_SET);
    return text;
}

std::string CapturedStdout::written() const
{
    std::fflush(stdout);
    return delivered();
}

std::string mexPath(const std::string &name)
{
    return std::string(MEXTK_TESTHOST_MEX_DIR) + "/" + name + "." + MEXTK_MEX_EXTENSION;
}

static std::vector<std::string> dynamicSymbols(const std::string &path, const char *which)
{
#if defined(_WIN32)
    (void)path;
    (void)which;
    throw std::runtime_error("test host: no nm on this system");
#else
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
#endif
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
