#include "exponential.h"

#include <cmath>

namespace kestrow {

double exponential(double x) { return std::exp(x); }

// The platform's exponential has no vector form here: one value at a time,
// whatever the instruction set.
void exponentials(Isa, double *values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = std::exp(values[i]);
    }
}

}  // namespace kestrow
