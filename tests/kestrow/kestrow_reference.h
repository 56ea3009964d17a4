// An independent, deliberately plain evaluation of the Gaussian kernel for
// the tests: one column at a time, elements fetched through index helpers,
// every operation written out in the fixed order (difference, inner sum
// down column j of IS, outer sum, times -0.5, exp, times K), where exp is
// the correctly rounded exponential, here from MPFR.
#ifndef KESTROW_REFERENCE_H
#define KESTROW_REFERENCE_H

#if MEXTK_HAVE_MPFR
#include "support/correctly_rounded_exp.h"
#endif

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace kestrow_test {

struct Problem {
    int D = 0;
    int N = 0;
    std::vector<double> X;   // D*N, column-major
    std::vector<double> MU;  // D
    std::vector<double> IS;  // D*D, column-major
    double K = 1.0;

    double x(int row, int col) const { return X[static_cast<std::size_t>(col) * D + row]; }
    double is(int row, int col) const { return IS[static_cast<std::size_t>(col) * D + row]; }
};

#if MEXTK_HAVE_MPFR
inline double referenceValue(const Problem &p, int col)
{
    std::vector<double> d;
    for (int k = 0; k < p.D; ++k) {
        d.push_back(p.x(k, col) - p.MU[k]);
    }
    double q = 0.0;
    for (int j = 0; j < p.D; ++j) {
        double s = 0.0;
        for (int m = 0; m < p.D; ++m) {
            const double term = d[m] * p.is(m, j);
            s = s + term;
        }
        const double outerTerm = s * d[j];
        q = q + outerTerm;
    }
    const double exponent = q * -0.5;
    const double e = correctlyRoundedExp(exponent);
    return e * p.K;
}

inline std::vector<double> reference(const Problem &p)
{
    std::vector<double> v;
    for (int c = 0; c < p.N; ++c) {
        v.push_back(referenceValue(p, c));
    }
    return v;
}
#endif

inline std::uint64_t bits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline std::vector<std::uint64_t> bits(const std::vector<double> &v)
{
    std::vector<std::uint64_t> b;
    for (double x : v) {
        b.push_back(bits(x));
    }
    return b;
}

// Random problems whose quadratic forms stay of order one, so that the
// values are neither all 0 nor all K and every bit of them counts.  IS is
// either symmetric positive definite (diagonally dominant) or a general
// non-symmetric matrix, whose quadratic form takes both signs.
enum class Form { Definite, NonSymmetric };

inline Problem randomProblem(std::mt19937_64 &rng, int D, int N, Form form)
{
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    Problem p;
    p.D = D;
    p.N = N;
    p.K = 0.5 + unit(rng);
    p.X.resize(static_cast<std::size_t>(D) * N);
    p.MU.resize(static_cast<std::size_t>(D));
    p.IS.resize(static_cast<std::size_t>(D) * D);
    for (double &v : p.X) {
        v = unit(rng);
    }
    for (double &v : p.MU) {
        v = 0.3 * unit(rng);
    }
    for (double &v : p.IS) {
        v = 2.0 * unit(rng) / D;
    }
    if (form == Form::Definite) {
        for (int j = 0; j < D; ++j) {
            for (int m = 0; m < j; ++m) {
                const double offDiagonal = 0.25 * p.is(j, m);
                p.IS[static_cast<std::size_t>(j) * D + m] = offDiagonal;
                p.IS[static_cast<std::size_t>(m) * D + j] = offDiagonal;
            }
            p.IS[static_cast<std::size_t>(j) * D + j] = 1.0;
        }
    }
    return p;
}

}  // namespace kestrow_test

#endif
