// Searches for doubles x whose e^x lies very close to a rounding midpoint
// (the hardest inputs to round), for the exponential's tests.  Method: for
// a midpoint m between two neighbouring doubles, x = RN(log m) puts e^x at
// relative distance |x - log m| from m, at most half an ulp of x: tiny for
// tiny x, and, over many midpoints, as small as the luckiest sample.  Prints
// the best inputs found, with that distance in units of half an ulp of e^x.
//
//   g++ -O2 -std=c++17 tools/exp_hard_cases.cpp -lmpfr -lgmp -o /tmp/exp_hard_cases
//   /tmp/exp_hard_cases [samples per binade]
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Found {
    double x;
    double score;  // |x - log m| / 2^-53: the distance in half-ulps of e^x
};

// Midpoints m = 2^E (1 + (2i + 1) 2^-53) for random i, E given; keeps the
// best `keep` whose x = RN(log m) satisfies lo <= |x| < hi.
void search(int E, double lo, double hi, long samples, int keep, std::mt19937_64 &rng,
            std::vector<Found> &out)
{
    mpfr_t m, l, d;
    mpfr_inits2(256, m, l, d, static_cast<mpfr_ptr>(nullptr));
    std::vector<Found> best;
    std::uniform_int_distribution<std::uint64_t> pick(0, (std::uint64_t{1} << 52) - 1);
    // The midpoints whose logarithm has |x| in [lo, hi): m in [e^lo, e^hi) or its negative side.
    const double mlo = std::exp(lo) / std::ldexp(1.0, E), mhi = std::exp(hi) / std::ldexp(1.0, E);
    const double nlo = std::exp(-hi) / std::ldexp(1.0, E), nhi = std::exp(-lo) / std::ldexp(1.0, E);
    for (long s = 0; s < samples; ++s) {
        const bool negative = (s & 1) != 0;
        const double a = negative ? nlo : mlo, b = negative ? nhi : mhi;
        const double fa = std::max(a, 1.0), fb = std::min(b, 2.0);
        if (!(fa < fb)) {
            continue;
        }
        // i with 1 + (2i+1) 2^-53 in [fa, fb).
        const auto i0 = static_cast<std::uint64_t>((fa - 1.0) * 0x1p52);
        const auto i1 = static_cast<std::uint64_t>((fb - 1.0) * 0x1p52);
        const std::uint64_t i = i0 + (i1 > i0 ? pick(rng) % (i1 - i0) : 0);
        mpfr_set_ui_2exp(m, 2 * i + 1, -53, MPFR_RNDN);
        mpfr_add_ui(m, m, 1, MPFR_RNDN);
        mpfr_mul_2si(m, m, E, MPFR_RNDN);
        mpfr_log(l, m, MPFR_RNDN);
        const double x = mpfr_get_d(l, MPFR_RNDN);
        if (!(std::fabs(x) >= lo && std::fabs(x) < hi)) {
            continue;
        }
        mpfr_sub_d(d, l, x, MPFR_RNDN);
        mpfr_abs(d, d, MPFR_RNDN);
        best.push_back({x, mpfr_get_d(d, MPFR_RNDN) * 0x1p53});
        std::sort(best.begin(), best.end(), [](const Found &p, const Found &q) { return p.score < q.score; });
        if (static_cast<int>(best.size()) > keep) {
            best.pop_back();
        }
    }
    out.insert(out.end(), best.begin(), best.end());
    mpfr_clears(m, l, d, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace

int main(int argc, char **argv)
{
    const long samples = argc > 1 ? std::atol(argv[1]) : 20000;
    std::mt19937_64 rng(2024);
    std::vector<Found> out;
    // Tiny x: e^x near 1 (E = 0 above 1, E = -1 below).
    for (int b = -53; b <= -2; ++b) {
        search(0, std::ldexp(1.0, b), std::ldexp(1.0, b + 1), samples, 2, rng, out);
        search(-1, std::ldexp(1.0, b), std::ldexp(1.0, b + 1), samples, 2, rng, out);
    }
    // Larger x, over the whole exponent range of normal results.
    for (int E = -1020; E <= 1020; E += 15) {
        search(E, 0.5, 710.0, samples / 4, 1, rng, out);
    }
    std::sort(out.begin(), out.end(), [](const Found &p, const Found &q) { return p.x < q.x; });
    out.erase(std::unique(out.begin(), out.end(), [](const Found &p, const Found &q) { return p.x == q.x; }),
              out.end());
    for (const Found &f : out) {
        std::printf("    %a,  // %.3g\n", f.x, f.score);
    }
}
