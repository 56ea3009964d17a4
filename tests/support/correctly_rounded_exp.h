// The tests' oracle for the exponential: e^x correctly rounded to nearest by
// MPFR, the subnormal range and overflow included.
#ifndef MEXTK_CORRECTLY_ROUNDED_EXP_H
#define MEXTK_CORRECTLY_ROUNDED_EXP_H

#include <mpfr.h>

inline double correctlyRoundedExp(double x)
{
    const mpfr_exp_t emin = mpfr_get_emin();
    const mpfr_exp_t emax = mpfr_get_emax();
    // A double's exponent range in MPFR's convention (significand in
    // [1/2, 1)): the least subnormal is 2^-1074 = 0.1b * 2^-1073.
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_t v;
    mpfr_init2(v, 53);
    mpfr_set_d(v, x, MPFR_RNDN);
    const int inexact = mpfr_exp(v, v, MPFR_RNDN);
    mpfr_subnormalize(v, inexact, MPFR_RNDN);
    const double result = mpfr_get_d(v, MPFR_RNDN);
    mpfr_clear(v);
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
    return result;
}

#endif
