// The exponential of the evaluator: one function, one answer per input,
// whichever path of the evaluator asks for it.
#ifndef KESTROW_EXPONENTIAL_H
#define KESTROW_EXPONENTIAL_H

#include "isa.h"

#include <cstddef>

namespace kestrow {

// e^x in double precision.
double exponential(double x);

// values[i] = exponential(values[i]) for i < count, on the given instruction
// set (which the CPU must support): the same bits as the scalar function.
void exponentials(Isa isa, double *values, std::size_t count);

}  // namespace kestrow

#endif
