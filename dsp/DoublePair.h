#pragma once
// Two doubles handled as one value: the left and right channel of a filter section, or two neighbouring samples of
// one channel. Every operation is the scalar IEEE operation on each lane, in the order written, so a loop over pairs
// gives the same bits as the scalar loop it replaces. On x86 (SSE2, also in 32-bit builds) a pair is one register;
// elsewhere it is two plain doubles.

#include <cmath>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TESSALOOM_PAIR_SSE2 1
#include <emmintrin.h>
#else
#define TESSALOOM_PAIR_SSE2 0
#endif

class DoublePair
{
public:
    DoublePair() noexcept = default;

    /// (first, second).
    static DoublePair of(double first, double second) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_set_pd(second, first));
#else
        return DoublePair(first, second);
#endif
    }
    static DoublePair broadcast(double value) noexcept
    {
        return of(value, value);
    }
    /// Two floats widened to double.
    static DoublePair fromFloats(const float* first, const float* second) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(first), _mm_load_ss(second))));
#else
        return DoublePair(*first, *second);
#endif
    }
    /// Two neighbouring floats widened to double.
    static DoublePair fromFloats(const float* both) noexcept
    {
        return fromFloats(both, both + 1);
    }

    /// Both lanes rounded to float; a result that is not finite as a float becomes 0 when finiteOnly is set.
    void storeFloats(float* first, float* second, bool finiteOnly = false) const noexcept
    {
#if TESSALOOM_PAIR_SSE2
        __m128 narrow = _mm_cvtpd_ps(lanes);
        if (finiteOnly)
        {
            const __m128 magnitude = _mm_and_ps(narrow, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
            narrow = _mm_and_ps(narrow, _mm_cmple_ps(magnitude, _mm_set1_ps(3.40282347e+38f)));
        }
        _mm_store_ss(first, narrow);
        _mm_store_ss(second, _mm_shuffle_ps(narrow, narrow, _MM_SHUFFLE(1, 1, 1, 1)));
#else
        *first = narrowed(lo, finiteOnly);
        *second = narrowed(hi, finiteOnly);
#endif
    }
    void storeFloats(float* both, bool finiteOnly = false) const noexcept
    {
        storeFloats(both, both + 1, finiteOnly);
    }

    /// Both lanes rounded to float and widened back, as storing to a float buffer and reading it again would.
    DoublePair roundedToFloat() const noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_cvtps_pd(_mm_cvtpd_ps(lanes)));
#else
        return DoublePair(static_cast<float>(lo), static_cast<float>(hi));
#endif
    }

    double first() const noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return _mm_cvtsd_f64(lanes);
#else
        return lo;
#endif
    }
    double second() const noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return _mm_cvtsd_f64(_mm_unpackhi_pd(lanes, lanes));
#else
        return hi;
#endif
    }

    friend DoublePair operator+(DoublePair a, DoublePair b) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_add_pd(a.lanes, b.lanes));
#else
        return DoublePair(a.lo + b.lo, a.hi + b.hi);
#endif
    }
    friend DoublePair operator-(DoublePair a, DoublePair b) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_sub_pd(a.lanes, b.lanes));
#else
        return DoublePair(a.lo - b.lo, a.hi - b.hi);
#endif
    }
    friend DoublePair operator*(DoublePair a, DoublePair b) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_mul_pd(a.lanes, b.lanes));
#else
        return DoublePair(a.lo * b.lo, a.hi * b.hi);
#endif
    }

    /// True when both lanes are finite and at most limit in magnitude (a NaN lane fails).
    bool bothWithin(double limit) const noexcept
    {
#if TESSALOOM_PAIR_SSE2
        const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), lanes);
        return _mm_movemask_pd(_mm_cmple_pd(magnitude, _mm_set1_pd(limit))) == 3;
#else
        return std::fabs(lo) <= limit && std::fabs(hi) <= limit;
#endif
    }

    /// True when all four lanes of a and b are finite and at most limit in magnitude.
    static bool bothWithin(DoublePair a, DoublePair b, double limit) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        const __m128d sign = _mm_set1_pd(-0.0);
        const __m128d most = _mm_set1_pd(limit);
        return _mm_movemask_pd(_mm_and_pd(_mm_cmple_pd(_mm_andnot_pd(sign, a.lanes), most),
                                          _mm_cmple_pd(_mm_andnot_pd(sign, b.lanes), most))) == 3;
#else
        return a.bothWithin(limit) && b.bothWithin(limit);
#endif
    }

    /// Per lane: the unit that moves x towards zero, 1 when the sign bit of x is set, else -1.
    static DoublePair unitTowardsZero(DoublePair x) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        return DoublePair(_mm_xor_pd(_mm_and_pd(x.lanes, _mm_set1_pd(-0.0)), _mm_set1_pd(-1.0)));
#else
        return DoublePair(std::signbit(x.lo) ? 1.0 : -1.0, std::signbit(x.hi) ? 1.0 : -1.0);
#endif
    }

    /// Per lane: y > 1 gives 1, else y < -1 gives -1, else y (a NaN stays NaN), without a branch.
    static DoublePair clampToUnit(DoublePair y) noexcept
    {
#if TESSALOOM_PAIR_SSE2
        // minpd/maxpd answer their second operand when the comparison fails, so a NaN in y comes through.
        return DoublePair(_mm_max_pd(_mm_set1_pd(-1.0), _mm_min_pd(_mm_set1_pd(1.0), y.lanes)));
#else
        return DoublePair(clamped(y.lo), clamped(y.hi));
#endif
    }

private:
#if TESSALOOM_PAIR_SSE2
    explicit DoublePair(__m128d value) noexcept : lanes(value)
    {
    }
    __m128d lanes = _mm_setzero_pd();
#else
    DoublePair(double first, double second) noexcept : lo(first), hi(second)
    {
    }
    static float narrowed(double value, bool finiteOnly) noexcept
    {
        const float f = static_cast<float>(value);
        return finiteOnly && !(f - f == 0.0f) ? 0.0f : f;
    }
    static double clamped(double y) noexcept
    {
        if (y > 1.0)
            return 1.0;
        if (y < -1.0)
            return -1.0;
        return y;
    }
    double lo = 0.0;
    double hi = 0.0;
#endif
};
