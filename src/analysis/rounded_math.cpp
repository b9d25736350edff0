// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/rounded_math.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>

namespace sonlet {

#if defined(__SSE2__)

// The block forms evaluate log10 and 10^y in double with a short polynomial whose error is a few
// units in the last place of the double, far below a float's half unit. Rounding that to float
// gives glibc's float except where the double lies so close to a midpoint between two floats
// that the two doubles might fall on opposite sides of it; those elements, and every argument
// outside the ranges the polynomials cover (zeros, negatives, subnormals, infinities, NaNs,
// exp10 overflow and underflow), are recomputed with the scalar form. NaN results therefore
// carry exactly glibc's sign and payload bits.
//
// Every table and coefficient below is computed at compile time in long double from the
// constants in <numbers>; no value is written in by hand.

namespace {

using rounded_math_detail::kMidpointGuardUlps;

using LongDouble = long double;

// ln a for a in [0.5, 2], by ln a = 2 atanh s with s = (a - 1) / (a + 1), |s| <= 1/3; the series
// is summed until its terms no longer change a long double.
constexpr LongDouble ln_near_one(LongDouble a) {
  const LongDouble s = (a - 1) / (a + 1);
  const LongDouble s2 = s * s;
  LongDouble power = s;
  LongDouble sum = 0;
  for (int k = 1; k < 200; k += 2) {
    const LongDouble next = sum + power / k;
    if (next == sum) break;
    sum = next;
    power *= s2;
  }
  return 2 * sum;
}

// e^t for |t| <= 1 by its Taylor series, summed until the terms no longer change a long double.
constexpr LongDouble exp_small(LongDouble t) {
  LongDouble term = 1;
  LongDouble sum = 1;
  for (int k = 1; k < 200; ++k) {
    term = term * t / k;
    const LongDouble next = sum + term;
    if (next == sum) break;
    sum = next;
  }
  return sum;
}

// The nearest multiple of 2^-bits to v >= 0.
constexpr LongDouble round_to_bits(LongDouble v, int bits) {
  const LongDouble scale = static_cast<LongDouble>(std::uint64_t{1} << bits);
  return static_cast<LongDouble>(static_cast<std::int64_t>(v * scale + 0.5L)) / scale;
}

// ---------------------------------------------------------------------------------------------
// log10. A positive normal float x is written x = 2^k z with z in [low, 2 low), low being the
// float with bits kLogLowBits, about 0.701, by subtracting those bits from the bits of x: the
// exponent field of the difference is k and its mantissa field places z. The top kLogTableBits of
// that mantissa field pick a subinterval of z with a centre c stored as 1/c rounded to 21 bits, so
// that r = z / c - 1 = z * (1/c) - 1 is exact in double (24 + 21 bits) and |r| <= 2^-8. Then
//   log10 x = k log10 2 + log10 c + log10(1 + r),
// the last term from its Taylor series to r^6, truncated at a relative error of r^6 / 7 < 2^-50.
// low is placed so that 1.0 lies inside its subinterval, whose c is 1 exactly: near x = 1 the
// result is the polynomial alone, as accurate relative to its small value as anywhere else.
constexpr std::uint32_t kLogLowBits = 0x3f338000;
constexpr int kLogTableBits = 7;
constexpr int kLogTableSize = 1 << kLogTableBits;
constexpr int kLogSubintervalShift = 23 - kLogTableBits;

struct alignas(16) LogEntry {
  double inv_c;    // 1/c, a multiple of 2^-20
  double log10_c;  // log10 c = -log10(1/c), rounded to double
};

constexpr LongDouble subinterval_end(int i) {
  return std::bit_cast<float>(kLogLowBits +
                              (static_cast<std::uint32_t>(i) << kLogSubintervalShift));
}

constexpr std::array<LogEntry, kLogTableSize> make_log_table() {
  std::array<LogEntry, kLogTableSize> table{};
  for (int i = 0; i < kLogTableSize; ++i) {
    const LongDouble low = subinterval_end(i);
    const LongDouble high = subinterval_end(i + 1);
    const LongDouble inv_c = (low <= 1 && 1 < high) ? 1.0L : round_to_bits(2 / (low + high), 20);
    table[i].inv_c = static_cast<double>(inv_c);
    table[i].log10_c =
        static_cast<double>(-ln_near_one(inv_c) * std::numbers::log10e_v<LongDouble>);
  }
  return table;
}

constexpr std::array<LogEntry, kLogTableSize> kLogTable = make_log_table();

// The largest |r| = |z / c - 1| over all subintervals, for the truncation bound above.
constexpr double max_log_reduced() {
  LongDouble worst = 0;
  for (int i = 0; i < kLogTableSize; ++i) {
    for (const LongDouble end : {subinterval_end(i), subinterval_end(i + 1)}) {
      const LongDouble r = end * kLogTable[i].inv_c - 1;
      worst = r < 0 ? (-r > worst ? -r : worst) : (r > worst ? r : worst);
    }
  }
  return static_cast<double>(worst);
}
static_assert(max_log_reduced() <= 1.0 / 256 + 1.0 / (1 << 19));

// log10(1 + r) = sum over n >= 1 of (-1)^(n+1) r^n / (n ln 10).
constexpr double log1p_coefficient(int n) {
  const LongDouble magnitude = std::numbers::log10e_v<LongDouble> / n;
  return static_cast<double>(n % 2 == 1 ? magnitude : -magnitude);
}
constexpr double kLogC1 = log1p_coefficient(1);
constexpr double kLogC2 = log1p_coefficient(2);
constexpr double kLogC3 = log1p_coefficient(3);
constexpr double kLogC4 = log1p_coefficient(4);
constexpr double kLogC5 = log1p_coefficient(5);
constexpr double kLogC6 = log1p_coefficient(6);
constexpr double kLog10Of2 =
    static_cast<double>(std::numbers::ln2_v<LongDouble> * std::numbers::log10e_v<LongDouble>);

// ---------------------------------------------------------------------------------------------
// exp10. 10^y = 2^(t / 32) with t = 32 y log2 10. The constant 32 log2 10 is split into a head
// with 29 significant bits, whose product with the 24-bit y is exact, and a tail. With m the
// integer nearest the head product, r = (head product - m) + y tail has |r| <= 1/2 + 2^-17, and
//   10^y = 2^(m div 32) * 2^((m mod 32) / 32) * 2^(r / 32),
// a power of two put straight into the exponent bits, a table entry, and the Taylor series of
// e^v, v = r ln2 / 32, |v| < 0.0109, to v^5, truncated at a relative error under 2^-48.
// For -37.9 <= y <= 38.5 the result is a normal float, so the rounding check below applies; 10^y
// overflows the floats above about 38.53 and falls below the normal floats under about -37.93.
constexpr int kExpTableBits = 5;
constexpr int kExpTableSize = 1 << kExpTableBits;
constexpr float kExpLowest = -37.9f;
constexpr float kExpHighest = 38.5f;

constexpr LongDouble kTimes32Log2Of10 =
    kExpTableSize * std::numbers::ln10_v<LongDouble> / std::numbers::ln2_v<LongDouble>;
constexpr double kTimes32Log2Of10Head = static_cast<double>(round_to_bits(kTimes32Log2Of10, 22));
constexpr double kTimes32Log2Of10Tail =
    static_cast<double>(kTimes32Log2Of10 - round_to_bits(kTimes32Log2Of10, 22));
static_assert(kTimes32Log2Of10 >= 64 && kTimes32Log2Of10 < 128, "head = 7 + 22 bits");
static_assert(38.5 * (kTimes32Log2Of10Tail < 0 ? -kTimes32Log2Of10Tail : kTimes32Log2Of10Tail) <
              1.0 / (1 << 17));

constexpr std::array<double, kExpTableSize> make_exp_table() {
  std::array<double, kExpTableSize> table{};
  for (int j = 0; j < kExpTableSize; ++j) {
    table[j] = static_cast<double>(exp_small(std::numbers::ln2_v<LongDouble> * j / kExpTableSize));
  }
  return table;
}
constexpr std::array<double, kExpTableSize> kExpTable = make_exp_table();

// 2^(r/32) = sum over n >= 0 of (r ln2 / 32)^n / n!.
constexpr double exp2_coefficient(int n) {
  LongDouble c = 1;
  for (int k = 1; k <= n; ++k) c = c * std::numbers::ln2_v<LongDouble> / kExpTableSize / k;
  return static_cast<double>(c);
}
constexpr double kExpC1 = exp2_coefficient(1);
constexpr double kExpC2 = exp2_coefficient(2);
constexpr double kExpC3 = exp2_coefficient(3);
constexpr double kExpC4 = exp2_coefficient(4);
constexpr double kExpC5 = exp2_coefficient(5);

// Adding this to |t| < 2^51 leaves round(t) in the low mantissa bits of the sum.
constexpr double kRoundingShift = 0x1.8p52;

// ---------------------------------------------------------------------------------------------
// Four arguments at a time: the double approximations of lanes 0-1 and 2-3, and the lanes whose
// argument lies outside the range the approximation covers (all bits set).
struct Approximation {
  __m128d low;
  __m128d high;
  __m128i outside;
};

inline __m128d low_pair(__m128 x) { return _mm_cvtps_pd(x); }
inline __m128d high_pair(__m128 x) { return _mm_cvtps_pd(_mm_movehl_ps(x, x)); }

inline __m128d splat(double v) { return _mm_set1_pd(v); }

inline Approximation log10_approximation(__m128 x) {
  const __m128i bits = _mm_castps_si128(x);
  // Positive normal floats are the bit patterns 0x00800000 .. 0x7f7fffff taken as signed ints.
  const __m128i outside = _mm_or_si128(_mm_cmplt_epi32(bits, _mm_set1_epi32(0x00800000)),
                                       _mm_cmpgt_epi32(bits, _mm_set1_epi32(0x7f7fffff)));
  const __m128i shifted = _mm_sub_epi32(bits, _mm_set1_epi32(static_cast<int>(kLogLowBits)));
  const __m128i k = _mm_srai_epi32(shifted, 23);
  const __m128 z = _mm_castsi128_ps(_mm_sub_epi32(bits, _mm_slli_epi32(k, 23)));
  const __m128i index = _mm_and_si128(_mm_srli_epi32(shifted, kLogSubintervalShift),
                                      _mm_set1_epi32(kLogTableSize - 1));

  alignas(16) std::int32_t lane_index[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lane_index), index);
  const __m128d e0 = _mm_load_pd(&kLogTable[lane_index[0]].inv_c);
  const __m128d e1 = _mm_load_pd(&kLogTable[lane_index[1]].inv_c);
  const __m128d e2 = _mm_load_pd(&kLogTable[lane_index[2]].inv_c);
  const __m128d e3 = _mm_load_pd(&kLogTable[lane_index[3]].inv_c);

  const auto evaluate = [](__m128d zd, __m128d kd, __m128d a, __m128d b) {
    const __m128d inv_c = _mm_unpacklo_pd(a, b);
    const __m128d log10_c = _mm_unpackhi_pd(a, b);
    const __m128d r = zd * inv_c - splat(1.0);
    __m128d p = splat(kLogC6);
    p = p * r + splat(kLogC5);
    p = p * r + splat(kLogC4);
    p = p * r + splat(kLogC3);
    p = p * r + splat(kLogC2);
    p = p * r + splat(kLogC1);
    return (kd * splat(kLog10Of2) + log10_c) + p * r;
  };
  const __m128d k_low = _mm_cvtepi32_pd(k);
  const __m128d k_high = _mm_cvtepi32_pd(_mm_shuffle_epi32(k, _MM_SHUFFLE(1, 0, 3, 2)));
  return {evaluate(low_pair(z), k_low, e0, e1), evaluate(high_pair(z), k_high, e2, e3), outside};
}

inline __m128d exp10_pair(__m128d y) {
  const __m128d head = y * splat(kTimes32Log2Of10Head);  // exact
  const __m128d shifted = head + splat(kRoundingShift);
  const __m128d m = shifted - splat(kRoundingShift);
  const __m128d r = (head - m) + y * splat(kTimes32Log2Of10Tail);
  __m128d p = splat(kExpC5);
  p = p * r + splat(kExpC4);
  p = p * r + splat(kExpC3);
  p = p * r + splat(kExpC2);
  p = p * r + splat(kExpC1);
  p = p * r + splat(1.0);

  // m sits in the low bits of shifted's mantissa, as a two's complement integer: the low five
  // bits index the table, and shifting the rest up by 52 - 5 adds m div 32 to the exponent of
  // the entry. The leading bits of shifted fall off the top.
  const __m128i m_bits = _mm_castpd_si128(shifted);
  const int j0 = _mm_cvtsi128_si32(m_bits) & (kExpTableSize - 1);
  const int j1 = _mm_cvtsi128_si32(_mm_srli_si128(m_bits, 8)) & (kExpTableSize - 1);
  const __m128d entry = _mm_set_pd(kExpTable[j1], kExpTable[j0]);
  const __m128i power = _mm_slli_epi64(
      _mm_and_si128(m_bits, _mm_set1_epi64x(~std::int64_t{kExpTableSize - 1})), 52 - kExpTableBits);
  const __m128d scaled = _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(entry), power));
  return scaled * p;
}

inline Approximation exp10_approximation(__m128 y) {
  // Ordered comparisons, so NaN lanes count as outside.
  const __m128 inside = _mm_and_ps(_mm_cmpge_ps(y, _mm_set1_ps(kExpLowest)),
                                   _mm_cmple_ps(y, _mm_set1_ps(kExpHighest)));
  const __m128i outside = _mm_andnot_si128(_mm_castps_si128(inside), _mm_set1_epi32(-1));
  return {exp10_pair(low_pair(y)), exp10_pair(high_pair(y)), outside};
}

// Lanes whose double lies within kMidpointGuardUlps of a midpoint between two floats. For a
// normal float result the 29 mantissa bits below the float's last place give the position of the
// double within that float's unit; the midpoint is 0x10000000.
inline __m128i near_midpoint(__m128d low, __m128d high) {
  const __m128i below_float =
      _mm_and_si128(_mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(low), _mm_castpd_ps(high),
                                                    _MM_SHUFFLE(2, 0, 2, 0))),
                    _mm_set1_epi32(0x1fffffff));
  const __m128i from_midpoint = _mm_sub_epi32(below_float, _mm_set1_epi32(0x10000000));
  return _mm_and_si128(_mm_cmpgt_epi32(from_midpoint, _mm_set1_epi32(-kMidpointGuardUlps)),
                       _mm_cmplt_epi32(from_midpoint, _mm_set1_epi32(kMidpointGuardUlps)));
}

// out[0..3] = scalar(in[0..3]). Every input is read before out is written, so in and out may be
// the same four floats.
template <class Approximate, class Scalar>
inline void four(const float in[], float out[], Approximate approximate, Scalar scalar) {
  const Approximation a = approximate(_mm_loadu_ps(in));
  const __m128 rounded = _mm_movelh_ps(_mm_cvtpd_ps(a.low), _mm_cvtpd_ps(a.high));
  const int redo =
      _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(a.outside, near_midpoint(a.low, a.high))));
  if (redo == 0) {
    _mm_storeu_ps(out, rounded);
    return;
  }
  alignas(16) float result[4];
  _mm_store_ps(result, rounded);
  for (int lane = 0; lane < 4; ++lane) {
    if ((redo >> lane) & 1) result[lane] = scalar(in[lane]);
  }
  std::memcpy(out, result, sizeof result);
}

template <class Approximate, class Scalar>
inline void block(const float in[], float out[], int n, Approximate approximate, Scalar scalar) {
  int i = 0;
  for (; i + 4 <= n; i += 4) four(in + i, out + i, approximate, scalar);
  if (i < n) {
    // The last 1..3 elements, padded with an argument both functions take on the vector path.
    float tail[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const std::size_t bytes = static_cast<std::size_t>(n - i) * sizeof(float);
    std::memcpy(tail, in + i, bytes);
    four(tail, tail, approximate, scalar);
    std::memcpy(out + i, tail, bytes);
  }
}

inline double first_lane(const Approximation& a) {
  if ((_mm_movemask_ps(_mm_castsi128_ps(a.outside)) & 1) != 0) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return _mm_cvtsd_f64(a.low);
}

}  // namespace

void log10_block(const float in[], float out[], int n) {
  block(in, out, n, log10_approximation, log10_rounded);
}

void exp10_block(const float in[], float out[], int n) {
  block(in, out, n, exp10_approximation, exp10_rounded);
}

namespace rounded_math_detail {

double log10_unrounded(float x) { return first_lane(log10_approximation(_mm_set1_ps(x))); }

double exp10_unrounded(float y) { return first_lane(exp10_approximation(_mm_set1_ps(y))); }

}  // namespace rounded_math_detail

#else  // !defined(__SSE2__)

// Targets without SSE2 (arm64): the block forms are the scalar loop, and every argument goes to
// the scalar form, so there is no approximation to expose.

void log10_block(const float in[], float out[], int n) {
  for (int i = 0; i < n; ++i) out[i] = log10_rounded(in[i]);
}

void exp10_block(const float in[], float out[], int n) {
  for (int i = 0; i < n; ++i) out[i] = exp10_rounded(in[i]);
}

namespace rounded_math_detail {

double log10_unrounded(float) { return std::numeric_limits<double>::quiet_NaN(); }

double exp10_unrounded(float) { return std::numeric_limits<double>::quiet_NaN(); }

}  // namespace rounded_math_detail

#endif  // defined(__SSE2__)

}  // namespace sonlet
