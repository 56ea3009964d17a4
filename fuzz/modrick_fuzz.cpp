// modrick under libFuzzer: reference lists of up to 16 pairs, sorted or not,
// over a small alphabet (so that pairs repeat) or any 32-bit words, held as
// int32 or uint32 in any mix, with extra columns or B and D of other
// lengths; queries mostly drawn in order from the reference list, so that
// the lookup succeeds, now and then one that is not.  Every call gets the
// outcome of the documented checks, and a successful one the positions of
// a plain search.
#include "fuzz_call.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

using Pair = std::pair<std::uint32_t, std::uint32_t>;

const std::uint32_t *words(const mxArray *a) { return static_cast<const std::uint32_t *>(testhost::realData(a)); }

// The message of the first check the call fails, empty when it passes them
// all; with `lookup` set, the lookup then runs on the data.
std::string firstFailure(const fuzz::Call &c, bool &lookup)
{
    lookup = false;
    if (c.nrhs < 4) {
        return "4 input arguments are required.";
    }
    if (c.nlhs < 1) {
        return "1 output arguments are required.";
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const mxArray *a = c.inputs[i].get();
        const mxClassID cls = testhost::classOf(a);
        if (mxIsSparse(a) || testhost::isComplex(a) || (cls != mxINT32_CLASS && cls != mxUINT32_CLASS)) {
            return std::string("Input ") + "ABCD"[i] + " must be a real, full int32 or uint32 array.";
        }
    }
    const std::size_t e = fuzz::rowsOf(c.inputs[0].get()), m = fuzz::rowsOf(c.inputs[2].get());
    if (e > 4294967295u) {
        return "Input A has more than 4294967295 rows.";
    }
    if (testhost::elementCount(c.inputs[0].get()) < e) {
        return "Input A has fewer elements than rows.";
    }
    if (testhost::elementCount(c.inputs[1].get()) < e) {
        return "Input B has fewer elements than A has rows.";
    }
    if (m > 2147483647u) {
        return "Input C has more than 2147483647 rows.";
    }
    if (testhost::elementCount(c.inputs[2].get()) < m) {
        return "Input C has fewer elements than rows.";
    }
    if (testhost::elementCount(c.inputs[3].get()) < m) {
        return "Input D has fewer elements than C has rows.";
    }
    lookup = true;
    return "";
}

// Each query at the first equal reference pair at or after the one before.
bool search(const fuzz::Call &c, std::vector<std::uint32_t> &positions)
{
    const std::uint32_t *A = words(c.inputs[0].get()), *B = words(c.inputs[1].get());
    const std::uint32_t *C = words(c.inputs[2].get()), *D = words(c.inputs[3].get());
    const std::size_t e = fuzz::rowsOf(c.inputs[0].get()), m = fuzz::rowsOf(c.inputs[2].get());
    std::size_t j = 0;
    for (std::size_t p = 0; p < m; ++p) {
        while (j < e && (A[j] != C[p] || B[j] != D[p])) {
            ++j;
        }
        if (j == e) {
            return false;
        }
        positions.push_back(static_cast<std::uint32_t>(j + 1));
    }
    return true;
}

// A rows-by-columns array of the given words (then any words), int32 or uint32.
testhost::Array wordArray(fuzz::Bytes &in, const std::vector<std::uint32_t> &values, std::size_t rows,
                          std::size_t columns)
{
    const mxClassID cls = in.below(2) ? mxINT32_CLASS : mxUINT32_CLASS;
    std::size_t next = 0;
    return fuzz::filledArray(in, cls, {rows, columns}, 4, [&values, &next](fuzz::Bytes &b, unsigned char *e) {
        const std::uint32_t w = next < values.size() ? values[next] : b.word();
        ++next;
        std::memcpy(e, &w, sizeof w);
    });
}

// The length of B or D beside e rows of A or C: mostly e, sometimes more,
// sometimes one short.
std::size_t length(fuzz::Bytes &in, std::size_t e)
{
    const std::size_t pick = in.below(8);
    return pick < 5 ? e : pick < 7 ? e + pick - 4 : (e > 0 ? e - 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::load("modrick");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes in(data, size);
    const std::uint8_t style = in.byte();
    const auto anyWord = [&in, style]() -> std::uint32_t {
        if ((style & 1) && in.below(4) == 0) {
            const std::uint32_t extremes[] = {0, 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
            return in.below(2) ? extremes[in.below(5)] : in.word();
        }
        return static_cast<std::uint32_t>(in.below(4));  // few values: pairs repeat
    };
    std::vector<Pair> reference(in.below(17));
    for (Pair &pair : reference) {
        pair = {anyWord(), anyWord()};
    }
    if (style & 2) {
        std::sort(reference.begin(), reference.end());
    }
    std::vector<Pair> queries(in.below(17));
    std::size_t at = 0;
    for (Pair &pair : queries) {
        at = std::min(at + in.below(3), reference.size());
        const bool drawn = at < reference.size() && !(style & 4 && in.below(8) == 0);
        pair = drawn ? reference[at] : Pair{anyWord(), anyWord()};
    }

    std::vector<std::uint32_t> columns[4];
    for (const Pair &pair : reference) {
        columns[0].push_back(pair.first);
        columns[1].push_back(pair.second);
    }
    for (const Pair &pair : queries) {
        columns[2].push_back(pair.first);
        columns[3].push_back(pair.second);
    }
    const std::uint8_t layout = in.byte();
    const std::size_t e = reference.size(), m = queries.size();
    fuzz::Call c{1 + static_cast<int>(in.below(3)), 4, {}};
    c.inputs.push_back(wordArray(in, columns[0], e, 1 + (layout & 1)));
    c.inputs.push_back(wordArray(in, columns[1], (layout & 2) ? length(in, e) : e, 1));
    c.inputs.push_back(wordArray(in, columns[2], m, 1 + ((layout >> 2) & 1)));
    c.inputs.push_back(wordArray(in, columns[3], (layout & 8) ? length(in, m) : m, 1));
    fuzz::perturb(in, c, 6);

    bool lookup = false;
    std::string message = firstFailure(c, lookup);
    std::vector<std::uint32_t> positions;
    if (lookup) {
        if (c.usesPlaceholder(4)) {
            return 0;  // data no host could hold
        }
        if (!search(c, positions)) {
            message = "Unexpected input combination\n";
        }
    }
    const fuzz::Outcome o = fuzz::call(c, {message, ""});
    if (message.empty()) {
        const auto *got = words(fuzz::output(o, 0, mxUINT32_CLASS, {positions.size(), 1}));
        for (std::size_t p = 0; p < positions.size(); ++p) {
            fuzz::check(got[p] == positions[p], "query " + std::to_string(p) + ": row " + std::to_string(got[p]) +
                                                    ", expected " + std::to_string(positions[p]));
        }
        for (std::size_t k = 1; k < o.result.outputs.size(); ++k) {
            fuzz::check(o.result.outputs[k].get() == nullptr, "output " + std::to_string(k) + " set");
        }
    }
    return 0;
}
