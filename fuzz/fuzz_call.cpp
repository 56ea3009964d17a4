#include "fuzz_call.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>

namespace fuzz {

namespace {

const mxClassID kClasses[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,   mxUINT8_CLASS, mxINT16_CLASS,
                              mxUINT16_CLASS, mxINT32_CLASS,  mxUINT32_CLASS, mxINT64_CLASS, mxUINT64_CLASS,
                              mxLOGICAL_CLASS, mxCHAR_CLASS,  mxCELL_CLASS};

// Sides around the square root of 2^31 and past the 32-bit limits.
const std::size_t kHugeSides[] = {32768, 46340, 46341, 65536, 2147483647, 2147483648u, 4294967297u};

// Arrays larger than this are made without data.
constexpr std::size_t kMaxDataBytes = std::size_t{1} << 18;

std::size_t elementSize(mxClassID cls)
{
    switch (cls) {
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
        return 8;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
        return 4;
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
    case mxCHAR_CLASS:
        return 2;
    default:
        return 1;
    }
}

std::unique_ptr<testhost::MexFile> g_gateway;

// The arguments as a reader of a finding wants them: class, dimensions and
// storage of each input.
std::string describe(const Call &c)
{
    std::string s = "nlhs " + std::to_string(c.nlhs) + ", nrhs " + std::to_string(c.nrhs);
    for (const testhost::Array &a : c.inputs) {
        s += "; class " + std::to_string(testhost::classOf(a.get())) + " ";
        for (std::size_t d : testhost::dimsOf(a.get())) {
            s += std::to_string(d) + "x";
        }
        s.pop_back();
        s += testhost::isComplex(a.get()) ? " complex" : "";
        s += mxIsSparse(a.get()) ? " sparse" : "";
        s += isPlaceholder(a.get()) ? " (no data)" : "";
    }
    return s;
}

}  // namespace

Bytes::Bytes(const std::uint8_t *data, std::size_t size)
    : data_(data), size_(size), state_((size * 0x9E3779B97F4A7C15u) | 1u)
{
}

std::uint8_t Bytes::byte()
{
    if (next_ < size_) {
        return data_[next_++];
    }
    // xorshift64
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint8_t>(state_ >> 56);
}

std::uint32_t Bytes::word()
{
    std::uint32_t w = 0;
    for (unsigned k = 0; k < 4; ++k) {
        w |= static_cast<std::uint32_t>(byte()) << (8 * k);
    }
    return w;
}

std::uint64_t Bytes::wide() { return word() | static_cast<std::uint64_t>(word()) << 32; }

int anyCount(Bytes &in) { return static_cast<int>(in.below(8)) - 1; }

double anyDouble(Bytes &in)
{
    const std::uint8_t code = in.byte();
    if (code < 224) {
        return (static_cast<int>(code) - 112) / 32.0;
    }
    using limits = std::numeric_limits<double>;
    const double special[] = {-0.0,         limits::quiet_NaN(), limits::infinity(), -limits::infinity(),
                              limits::max(), -limits::max(),     limits::min(),      limits::denorm_min(),
                              1e300,        -1e300,              1e-300,             0.1};
    if (code - 224u < std::size(special)) {
        return special[code - 224];
    }
    const std::uint64_t bits = in.wide();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

testhost::Array anyArray(Bytes &in, std::size_t maxSide)
{
    const std::uint8_t shape = in.byte();
    const std::uint8_t kind = in.byte();
    const mxClassID cls = kClasses[in.below(std::size(kClasses))];
    std::vector<std::size_t> dims;
    for (std::size_t k = shape % 5; k > 0; --k) {
        dims.push_back(in.below(maxSide + 1));
    }
    if ((shape >> 3) % 8 == 0 && !dims.empty()) {
        const std::size_t k = in.below(dims.size());
        dims[k] = kHugeSides[in.below(std::size(kHugeSides))];
    }
    if (cls == mxCELL_CLASS) {
        return testhost::Array(testhost::makeShapeOnly(cls, dims));
    }
    const bool numeric = cls != mxLOGICAL_CLASS && cls != mxCHAR_CLASS;
    const bool complex = numeric && (kind & 1) != 0;
    if ((kind & 6) == 6 && dims.size() <= 2 && (cls == mxDOUBLE_CLASS || cls == mxLOGICAL_CLASS)) {
        dims.resize(2, 1);
        return testhost::Array(testhost::makeSparse(cls, dims[0], dims[1], complex));
    }
    std::size_t count = 1;
    for (std::size_t d : dims) {
        count *= d;  // at most one huge side: no overflow
    }
    if (count > kMaxDataBytes / elementSize(cls)) {
        return testhost::Array(testhost::makeShapeOnly(cls, dims));
    }
    testhost::Array a(testhost::makeArray(cls, dims, complex));
    const std::size_t bytes = testhost::elementCount(a.get()) * elementSize(cls);
    for (void *block : {testhost::realData(a.get()), testhost::imagData(a.get())}) {
        for (std::size_t b = 0; block && b < bytes; ++b) {
            static_cast<std::uint8_t *>(block)[b] = in.byte();
        }
    }
    return a;
}

bool isPlaceholder(const mxArray *a) { return testhost::realData(a) == nullptr && testhost::elementCount(a) > 0; }

bool Call::usesPlaceholder(std::size_t firstInputs) const
{
    for (std::size_t i = 0; i < inputs.size() && i < firstInputs; ++i) {
        if (isPlaceholder(inputs[i].get())) {
            return true;
        }
    }
    return false;
}

void perturb(Bytes &in, Call &call, std::size_t maxSide)
{
    const std::uint8_t how = in.byte();
    if (how % 8 == 0) {
        call.nlhs = anyCount(in);
    }
    if ((how >> 3) % 8 == 0) {
        call.nrhs = anyCount(in);
        const auto count = static_cast<std::size_t>(std::max(call.nrhs, 0));
        call.inputs.resize(std::min(count, call.inputs.size()));
        while (call.inputs.size() < count) {
            call.inputs.push_back(anyArray(in, maxSide));
        }
    }
    if ((how >> 6) == 0 && !call.inputs.empty()) {
        const std::size_t slot = in.below(call.inputs.size());
        call.inputs[slot] = anyArray(in, maxSide);
    }
}

void load(const char *name) { g_gateway = std::make_unique<testhost::MexFile>(testhost::mexPath(name)); }

void fail(const std::string &what)
{
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::abort();
}

Outcome call(const Call &c, const Expected &expected)
{
    // FUZZ_TRACE=1 lists every call made, for reading a finding.
    static const bool trace = std::getenv("FUZZ_TRACE") != nullptr;
    if (trace) {
        std::fprintf(stderr, "fuzz: call with %s\n", describe(c).c_str());
    }
    std::vector<const mxArray *> prhs;
    std::vector<std::string> before;
    for (const testhost::Array &a : c.inputs) {
        prhs.push_back(a.get());
        before.push_back(testhost::contents(a.get()));
    }
    std::stringbuf printed;
    std::streambuf *const console = std::cout.rdbuf(&printed);
    Outcome o{g_gateway->call(c.nlhs, c.nrhs, prhs), {}};
    std::cout.rdbuf(console);
    o.printed = printed.str();

    for (std::size_t i = 0; i < prhs.size(); ++i) {
        check(testhost::contents(prhs[i]) == before[i], "input " + std::to_string(i) + " changed");
    }
    check(o.result.blocksLeft == 0, std::to_string(o.result.blocksLeft) + " mxMalloc blocks left to the host");
    const auto describeOutcome = [](bool failed, const std::string &message) {
        return failed ? "the error \"" + message + "\"" : std::string("success");
    };
    check(o.result.failed == !expected.message.empty() && o.result.message == expected.message,
          describe(c) + ":\n" + describeOutcome(o.result.failed, o.result.message) + ", expected " +
              describeOutcome(!expected.message.empty(), expected.message));
    check(o.printed == expected.printed, "printed\n" + o.printed + "expected\n" + expected.printed);
    check(o.result.failed || o.result.arraysLeft == 0, "a created array was left over");
    return o;
}

const mxArray *output(const Outcome &o, std::size_t k, mxClassID cls, const std::vector<std::size_t> &dims)
{
    const std::string slot = "output " + std::to_string(k);
    check(k < o.result.outputs.size() && o.result.outputs[k].get(), slot + " not set");
    const mxArray *a = o.result.outputs[k].get();
    check(testhost::classOf(a) == cls && !testhost::isComplex(a) && !mxIsSparse(a) && !isPlaceholder(a),
          slot + ": not a full real array of the class");
    check(testhost::dimsOf(a) == dims, slot + ": wrong dimensions");
    return a;
}

bool sameDouble(double a, double b)
{
    if (a != a && b != b) {
        return true;
    }
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string show(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::size_t rowsOf(const mxArray *a) { return testhost::dimsOf(a)[0]; }

std::size_t columnsOf(const mxArray *a)
{
    const std::vector<std::size_t> dims = testhost::dimsOf(a);
    std::size_t n = 1;
    for (std::size_t k = 1; k < dims.size(); ++k) {
        n *= dims[k];
    }
    return n;
}

}  // namespace fuzz
