// The exponential on 8 lanes of AVX-512: the fast stage of exponential.cpp,
// operation for operation (its proof covers these lanes), with the exact
// product err = fma(a, b, -a*b) in place of Dekker's splitting and the table
// read by gathers.  A lane whose rounding test does not decide, or whose
// input lies outside the fast range, gets the scalar function's value.
#include "exponential.h"
#include "exponential_detail.h"

#if CREXP_X86_PATHS
#include <immintrin.h>

namespace crexp {
namespace detail {

namespace {

// The fast stage on the lanes of x: the lanes it decides are set in the
// returned mask and their values are in *y.
CREXP_TARGET_AVX512 inline __mmask8 fastLanes(__m512d x, __m512d *y)
{
    const __m512d shift = _mm512_set1_pd(kShift);
    const __mmask8 easy =
        _mm512_cmp_pd_mask(_mm512_abs_pd(x), _mm512_set1_pd(kFastLimit), _CMP_LE_OQ);
    const __m512d shifted = _mm512_add_pd(_mm512_mul_pd(x, _mm512_set1_pd(kInvStep)), shift);
    const __m512d kd = _mm512_sub_pd(shifted, shift);
    const __m512d rh = _mm512_sub_pd(x, _mm512_mul_pd(kd, _mm512_set1_pd(kStepHi)));
    const __m512d nkc2 =
        _mm512_xor_pd(_mm512_mul_pd(kd, _mm512_set1_pd(kStepLo)), _mm512_set1_pd(-0.0));
    const __m512d r = _mm512_add_pd(rh, nkc2);
    const __m512d bb = _mm512_sub_pd(r, rh);
    const __m512d rl =
        _mm512_add_pd(_mm512_sub_pd(rh, _mm512_sub_pd(r, bb)), _mm512_sub_pd(nkc2, bb));

    __m512d w = _mm512_add_pd(_mm512_set1_pd(kC5), _mm512_mul_pd(r, _mm512_set1_pd(kC6)));
    w = _mm512_add_pd(_mm512_set1_pd(kC4), _mm512_mul_pd(r, w));
    w = _mm512_add_pd(_mm512_set1_pd(kC3), _mm512_mul_pd(r, w));
    w = _mm512_add_pd(_mm512_set1_pd(kC2), _mm512_mul_pd(r, w));
    const __m512d q = _mm512_mul_pd(_mm512_mul_pd(r, r), w);
    const __m512d t = _mm512_add_pd(rl, _mm512_add_pd(q, _mm512_mul_pd(r, rl)));
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d sh = _mm512_add_pd(one, r);
    const __m512d sl = _mm512_add_pd(_mm512_sub_pd(one, sh), r);
    const __m512d sl2 = _mm512_add_pd(sl, t);

    const __m512i kb = _mm512_sub_epi64(_mm512_castpd_si512(shifted),
                                        _mm512_set1_epi64(static_cast<long long>(bitsOf(kShift))));
    // The masked forms with a zero source: the plain ones start from an
    // undefined register, which GCC 12 reports as possibly uninitialised.
    const __mmask8 all = 0xff;
    const __m512d zero = _mm512_setzero_pd();
    const __m512i index = _mm512_maskz_slli_epi64(all, _mm512_and_si512(kb, _mm512_set1_epi64(255)), 1);
    const __m512d th = _mm512_mask_i64gather_pd(zero, all, index, &kTable[0][0], 8);
    const __m512d tl = _mm512_mask_i64gather_pd(zero, all, index, &kTable[0][1], 8);
    const __m512d h = _mm512_mul_pd(th, sh);
    const __m512d hl = _mm512_fmsub_pd(th, sh, h);
    const __m512d l = _mm512_add_pd(
        hl, _mm512_add_pd(_mm512_mul_pd(th, sl2), _mm512_mul_pd(tl, sh)));

    const __m512d e = _mm512_mul_pd(h, _mm512_set1_pd(kErr));
    const __m512d a = _mm512_add_pd(h, _mm512_sub_pd(l, e));
    const __m512d b = _mm512_add_pd(h, _mm512_add_pd(l, e));
    const __mmask8 decided = _mm512_mask_cmp_pd_mask(easy, a, b, _CMP_EQ_OQ);
    const __m512i scale = _mm512_maskz_slli_epi64(
        all, _mm512_maskz_andnot_epi64(all, _mm512_set1_epi64(255), kb), 44);
    *y = _mm512_castsi512_pd(_mm512_add_epi64(_mm512_castpd_si512(a), scale));
    return decided;
}

// values[0..n), n <= 8: the decided lanes from the vector, the rest scalar.
CREXP_TARGET_AVX512 inline void block(double *values, __mmask8 lanes)
{
    const __m512d x = _mm512_maskz_loadu_pd(lanes, values);
    __m512d y;
    const __mmask8 decided = static_cast<__mmask8>(fastLanes(x, &y) & lanes);
    _mm512_mask_storeu_pd(values, decided, y);
    unsigned rest = static_cast<unsigned>(lanes & ~decided) & 0xffu;
    while (rest != 0) {
        const int lane = __builtin_ctz(rest);
        values[lane] = exponential(values[lane]);
        rest &= rest - 1;
    }
}

}  // namespace

CREXP_TARGET_AVX512 void exponentialsAvx512(double *values, std::size_t count)
{
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        block(values + i, 0xff);
    }
    if (i < count) {
        block(values + i, static_cast<__mmask8>((1u << (count - i)) - 1u));
    }
}

}  // namespace detail
}  // namespace crexp

#endif
