// How often the correctly rounded exponential differs from the platform's exp, and how
// often its quick stage leaves a value to the fast one and the fast stage to
// the accurate one: over a fixed
// sample of arguments uniform in [-700, 700] (count as the first argument,
// default 2*10^7).  Run it again with GLIBC_TUNABLES=glibc.cpu.hwcaps=
// -AVX2,-FMA,-AVX512F to see glibc's build for CPUs without FMA.
#include "exponential.h"
#include "exponential_detail.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

int main(int argc, char **argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 20000000L;
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> uniform(-700.0, 700.0);
    long differ = 0, fast = 0, accurate = 0;
    for (long i = 0; i < count; ++i) {
        const double x = uniform(rng);
        const double ours = crexp::exponential(x);
        const double platform = std::exp(x);
        differ += std::memcmp(&ours, &platform, sizeof ours) != 0 ? 1 : 0;
        double y;
        const bool quick = crexp::detail::quickPath(x, &y);
        fast += quick ? 0 : 1;
        accurate += quick || crexp::detail::fastPath(x, &y) ? 0 : 1;
    }
    std::printf("%ld arguments uniform in [-700, 700]\n", count);
    std::printf("differ from the platform's exp: %ld (1 in %.0f)\n", differ,
                differ > 0 ? static_cast<double>(count) / static_cast<double>(differ) : 0.0);
    std::printf("left to the fast stage:         %ld (1 in %.0f)\n", fast,
                fast > 0 ? static_cast<double>(count) / static_cast<double>(fast) : 0.0);
    std::printf("left to the accurate stage:     %ld (1 in %.0f)\n", accurate,
                accurate > 0 ? static_cast<double>(count) / static_cast<double>(accurate) : 0.0);
    return 0;
}
