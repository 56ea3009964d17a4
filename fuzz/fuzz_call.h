// What the three fuzzers share: bytes turned into the arguments of a call,
// the call made through the test host, and the invariants every call keeps
// whatever its gateway.
//
// A broken invariant prints what broke and aborts, so that libFuzzer keeps
// the input that broke it.
#ifndef FUZZ_CALL_H
#define FUZZ_CALL_H

#include "test_host.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// The fuzzer's input, read from the front.  Past its end it goes on as a
// pseudo-random stream fixed by the input's length, so that a short input
// still gives large arrays varied data.
class Bytes {
public:
    Bytes(const std::uint8_t *data, std::size_t size);
    std::uint8_t byte();
    std::uint32_t word();  // four bytes, the first one lowest
    std::uint64_t wide();  // eight bytes, the first one lowest
    // 0 ... n-1, for n <= 256.
    std::size_t below(std::size_t n) { return byte() % n; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t next_ = 0;
    std::uint64_t state_;
};

// A count of inputs or outputs: -1 ... 6.
int anyCount(Bytes &in);

// A double that is mostly of order one, in steps of 1/32, and sometimes
// special: signed zero, NaN, infinities, extremes, subnormals, raw bits.
double anyDouble(Bytes &in);

// An argument of any class (every numeric class, logical, char, and a cell
// as the stand-in for the non-numeric ones), real or complex, full or
// sparse, with 0 to 4 dimensions.  Sides are 0 ... maxSide, now and then one
// too large to hold (up to 2^32 + 1): such an array has no data at all.
// The data bytes come from the input.
testhost::Array anyArray(Bytes &in, std::size_t maxSide);

// A full real array of the class and shape whose elements are written one
// by one by fill(in, element pointer).
template <class Fill>
testhost::Array filledArray(Bytes &in, mxClassID cls, const std::vector<std::size_t> &dims, std::size_t elementSize,
                            Fill fill)
{
    testhost::Array a(testhost::makeArray(cls, dims));
    auto *data = static_cast<unsigned char *>(testhost::realData(a.get()));
    const std::size_t count = testhost::elementCount(a.get());
    for (std::size_t e = 0; e < count; ++e) {
        fill(in, data + e * elementSize);
    }
    return a;
}

// The most elements a successful call is given to produce or visit (a
// 1-by-2^31 result is the host's memory to find, not a finding).
constexpr std::size_t kMaxWork = std::size_t{1} << 20;

// An array whose data the host does not have (too large to hold, or a cell):
// a call that would need it is not made.
bool isPlaceholder(const mxArray *a);

struct Call {
    int nlhs = 0;
    int nrhs = 0;
    std::vector<testhost::Array> inputs;  // max(nrhs, 0) of them
    bool usesPlaceholder(std::size_t firstInputs) const;
};

// Now and then changes the numbers of outputs and inputs to any count from
// -1 to 6 (new inputs are anyArray), and replaces one input with anyArray:
// the gateway's checks then have to catch what is wrong.
void perturb(Bytes &in, Call &call, std::size_t maxSide);

// What a call should give: the message of its first failed check (empty
// when it succeeds) and what it prints to standard output before it.
struct Expected {
    std::string message;
    std::string printed;
};

struct Outcome {
    testhost::CallResult result;
    std::string printed;  // what the gateway wrote to standard output
};

// Loads the gateway's test-host MEX file; called once, before fuzzing.
void load(const char *name);

// Calls the loaded gateway and checks what holds for every gateway and every
// call: the inputs come back unchanged byte for byte, no mxMalloc block is
// left for the host to reclaim, no array is left over after a call that
// returned, and the message and the printed text are those expected.
Outcome call(const Call &call, const Expected &expected);

[[noreturn]] void fail(const std::string &what);
inline void check(bool ok, const std::string &what)
{
    if (!ok) {
        fail(what);
    }
}

// Output slot k after a successful call: a full real array of the class and
// dimensions given.
const mxArray *output(const Outcome &o, std::size_t k, mxClassID cls, const std::vector<std::size_t> &dims);

// The same bits, or both NaN (which NaN an operation keeps is the
// compiler's to choose).
bool sameDouble(double a, double b);

// A double written out to the last bit.
std::string show(double v);

// The rows (first dimension) and columns (the product of the others) of an
// array at full width.
std::size_t rowsOf(const mxArray *a);
std::size_t columnsOf(const mxArray *a);

}  // namespace fuzz

#endif
