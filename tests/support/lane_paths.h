// The ways the tests run each instruction-set path of the exponential and
// the kernel: natively where this CPU has the set, and on x86-64 each vector
// path also through SIMDe's portable intrinsics (emulated_lanes.cpp),
// whatever the CPU, so that a fault in a lane type fails there on any CPU.
//
// MEXTK_TEST_OMIT (read here only) leaves runs out, to imitate another
// machine: "avx512/native" for a CPU without AVX-512; several separated by
// spaces or commas.
#ifndef MEXTK_LANE_PATHS_H
#define MEXTK_LANE_PATHS_H

#include "isa.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lane_paths {

struct Run {
    crexp::Isa isa;
    bool emulated;

    std::string name() const;  // "avx512/emulated"
    // As crexp::exponentials and kestrow::evalColumnGaussianOn on the path.
    void exponentials(double *values, std::size_t count) const;
    void kernel(const double *X, std::int32_t D, std::int32_t N, const double *MU, const double *IS, double K,
                double *out) const;
};

// Plain first, then each vector path natively if this CPU has it and
// emulated if this build can (x86-64); less what MEXTK_TEST_OMIT names.
std::vector<Run> runs();

// Prints which way each vector path ran, among `ran`, and fails the calling
// test for one that this build's binaries can choose but that ran neither
// natively nor emulated.
void expectEveryPathRan(const std::vector<Run> &ran);

}  // namespace lane_paths

#endif
