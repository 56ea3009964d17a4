// The exponential on 4 lanes of AVX2: the fast stage of exponential.cpp,
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
// returned 4-bit mask and their values are in *y.
CREXP_TARGET_AVX2 inline int fastLanes(__m256d x, __m256d *y)
{
    const __m256d shift = _mm256_set1_pd(kShift);
    const __m256d negZero = _mm256_set1_pd(-0.0);
    const __m256d easy =
        _mm256_cmp_pd(_mm256_andnot_pd(negZero, x), _mm256_set1_pd(kFastLimit), _CMP_LE_OQ);
    const __m256d shifted = _mm256_add_pd(_mm256_mul_pd(x, _mm256_set1_pd(kInvStep)), shift);
    const __m256d kd = _mm256_sub_pd(shifted, shift);
    const __m256d rh = _mm256_sub_pd(x, _mm256_mul_pd(kd, _mm256_set1_pd(kStepHi)));
    const __m256d nkc2 = _mm256_xor_pd(_mm256_mul_pd(kd, _mm256_set1_pd(kStepLo)), negZero);
    const __m256d r = _mm256_add_pd(rh, nkc2);
    const __m256d bb = _mm256_sub_pd(r, rh);
    const __m256d rl =
        _mm256_add_pd(_mm256_sub_pd(rh, _mm256_sub_pd(r, bb)), _mm256_sub_pd(nkc2, bb));

    __m256d w = _mm256_add_pd(_mm256_set1_pd(kC5), _mm256_mul_pd(r, _mm256_set1_pd(kC6)));
    w = _mm256_add_pd(_mm256_set1_pd(kC4), _mm256_mul_pd(r, w));
    w = _mm256_add_pd(_mm256_set1_pd(kC3), _mm256_mul_pd(r, w));
    w = _mm256_add_pd(_mm256_set1_pd(kC2), _mm256_mul_pd(r, w));
    const __m256d q = _mm256_mul_pd(_mm256_mul_pd(r, r), w);
    const __m256d t = _mm256_add_pd(rl, _mm256_add_pd(q, _mm256_mul_pd(r, rl)));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d sh = _mm256_add_pd(one, r);
    const __m256d sl = _mm256_add_pd(_mm256_sub_pd(one, sh), r);
    const __m256d sl2 = _mm256_add_pd(sl, t);

    const __m256i kb = _mm256_sub_epi64(_mm256_castpd_si256(shifted),
                                        _mm256_set1_epi64x(static_cast<long long>(bitsOf(kShift))));
    const __m256i index = _mm256_slli_epi64(_mm256_and_si256(kb, _mm256_set1_epi64x(255)), 1);
    const __m256d th = _mm256_i64gather_pd(&kTable[0][0], index, 8);
    const __m256d tl = _mm256_i64gather_pd(&kTable[0][1], index, 8);
    const __m256d h = _mm256_mul_pd(th, sh);
    const __m256d hl = _mm256_fmsub_pd(th, sh, h);
    const __m256d l = _mm256_add_pd(
        hl, _mm256_add_pd(_mm256_mul_pd(th, sl2), _mm256_mul_pd(tl, sh)));

    const __m256d e = _mm256_mul_pd(h, _mm256_set1_pd(kErr));
    const __m256d a = _mm256_add_pd(h, _mm256_sub_pd(l, e));
    const __m256d b = _mm256_add_pd(h, _mm256_add_pd(l, e));
    const __m256d decided = _mm256_and_pd(easy, _mm256_cmp_pd(a, b, _CMP_EQ_OQ));
    const __m256i scale =
        _mm256_slli_epi64(_mm256_andnot_si256(_mm256_set1_epi64x(255), kb), 44);
    *y = _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(a), scale));
    return _mm256_movemask_pd(decided);
}

// Four values in place: the decided lanes from the vector, the rest scalar.
CREXP_TARGET_AVX2 inline void block(double *values)
{
    __m256d y;
    const int decided = fastLanes(_mm256_loadu_pd(values), &y);
    if (decided == 0xf) {
        _mm256_storeu_pd(values, y);
        return;
    }
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, y);
    for (int lane = 0; lane < 4; ++lane) {
        values[lane] = ((decided >> lane) & 1) != 0 ? lanes[lane] : exponential(values[lane]);
    }
}

}  // namespace

CREXP_TARGET_AVX2 void exponentialsAvx2(double *values, std::size_t count)
{
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        block(values + i);
    }
    if (i < count) {
        double padded[4] = {0.0, 0.0, 0.0, 0.0};
        for (std::size_t k = i; k < count; ++k) {
            padded[k - i] = values[k];
        }
        block(padded);
        for (std::size_t k = i; k < count; ++k) {
            values[k] = padded[k - i];
        }
    }
}

}  // namespace detail
}  // namespace crexp

#endif
