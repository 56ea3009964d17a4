// pallant under libFuzzer: calls mostly of the documented form (an image of
// up to 7-by-7 pixels with 0 to 3 channels, or of four dimensions, maybe
// complex; up to 8 offsets near the image's border or at the int32
// extremes), the rest perturbed.  Every call gets the outcome of the
// documented checks, and a successful one the edges of a plain listing.
#include "fuzz_call.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

const std::string kTooManyEdges = "The offsets yield more than 2147483647 edges\n";

std::int32_t anyOffset(fuzz::Bytes &in, std::int32_t extent)
{
    const std::uint8_t code = in.byte();
    if (code < 192) {
        return static_cast<std::int32_t>(code % (2 * extent + 3)) - (extent + 1);
    }
    const std::int32_t special[] = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, -extent, extent};
    const std::size_t pick = in.below(std::size(special) + 1);
    return pick < std::size(special) ? special[pick] : static_cast<std::int32_t>(in.word());
}

const std::int32_t *int32s(const mxArray *a) { return static_cast<const std::int32_t *>(testhost::realData(a)); }

std::int64_t edgeCount(std::size_t H, std::size_t W, const mxArray *roffset, const mxArray *coffset)
{
    std::int64_t total = 0;
    for (std::size_t k = 0; k < fuzz::rowsOf(roffset); ++k) {
        const std::int64_t r = int32s(roffset)[k], c = int32s(coffset)[k];
        const std::int64_t rows = static_cast<std::int64_t>(H) - (r < 0 ? -r : r);
        const std::int64_t cols = static_cast<std::int64_t>(W) - (c < 0 ? -c : c);
        total += rows > 0 && cols > 0 ? rows * cols : 0;
    }
    return total;
}

// The message of the first check the call fails; empty when it passes.
std::string firstFailure(const fuzz::Call &c)
{
    if (c.nrhs != 3) {
        return "3 input arguments expected.";
    }
    if (c.nlhs != 4) {
        return "4 output arguments expected.";
    }
    const mxArray *image = c.inputs[0].get(), *roffset = c.inputs[1].get(), *coffset = c.inputs[2].get();
    if (testhost::classOf(image) != mxDOUBLE_CLASS) {
        return "prhs[0] (image) shd be of type double\n";
    }
    if (testhost::classOf(roffset) != mxINT32_CLASS) {
        return "prhs[1] (roffset) shd be of type int32\n";
    }
    if (testhost::classOf(coffset) != mxINT32_CLASS) {
        return "prhs[2] (coffset) shd be of type int32\n";
    }
    if (mxIsSparse(image)) {
        return "prhs[0] (image) shd be a full (not sparse) array\n";
    }
    const std::size_t n = fuzz::rowsOf(roffset);
    if (fuzz::columnsOf(roffset) != 1 || fuzz::columnsOf(coffset) != 1 || fuzz::rowsOf(coffset) != n ||
        n > INT32_MAX) {
        return "Invalid size for roffset or coffset\n";
    }
    const std::size_t H = testhost::dimsOf(image)[0], W = testhost::dimsOf(image)[1];
    if (W != 0 && H > INT32_MAX / W) {
        return "prhs[0] (image) has more than 2147483647 pixels per plane\n";
    }
    if (fuzz::isPlaceholder(roffset) || fuzz::isPlaceholder(coffset)) {
        return "";  // never called: the offsets would be read
    }
    return edgeCount(H, W, roffset, coffset) > INT32_MAX ? kTooManyEdges : "";
}

// More (pixel, offset) pairs than a call of the fuzzer visits: every code
// path is reached by small images, and a call of a million pairs (an empty
// 32768-by-5-by-1-by-0 image has every edge of its grid) takes seconds
// under the sanitizers, for the gateway and the reference alike.
constexpr std::size_t kMaxPairs = std::size_t{1} << 16;

bool tooMuchWork(const fuzz::Call &c)
{
    const std::size_t H = testhost::dimsOf(c.inputs[0].get())[0], W = testhost::dimsOf(c.inputs[0].get())[1];
    const std::size_t n = std::max<std::size_t>(fuzz::rowsOf(c.inputs[1].get()), 1);
    return H != 0 && W != 0 && (H > kMaxPairs / W || H * W > kMaxPairs / n);
}

// The four columns, edge by edge in the documented order.
void checkEdges(const fuzz::Outcome &o, const fuzz::Call &c)
{
    const mxArray *image = c.inputs[0].get();
    const std::vector<std::size_t> dims = testhost::dimsOf(image);
    const std::int64_t H = static_cast<std::int64_t>(dims[0]), W = static_cast<std::int64_t>(dims[1]);
    // Three dimensions give the channels; more count as one channel, or as
    // none when a later one is 0 (no plane).
    std::int64_t D = 1;
    for (std::size_t k = 2; k < dims.size(); ++k) {
        D = dims.size() == 3 ? static_cast<std::int64_t>(dims[k]) : dims[k] == 0 ? 0 : D;
    }
    const std::int64_t S = H * W;
    const double *pixels = static_cast<const double *>(testhost::realData(image));
    const std::int32_t *roffset = int32s(c.inputs[1].get()), *coffset = int32s(c.inputs[2].get());
    const auto n = static_cast<std::int64_t>(fuzz::rowsOf(c.inputs[1].get()));

    std::vector<double> columns[4];
    for (std::int64_t j = 0; H > 0 && j < W; ++j) {
        for (std::int64_t i = 0; i < H; ++i) {
            for (std::int64_t k = 0; k < n; ++k) {
                const std::int64_t r = roffset[k], cc = coffset[k];
                if (i + r < 0 || i + r >= H || j + cc < 0 || j + cc >= W) {
                    continue;
                }
                const std::int64_t p = j * H + i, q = (j + cc) * H + (i + r);
                double sum = 0.0;
                for (std::int64_t m = 0; m < D; ++m) {
                    const double difference = pixels[p + m * S] - pixels[q + m * S];
                    sum = sum + difference * difference;
                }
                columns[0].push_back(static_cast<double>(p + 1));
                columns[1].push_back(static_cast<double>(q + 1));
                columns[2].push_back(sum);
                columns[3].push_back(static_cast<double>(r * r + cc * cc));
            }
        }
    }
    for (std::size_t k = 0; k < 4; ++k) {
        const std::size_t E = columns[k].size();
        const auto *got = static_cast<const double *>(
            testhost::realData(fuzz::output(o, k, mxDOUBLE_CLASS, {E, 1})));
        for (std::size_t e = 0; e < E; ++e) {
            fuzz::check(fuzz::sameDouble(got[e], columns[k][e]),
                        "column " + std::to_string(k) + ", edge " + std::to_string(e) + ": " +
                            fuzz::show(got[e]) + ", expected " + fuzz::show(columns[k][e]));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::load("pallant");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes in(data, size);
    const auto H = static_cast<std::int32_t>(in.below(8)), W = static_cast<std::int32_t>(in.below(8));
    std::vector<std::size_t> dims{static_cast<std::size_t>(H), static_cast<std::size_t>(W)};
    const std::uint8_t form = in.byte();
    if (form % 4 == 1 || form % 4 == 2) {
        dims.push_back(in.below(4));
    } else if (form % 4 == 3) {
        dims.insert(dims.end(), {1 + in.below(3), 2});
    }
    testhost::Array image(testhost::makeArray(mxDOUBLE_CLASS, dims, (form & 4) != 0));
    for (void *block : {testhost::realData(image.get()), testhost::imagData(image.get())}) {
        for (std::size_t e = 0; block && e < testhost::elementCount(image.get()); ++e) {
            const double v = fuzz::anyDouble(in);
            std::memcpy(static_cast<double *>(block) + e, &v, sizeof v);
        }
    }
    const std::size_t n = in.below(9);
    const auto offsets = [&in, n](std::int32_t extent) {
        return fuzz::filledArray(in, mxINT32_CLASS, {n, 1}, 4, [extent](fuzz::Bytes &b, unsigned char *e) {
            const std::int32_t v = anyOffset(b, extent);
            std::memcpy(e, &v, sizeof v);
        });
    };
    fuzz::Call c{4, 3, {}};
    c.inputs.push_back(std::move(image));
    c.inputs.push_back(offsets(H));
    c.inputs.push_back(offsets(W));
    fuzz::perturb(in, c, 6);

    const std::string message = firstFailure(c);
    // Data no host could hold is never read, and a successful call's pixel
    // and offset pairs stay few: other calls are not made.
    const bool readsOffsets = message.empty() || message == kTooManyEdges;
    if (readsOffsets && (fuzz::isPlaceholder(c.inputs[1].get()) || fuzz::isPlaceholder(c.inputs[2].get()) ||
                         (message.empty() && (fuzz::isPlaceholder(c.inputs[0].get()) || tooMuchWork(c))))) {
        return 0;
    }
    const fuzz::Outcome o = fuzz::call(c, {message, ""});
    if (message.empty()) {
        checkEdges(o, c);
    }
    return 0;
}
