#include "support/lane_paths.h"

#include "column_gaussian.h"
#include "column_gaussian_paths.h"
#include "exponential.h"
#if MEXTK_EMULATED_LANES
#include "support/emulated_lanes.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>

namespace lane_paths {

using crexp::Isa;

namespace {

// The paths this build's binaries choose among.
bool built(Isa isa)
{
    switch (isa) {
    case Isa::Avx2:
    case Isa::Avx512:
        return CREXP_X86_PATHS != 0;
    case Isa::Neon:
        return CREXP_NEON_PATH != 0;
    default:
        return true;
    }
}

bool emulatedHere(Isa isa)
{
    return MEXTK_EMULATED_LANES && isa != Isa::Plain;
}

bool omitted(const Run &run)
{
    const char *omit = std::getenv("MEXTK_TEST_OMIT");
    std::string list = omit ? omit : "";
    std::replace(list.begin(), list.end(), ',', ' ');
    std::istringstream words(list);
    for (std::string word; words >> word;) {
        if (word == run.name()) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string Run::name() const
{
    return std::string(crexp::isaName(isa)) + (emulated ? "/emulated" : "/native");
}

void Run::exponentials(double *values, std::size_t count) const
{
#if MEXTK_EMULATED_LANES
    if (emulated) {
        return emulated_lanes::exponentials(isa, values, count);
    }
#endif
    crexp::exponentials(isa, values, count);
}

void Run::kernel(const double *X, std::int32_t D, std::int32_t N, const double *MU, const double *IS, double K,
                 double *out) const
{
#if MEXTK_EMULATED_LANES
    if (emulated) {
        return kestrow::detail::evalColumnGaussianWith(emulated_lanes::kernel(isa), X, D, N, MU, IS, K, out);
    }
#endif
    kestrow::evalColumnGaussianOn(isa, X, D, N, MU, IS, K, out);
}

std::vector<Run> runs()
{
    std::vector<Run> all;
    for (Isa isa : crexp::kAllIsas) {
        for (const Run run : {Run{isa, false}, Run{isa, true}}) {
            const bool possible = run.emulated ? emulatedHere(isa) : crexp::isaSupported(isa);
            if (possible && !omitted(run)) {
                all.push_back(run);
            }
        }
    }
    return all;
}

void expectEveryPathRan(const std::vector<Run> &ran)
{
    std::string report;
    for (Isa isa : crexp::kAllIsas) {
        std::string ways;
        for (const Run &run : ran) {
            if (run.isa == isa) {
                ways += ways.empty() ? "" : " and ";
                ways += run.emulated ? "emulated" : "natively";
            }
        }
        if (isa == Isa::Plain || (ways.empty() && !built(isa))) {
            continue;
        }
        report += std::string(report.empty() ? "" : "; ") + crexp::isaName(isa) + " ";
        report += ways.empty() ? "NOT RUN" : ways;
        EXPECT_FALSE(ways.empty()) << crexp::isaName(isa) << ": a path this build can choose, run neither natively "
                                   << "nor emulated";
    }
    std::cout << "[          ] paths run: " << report << std::endl;
}

}  // namespace lane_paths
