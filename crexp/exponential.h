// The correctly rounded exponential.
//
// exponential(x) is e^x correctly rounded to nearest for every double x
// (a NaN for a NaN, +0 below the underflow range, +inf above the overflow
// range), in portable C++ that depends on neither the platform's
// mathematics library nor the CPU: the same bits on every platform and
// every path.  The floating-point environment must round to nearest, the
// default that MATLAB and Octave run with.
#ifndef CREXP_EXPONENTIAL_H
#define CREXP_EXPONENTIAL_H

#include "isa.h"

#include <cstddef>

namespace crexp {

// e^x correctly rounded to nearest.
double exponential(double x);

// values[i] = exponential(values[i]) for i < count, on the given instruction
// set (which the CPU must support): the same bits as the scalar function.
void exponentials(Isa isa, double *values, std::size_t count);

}  // namespace crexp

#endif
