// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/rounded_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace sonlet {

// The block forms must give the scalar forms' floats bit for bit, NaN sign and payload included:
// every comparison here is of bit patterns, and the expected values always come from the scalar
// forms evaluated at run time.

namespace {

using Bits = std::uint32_t;
using BlockFn = void (*)(const float[], float[], int);
using ScalarFn = float (*)(float);

Bits BitsOf(float f) { return std::bit_cast<Bits>(f); }
float FromBits(Bits b) { return std::bit_cast<float>(b); }

struct Function {
  const char* name;
  BlockFn block;
  ScalarFn scalar;
};
const Function kLog10{"log10", log10_block, log10_rounded};
const Function kExp10{"exp10", exp10_block, exp10_rounded};

// Kept out of line so that glibc is called at run time on every argument rather than a value
// folded by the compiler.
[[gnu::noinline]] std::vector<float> ScalarResults(const Function& f,
                                                   const std::vector<float>& in) {
  std::vector<float> out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) out[i] = f.scalar(in[i]);
  return out;
}

// Counts the elements of out that differ in bits from the scalar form of in, reporting the first
// few.
int CountMismatches(const Function& f, const std::vector<float>& in,
                    const std::vector<float>& out) {
  const std::vector<float> expected = ScalarResults(f, in);
  int mismatches = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (BitsOf(out[i]) == BitsOf(expected[i])) continue;
    if (++mismatches <= 10) {
      ADD_FAILURE() << f.name << " of bits 0x" << std::hex << BitsOf(in[i]) << " (" << in[i]
                    << "): block gives 0x" << BitsOf(out[i]) << ", scalar 0x"
                    << BitsOf(expected[i]);
    }
  }
  return mismatches;
}

void ExpectBlockMatches(const Function& f, const std::vector<float>& in) {
  std::vector<float> out(in.size());
  f.block(in.data(), out.data(), static_cast<int>(in.size()));
  EXPECT_EQ(CountMismatches(f, in, out), 0) << f.name << " over " << in.size() << " arguments";
}

// Every stride-th float from low to high, by bit pattern; both of the same sign.
std::vector<float> FloatSweep(float low, float high, Bits stride) {
  std::vector<float> v;
  Bits a = BitsOf(low);
  Bits b = BitsOf(high);
  if (a > b) std::swap(a, b);
  for (Bits u = a; u <= b && u >= a; u += stride) v.push_back(FromBits(u));
  return v;
}

std::vector<float> ExceptionalValues() {
  std::vector<float> v;
  // Zeros, infinities, the smallest and largest subnormals and normals and some in between,
  // 1.0 and its neighbours, each of both signs; then NaNs of both signs, quiet and signalling,
  // with assorted payloads.
  for (const Bits b :
       {0x00000000u, 0x7f800000u, 0x00000001u, 0x00000002u, 0x00012345u, 0x00400000u, 0x007fffffu,
        0x00800000u, 0x7f7fffffu, 0x3f7fffffu, 0x3f800000u, 0x3f800001u}) {
    v.push_back(FromBits(b));
    v.push_back(-FromBits(b));
  }
  for (const Bits b : {0x7fc00000u, 0x7fc00001u, 0x7fffffffu, 0x7f800001u, 0x7fa5a5a5u, 0xffc00000u,
                       0xffc12345u, 0xffffffffu, 0xff800001u, 0xff9abcdeu}) {
    v.push_back(FromBits(b));
  }
  // Powers of ten, exact in float up to 1e10 and log10 of them integers.
  for (int e = -45; e <= 38; ++e) {
    const float p = static_cast<float>(std::pow(10.0, e));
    v.push_back(p);
    v.push_back(-p);
  }
  // Integers and halves, where 10^y is exact or overflows, underflows or goes subnormal.
  for (int h = -110; h <= 110; ++h) v.push_back(0.5f * static_cast<float>(h));
  // The ends of exp10's vector range and the float overflow and normal-float thresholds.
  for (const float edge :
       {-37.9f, 38.5f, 38.53f, 38.5318f, -37.93f, -37.9298f, -44.85f, -45.15f, -45.2f, -46.0f}) {
    for (const Bits step : {0u, 1u, ~0u}) v.push_back(FromBits(BitsOf(edge) + step));
  }
  return v;
}

// Each exceptional value at each of the four positions of a vector group, among ordinary arguments.
std::vector<float> ExceptionalAmong(float ordinary) {
  std::vector<float> v;
  for (const float e : ExceptionalValues()) {
    for (int position = 0; position < 4; ++position) {
      for (int lane = 0; lane < 4; ++lane) v.push_back(lane == position ? e : ordinary);
    }
  }
  return v;
}

std::vector<float> RandomBitPatterns(std::size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<float> v(count);
  for (float& x : v) x = FromBits(static_cast<Bits>(gen()));
  return v;
}

// Arguments whose glibc double lies within a few units in the last place of a midpoint between
// two floats, where only the guard keeps the approximation from rounding the other way. Found by
// the exhaustive test below (it prints them).
const std::vector<Bits> kHardLog10 = {
    0x0225f259u, 0x058ecd6au, 0x0a4d4ce8u, 0x0e10c607u, 0x0efeee7au, 0x10b88aecu,
    0x120b93dcu, 0x1266ada7u, 0x13ae78d3u, 0x15964dc5u, 0x1eac122fu, 0x262ca79au,
    0x2b1b73f9u, 0x2f149212u, 0x427a28e9u, 0x43079cceu, 0x45bdedc8u, 0x4dff4ddcu,
    0x56f8c876u, 0x5d610fe9u, 0x5f3315a3u, 0x604df02cu, 0x610567e4u, 0x62a6c1ddu,
    0x6307980cu, 0x63ce2f36u, 0x64a97e0fu, 0x65903d25u, 0x6f592c3cu, 0x7f6362e7u,
};
const std::vector<Bits> kHardExp10 = {
    0x35b1311fu, 0x417d7f60u, 0xb25e5bd9u, 0xb326c4e3u, 0xb7d171cdu, 0xbac4c65cu, 0xbf230886u,
};

// Distance of d from the nearest midpoint between two normal floats, in units in the last place
// of d, worked out from the floats themselves rather than from bit fields.
double UlpsFromMidpoint(double d) {
  const float f = static_cast<float>(d);
  const float toward = d >= f ? std::nextafter(f, std::numeric_limits<float>::infinity())
                              : std::nextafter(f, -std::numeric_limits<float>::infinity());
  const double midpoint = (static_cast<double>(f) + static_cast<double>(toward)) / 2;
  const double ulp =
      std::nextafter(std::fabs(d), std::numeric_limits<double>::infinity()) - std::fabs(d);
  return std::fabs(d - midpoint) / ulp;
}

// |approx - exact| in units in the last place of exact.
double UlpsBetween(double approx, double exact) {
  const double ulp =
      std::nextafter(std::fabs(exact), std::numeric_limits<double>::infinity()) - std::fabs(exact);
  return std::fabs(approx - exact) / ulp;
}

double GlibcLog10(float x) { return std::log10(static_cast<double>(x)); }
double GlibcExp10(float y) { return std::pow(10.0, static_cast<double>(y)); }

TEST(RoundedMathLog10, ExceptionalValuesAmongOrdinaryOnes) {
  ExpectBlockMatches(kLog10, ExceptionalValues());
  ExpectBlockMatches(kLog10, ExceptionalAmong(123.456f));
}

TEST(RoundedMathExp10, ExceptionalValuesAmongOrdinaryOnes) {
  ExpectBlockMatches(kExp10, ExceptionalValues());
  ExpectBlockMatches(kExp10, ExceptionalAmong(1.2345f));
}

TEST(RoundedMathLog10, DenseSweepOfMagnitudes) {
  // About 4.6 million floats from 1e-3 to 1e7; the odd stride varies the low mantissa bits.
  ExpectBlockMatches(kLog10, FloatSweep(1e-3f, 1e7f, 61));
}

TEST(RoundedMathLog10, EveryFloatNearOne) {
  // Where log10 is small and the table subinterval around 1.0 and its neighbours meet.
  ExpectBlockMatches(kLog10, FloatSweep(1.0f - 1.0f / 64, 1.0f + 1.0f / 32, 1));
}

TEST(RoundedMathExp10, DenseSweepOfArguments) {
  std::vector<float> grid;
  constexpr int kSteps = 2'000'000;
  for (int i = 0; i <= kSteps; ++i) grid.push_back(-20.0f + 40.0f * static_cast<float>(i) / kSteps);
  ExpectBlockMatches(kExp10, grid);
  // By bit pattern, which also reaches the many small arguments near zero.
  ExpectBlockMatches(kExp10, FloatSweep(0.0f, 20.0f, 1021));
  ExpectBlockMatches(kExp10, FloatSweep(-0.0f, -20.0f, 1019));
}

TEST(RoundedMathExp10, EveryFloatAtOverflowAndUnderflow) {
  ExpectBlockMatches(kExp10, FloatSweep(38.4f, 38.6f, 1));
  ExpectBlockMatches(kExp10, FloatSweep(-37.8f, -38.0f, 1));
  ExpectBlockMatches(kExp10, FloatSweep(-44.8f, -46.0f, 7));
}

TEST(RoundedMath, RandomBitPatterns) {
  const std::vector<float> in = RandomBitPatterns(1 << 20, 20261207);
  ExpectBlockMatches(kLog10, in);
  ExpectBlockMatches(kExp10, in);
}

TEST(RoundedMath, LengthsNotAMultipleOfFour) {
  // Every length 0..13 at every start offset, random bit patterns (mostly left to the scalar
  // form) among ordinary arguments, and no element written outside out[0..n-1].
  const std::vector<float> pool = RandomBitPatterns(64, 7);
  for (const Function& f : {kLog10, kExp10}) {
    for (int n = 0; n <= 13; ++n) {
      for (int offset = 0; offset < 4; ++offset) {
        std::vector<float> in(pool.begin() + offset, pool.begin() + offset + n);
        for (int i = 0; i < n; ++i) {
          if (i % 3 == 0) in[i] = 0.5f + static_cast<float>(i);  // on the vector path
        }
        const float sentinel = FromBits(0x7fc0dead);
        std::vector<float> out(static_cast<std::size_t>(offset + n + 4), sentinel);
        f.block(in.data(), out.data() + offset, n);
        const std::vector<float> got(out.begin() + offset, out.begin() + offset + n);
        EXPECT_EQ(CountMismatches(f, in, got), 0) << f.name << " n=" << n;
        for (std::size_t i = 0; i < out.size(); ++i) {
          if (i < static_cast<std::size_t>(offset) || i >= static_cast<std::size_t>(offset + n)) {
            EXPECT_EQ(BitsOf(out[i]), BitsOf(sentinel)) << f.name << " n=" << n << " i=" << i;
          }
        }
      }
    }
  }
}

TEST(RoundedMath, InPlace) {
  // Ordinary, exceptional and near-midpoint arguments together, so that lanes recomputed with the
  // scalar form share vector groups with lanes that are not.
  std::vector<float> in = RandomBitPatterns(4099, 11);
  for (std::size_t i = 0; i < in.size(); i += 2)
    in[i] = 0.5f + 0.03125f * static_cast<float>(i % 1000);
  for (const float e : ExceptionalValues()) in.push_back(e);
  for (const Bits b : kHardLog10) in.push_back(FromBits(b));
  for (const Bits b : kHardExp10) in.push_back(FromBits(b));
  for (const Function& f : {kLog10, kExp10}) {
    for (const int n : {static_cast<int>(in.size()), 1, 2, 3, 5, 7}) {
      std::vector<float> a(in.end() - n, in.end());
      const std::vector<float> original = a;
      f.block(a.data(), a.data(), n);
      EXPECT_EQ(CountMismatches(f, original, a), 0) << f.name << " n=" << n;
    }
  }
}

TEST(RoundedMath, ArgumentsNearAMidpointBetweenFloats) {
  std::vector<float> log_in;
  std::vector<float> exp_in;
  for (const Bits b : kHardLog10) log_in.push_back(FromBits(b));
  for (const Bits b : kHardExp10) exp_in.push_back(FromBits(b));
  // The listed arguments must really be hard cases, or this test would prove nothing.
  for (const float x : log_in) EXPECT_LT(UlpsFromMidpoint(GlibcLog10(x)), 8.0) << x;
  for (const float y : exp_in) EXPECT_LT(UlpsFromMidpoint(GlibcExp10(y)), 8.0) << y;
  ExpectBlockMatches(kLog10, log_in);
  ExpectBlockMatches(kExp10, exp_in);
}

// Largest approximation error in ulps over in; also checks that every argument is taken on the
// vector path.
double WorstError(double (*approx)(float), double (*exact)(float), const std::vector<float>& in) {
  double worst = 0;
  for (const float x : in) {
    const double a = approx(x);
    EXPECT_FALSE(std::isnan(a)) << "argument " << x << " left to the scalar form";
    worst = std::max(worst, UlpsBetween(a, exact(x)));
  }
  return worst;
}

TEST(RoundedMath, ApproximationsStayWellInsideTheGuard) {
  if (!rounded_math_detail::kHasVectorPath) {
    GTEST_SKIP() << "no vector path on this target: the block forms are the scalar loop";
  }
  // The guard only protects results whose approximation lies within kMidpointGuardUlps of
  // glibc's double; demand a wide margin so that no untested argument gets near it.
  constexpr double kAllowed = rounded_math_detail::kMidpointGuardUlps / 16.0;
  const double log_worst = WorstError(
      rounded_math_detail::log10_unrounded, GlibcLog10,
      FloatSweep(std::numeric_limits<float>::min(), std::numeric_limits<float>::max(), 997));
  const double exp_worst = std::max(
      WorstError(rounded_math_detail::exp10_unrounded, GlibcExp10, FloatSweep(-0.0f, -37.9f, 499)),
      WorstError(rounded_math_detail::exp10_unrounded, GlibcExp10, FloatSweep(0.0f, 38.5f, 499)));
  EXPECT_LT(log_worst, kAllowed);
  EXPECT_LT(exp_worst, kAllowed);
  // Near 1.0 log10 is small, and only a reduction that is exact there keeps its error relative.
  EXPECT_LT(WorstError(rounded_math_detail::log10_unrounded, GlibcLog10,
                       FloatSweep(1.0f - 1.0f / 64, 1.0f + 1.0f / 32, 1)),
            kAllowed);
}

TEST(RoundedMath, VectorPathTakesOnlyArgumentsWithNormalFloatResults) {
  if (!rounded_math_detail::kHasVectorPath) {
    GTEST_SKIP() << "no vector path on this target: the block forms are the scalar loop";
  }
  // The guard reads the rounding position of a normal float; a subnormal, infinite or NaN
  // result must come from the scalar form.
  const auto normal = [](float f) {
    return std::isfinite(f) && std::fabs(f) >= std::numeric_limits<float>::min();
  };
  std::vector<float> log_in = ExceptionalValues();
  for (const float x : RandomBitPatterns(1 << 16, 3)) log_in.push_back(x);
  for (const float x : log_in) {
    const bool positive_normal = normal(x) && x > 0;
    EXPECT_EQ(!std::isnan(rounded_math_detail::log10_unrounded(x)), positive_normal)
        << "log10 of bits 0x" << std::hex << BitsOf(x);
  }
  std::vector<float> exp_in = ExceptionalValues();
  for (const float y : FloatSweep(38.4f, 38.6f, 1)) exp_in.push_back(y);
  for (const float y : FloatSweep(-37.8f, -38.0f, 1)) exp_in.push_back(y);
  for (const float y : exp_in) {
    if (!std::isnan(rounded_math_detail::exp10_unrounded(y))) {
      EXPECT_TRUE(normal(exp10_rounded(y))) << "exp10 of " << y;
    }
  }
}

// Every float bit pattern through both functions, about four minutes. Run with
//   analysis_test --gtest_also_run_disabled_tests --gtest_filter='*RoundedMathExhaustive*'
// It prints the largest approximation errors and the arguments whose glibc double lies within 4
// ulps of a float midpoint, the source of the hard cases above.
TEST(DISABLED_RoundedMathExhaustive, EveryFloatBitPattern) {
  struct Case {
    Function f;
    double (*approx)(float);
    double (*exact)(float);
  };
  const auto started = std::chrono::steady_clock::now();
  for (const Case& c : {Case{kLog10, rounded_math_detail::log10_unrounded, GlibcLog10},
                        Case{kExp10, rounded_math_detail::exp10_unrounded, GlibcExp10}}) {
    constexpr std::uint64_t kChunk = 1 << 16;
    std::vector<float> in(kChunk);
    std::vector<float> out(kChunk);
    std::uint64_t mismatches = 0;
    double worst = 0;
    std::vector<Bits> hard;
    for (std::uint64_t start = 0; start < (std::uint64_t{1} << 32); start += kChunk) {
      for (std::uint64_t i = 0; i < kChunk; ++i) in[i] = FromBits(static_cast<Bits>(start + i));
      c.f.block(in.data(), out.data(), static_cast<int>(kChunk));
      mismatches += static_cast<std::uint64_t>(CountMismatches(c.f, in, out));
      for (const float x : in) {
        const double a = c.approx(x);
        if (std::isnan(a)) continue;
        const double e = c.exact(x);
        worst = std::max(worst, UlpsBetween(a, e));
        if (UlpsFromMidpoint(e) < 4.0) hard.push_back(BitsOf(x));
      }
    }
    EXPECT_EQ(mismatches, 0u) << c.f.name;
    std::printf("%s: %llu mismatches, worst approximation error %.2f ulps, %zu hard cases:\n",
                c.f.name, static_cast<unsigned long long>(mismatches), worst, hard.size());
    for (const Bits b : hard) std::printf("    0x%08xu,\n", b);
  }
  std::printf("all 2^32 bit patterns, both functions: %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

}  // namespace

}  // namespace sonlet
