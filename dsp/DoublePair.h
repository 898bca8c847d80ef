#pragma once
// Two doubles handled as one value: the left and right channel of a filter section, or two neighbouring samples of
// one channel. Every operation is the scalar IEEE operation on each lane, in the order written, so a loop over pairs
// gives the same bits as the scalar loop it replaces. With GCC and Clang a pair is a two-lane vector (one register
// on x86, also in 32-bit SSE2 builds) and the arithmetic is the compiler's; other compilers get two plain doubles.

#include <cmath>
#include <cstdint>

#if defined(__GNUC__)
using PairLanes = double __attribute__((vector_size(16)));
#else
struct PairLanes
{
    double lane[2] = {0.0, 0.0};
    double operator[](int i) const noexcept { return lane[i]; }
    friend PairLanes operator+(PairLanes a, PairLanes b) noexcept { return {{a[0] + b[0], a[1] + b[1]}}; }
    friend PairLanes operator-(PairLanes a, PairLanes b) noexcept { return {{a[0] - b[0], a[1] - b[1]}}; }
    friend PairLanes operator*(PairLanes a, PairLanes b) noexcept { return {{a[0] * b[0], a[1] * b[1]}}; }
};
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class DoublePair
{
public:
    DoublePair() noexcept = default;

    /// (first, second).
    static DoublePair of(double first, double second) noexcept { return DoublePair(PairLanes{first, second}); }
    static DoublePair broadcast(double value) noexcept { return of(value, value); }
    /// Two floats widened to double.
    static DoublePair fromFloats(const float* first, const float* second) noexcept { return of(*first, *second); }
    /// Two neighbouring floats widened to double.
    static DoublePair fromFloats(const float* both) noexcept { return fromFloats(both, both + 1); }
    void storeFloats(float* both, bool finiteOnly = false) const noexcept { storeFloats(both, both + 1, finiteOnly); }

    double first() const noexcept { return lanes[0]; }
    double second() const noexcept { return lanes[1]; }

    friend DoublePair operator+(DoublePair a, DoublePair b) noexcept { return DoublePair(a.lanes + b.lanes); }
    friend DoublePair operator-(DoublePair a, DoublePair b) noexcept { return DoublePair(a.lanes - b.lanes); }
    friend DoublePair operator*(DoublePair a, DoublePair b) noexcept { return DoublePair(a.lanes * b.lanes); }

    /// True when both lanes are finite and at most limit in magnitude (a NaN lane fails).
    bool bothWithin(double limit) const noexcept { return bothWithin(*this, *this, limit); }

    // The operations below decide per lane. They run on every sample, so with SSE2 they decide without a branch
    // (compilers do not yet turn the per-lane forms into these instructions).
#if defined(__SSE2__)
    /// Both lanes rounded to float; a result that is not finite as a float becomes 0 when finiteOnly is set.
    void storeFloats(float* first, float* second, bool finiteOnly = false) const noexcept
    {
        __m128 narrow = _mm_cvtpd_ps(lanes);
        if (finiteOnly)
        {
            const __m128 magnitude = _mm_and_ps(narrow, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
            narrow = _mm_and_ps(narrow, _mm_cmple_ps(magnitude, _mm_set1_ps(3.40282347e+38f)));
        }
        _mm_store_ss(first, narrow);
        _mm_store_ss(second, _mm_shuffle_ps(narrow, narrow, _MM_SHUFFLE(1, 1, 1, 1)));
    }

    /// Both lanes rounded to float and widened back, as storing to a float buffer and reading it again would.
    DoublePair roundedToFloat() const noexcept
    {
        return DoublePair(_mm_cvtps_pd(_mm_cvtpd_ps(lanes)));
    }

    /// True when all four lanes of a and b are finite and at most limit in magnitude.
    static bool bothWithin(DoublePair a, DoublePair b, double limit) noexcept
    {
        const __m128d sign = _mm_set1_pd(-0.0);
        const __m128d most = _mm_set1_pd(limit);
        return _mm_movemask_pd(_mm_and_pd(_mm_cmple_pd(_mm_andnot_pd(sign, a.lanes), most),
                                          _mm_cmple_pd(_mm_andnot_pd(sign, b.lanes), most))) == 3;
    }

    /// Per lane: the unit that moves x towards zero, 1 when the sign bit of x is set, else -1.
    static DoublePair unitTowardsZero(DoublePair x) noexcept
    {
        return DoublePair(_mm_xor_pd(_mm_and_pd(x.lanes, _mm_set1_pd(-0.0)), _mm_set1_pd(-1.0)));
    }

    /// Per lane: y > 1 gives 1, else y < -1 gives -1, else y (a NaN stays NaN).
    static DoublePair clampToUnit(DoublePair y) noexcept
    {
        // minpd/maxpd answer their second operand when the comparison fails, so a NaN in y comes through.
        return DoublePair(_mm_max_pd(_mm_set1_pd(-1.0), _mm_min_pd(_mm_set1_pd(1.0), y.lanes)));
    }
#else
    void storeFloats(float* first, float* second, bool finiteOnly = false) const noexcept
    {
        *first = narrowed(lanes[0], finiteOnly);
        *second = narrowed(lanes[1], finiteOnly);
    }
    DoublePair roundedToFloat() const noexcept
    {
        return of(static_cast<float>(lanes[0]), static_cast<float>(lanes[1]));
    }
    static bool bothWithin(DoublePair a, DoublePair b, double limit) noexcept
    {
        return (std::fabs(a.lanes[0]) <= limit) & (std::fabs(a.lanes[1]) <= limit) & (std::fabs(b.lanes[0]) <= limit) &
               (std::fabs(b.lanes[1]) <= limit);
    }
    static DoublePair unitTowardsZero(DoublePair x) noexcept
    {
        return of(std::signbit(x.lanes[0]) ? 1.0 : -1.0, std::signbit(x.lanes[1]) ? 1.0 : -1.0);
    }
    static DoublePair clampToUnit(DoublePair y) noexcept
    {
        return of(clamped(y.lanes[0]), clamped(y.lanes[1]));
    }

private:
    static float narrowed(double value, bool finiteOnly) noexcept
    {
        const float f = static_cast<float>(value);
        return finiteOnly && !(f - f == 0.0f) ? 0.0f : f;
    }
    static double clamped(double y) noexcept
    {
        const double belowOne = y > 1.0 ? 1.0 : y;
        return belowOne < -1.0 ? -1.0 : belowOne;
    }
#endif

private:
    explicit DoublePair(PairLanes value) noexcept : lanes(value)
    {
    }

    PairLanes lanes = {0.0, 0.0};
};
