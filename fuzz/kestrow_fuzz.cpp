// kestrow under libFuzzer: calls mostly of consistent shapes, for every D
// from 0 to 40 and N from 0 to 33 (so that every lane count of a vector path
// and its remainder is met), now and then with one size slipped, the rest
// perturbed.  Every call gets the outcome and the diagnostics of the
// documented checks, and a successful one the values of a plain evaluation,
// bit for bit, with the evaluator's own exponential.  The same inputs also go
// through every instruction-set path this machine runs, not only the one the
// gateway picks.
#include "column_gaussian.h"
#include "exponential.h"
#include "fuzz_call.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

const char *const kNames[4] = {"X", "MU", "IS", "K"};

fuzz::Expected expected(const fuzz::Call &c)
{
    if (c.nrhs != 4) {
        return {"4 input arguments expected.", ""};
    }
    if (c.nlhs != 1) {
        return {"1 output argument expected.", ""};
    }
    for (int i = 0; i < 4; ++i) {
        const mxArray *a = c.inputs[static_cast<std::size_t>(i)].get();
        const bool isDouble = testhost::classOf(a) == mxDOUBLE_CLASS, complex = testhost::isComplex(a);
        const std::size_t ndims = testhost::dimsOf(a).size();
        if (!isDouble || complex || ndims != 2) {
            return {"Error as above", "??? Input " + std::to_string(i) +
                                          " is not a real double matrix with 2 dimension(s): {double==" +
                                          std::to_string(isDouble) + ",complex==" + std::to_string(complex) +
                                          ",ndims==" + std::to_string(ndims) + "}\n\n"};
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (mxIsSparse(c.inputs[static_cast<std::size_t>(i)].get())) {
            return {"Input " + std::to_string(i) + " is sparse; a full real double matrix is expected.", ""};
        }
    }
    for (int i = 0; i < 4; ++i) {
        const mxArray *a = c.inputs[static_cast<std::size_t>(i)].get();
        if (fuzz::rowsOf(a) > INT_MAX || fuzz::columnsOf(a) > INT_MAX) {
            return {"Input " + std::to_string(i) + " has more than 2147483647 rows or columns.", ""};
        }
    }
    const std::size_t D = fuzz::rowsOf(c.inputs[0].get()), N = fuzz::columnsOf(c.inputs[0].get());
    const std::vector<std::size_t> want[4] = {{D, N}, {D, 1}, {D, D}, {1, 1}};
    std::string shapes = "D: " + std::to_string(D) + "\nN: " + std::to_string(N) + "\n";
    bool consistent = true;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::vector<std::size_t> dims = testhost::dimsOf(c.inputs[i].get());
        consistent = consistent && dims == want[i];
        shapes += std::string(kNames[i]) + " is [ " + std::to_string(dims[0]) + " x " + std::to_string(dims[1]) +
                  " ]\n";
    }
    return consistent ? fuzz::Expected{} : fuzz::Expected{"Input dimensions are not consistent.", shapes};
}

const double *doubles(const mxArray *a) { return static_cast<const double *>(testhost::realData(a)); }

void checkValues(const fuzz::Outcome &o, const fuzz::Call &c)
{
    const std::size_t D = fuzz::rowsOf(c.inputs[0].get()), N = fuzz::columnsOf(c.inputs[0].get());
    const double *X = doubles(c.inputs[0].get()), *MU = doubles(c.inputs[1].get());
    const double *IS = doubles(c.inputs[2].get()), K = doubles(c.inputs[3].get())[0];
    std::vector<double> want(N), d(D);
    for (std::size_t col = 0; col < N; ++col) {
        for (std::size_t k = 0; k < D; ++k) {
            d[k] = X[col * D + k] - MU[k];
        }
        double q = 0.0;
        for (std::size_t j = 0; j < D; ++j) {
            double s = 0.0;
            for (std::size_t m = 0; m < D; ++m) {
                s = s + d[m] * IS[j * D + m];
            }
            q = q + s * d[j];
        }
        want[col] = crexp::exponential(q * -0.5) * K;
    }
    auto compare = [&](const double *got, const char *path) {
        for (std::size_t col = 0; col < N; ++col) {
            fuzz::check(fuzz::sameDouble(got[col], want[col]),
                        std::string(path) + ", D " + std::to_string(D) + ", column " + std::to_string(col) + ": " +
                            fuzz::show(got[col]) + ", expected " + fuzz::show(want[col]));
        }
    };
    compare(doubles(fuzz::output(o, 0, mxDOUBLE_CLASS, {1, N})), "gateway");
    for (const crexp::Isa isa : crexp::kAllIsas) {
        if (crexp::isaSupported(isa)) {
            std::vector<double> got(N);
            kestrow::evalColumnGaussianOn(isa, X, static_cast<std::int32_t>(D), static_cast<std::int32_t>(N), MU, IS,
                                          K, got.data());
            compare(got.data(), crexp::isaName(isa));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::load("kestrow");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes in(data, size);
    const std::size_t D = in.below(41), N = in.below(34);
    std::size_t sides[8] = {D, N, D, 1, D, D, 1, 1};  // X, MU, IS, K
    if (in.below(8) == 0) {
        const std::size_t k = in.below(8);
        sides[k] = in.below(42);
    }
    // IS scaled by 1/D keeps the quadratic forms of order one at every D, so
    // that the values are not all 0 or K.
    const double scale = D > 0 ? 1.0 / static_cast<double>(D) : 1.0;
    fuzz::Call c{1, 4, {}};
    for (std::size_t i = 0; i < 4; ++i) {
        const double factor = i == 2 ? scale : 1.0;
        c.inputs.push_back(fuzz::filledArray(in, mxDOUBLE_CLASS, {sides[2 * i], sides[2 * i + 1]}, 8,
                                             [factor](fuzz::Bytes &b, unsigned char *e) {
                                                 const double v = fuzz::anyDouble(b) * factor;
                                                 std::memcpy(e, &v, sizeof v);
                                             }));
    }
    fuzz::perturb(in, c, 6);

    const fuzz::Expected want = expected(c);
    if (want.message.empty() && (c.usesPlaceholder(4) || fuzz::columnsOf(c.inputs[0].get()) > fuzz::kMaxWork)) {
        return 0;  // data no host could hold, or a result of gigabytes
    }
    const fuzz::Outcome o = fuzz::call(c, want);
    if (want.message.empty()) {
        checkValues(o, c);
    }
    return 0;
}
