// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fft.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/rounded_math.h"

namespace sonlet {

namespace {

// ln n / ln 2 with both logarithms and the quotient rounded to float; the caller decides what a
// fractional result means.
float log2_quotient(int n) { return ln_rounded(static_cast<float>(n)) / ln_rounded(2.0f); }

// When both operands of an addition are NaN, x86 returns the first one's payload and sign, but the
// compiler treats float addition as commutative and may swap the operands to save a register
// move, differently in each loop it compiles. Both transforms add through these helpers, which
// pin the operand order written in the source, so their NaN outputs agree bit for bit.
// Without SSE2 there is no fast transform to agree with, and fft() is fft_plain(): the plain
// addition does.
#if defined(__SSE2__)
inline float add_in_order(float a, float b) {
  __asm__("addss %1, %0" : "+x"(a) : "x"(b));
  return a;
}

inline __m128 add_in_order(__m128 a, __m128 b) {
  __asm__("addps %1, %0" : "+x"(a) : "x"(b));
  return a;
}
#else
inline float add_in_order(float a, float b) { return a + b; }
#endif

}  // namespace

float fft_log2(int n) {
  const float q = log2_quotient(n);
  return q != std::trunc(q) ? -1.0f : q;
}

void even_odd_split(int a[], int n) {
  // Odd positions start right after the even ones; for the even lengths the tables use that is
  // n / 2, and an odd length keeps its last even element instead of overwriting it.
  const int back = (n + 1) / 2;
  std::vector<int> split(n);
  for (int i = 0; i < n; ++i) {
    split[i % 2 == 0 ? i / 2 : back + (i - 1) / 2] = a[i];
  }
  std::copy(split.begin(), split.end(), a);
}

bool fft_tables(int n, FftTables* tables) {
  *tables = FftTables{};
  const float log2n = fft_log2(n);
  if (log2n == -1.0f) return false;
  // A length that is not a power of two gets no tables, and the caller learns it from the
  // result. The second test catches what the float logarithm lets through (n = 0, or a large n
  // that rounds to a power of two as a float). The float quotient is not whole for 8192 and
  // 32768 either, so those lengths are refused by fft_log2 as well.
  const int stages = log2n >= 0.0f && log2n < 31.0f ? static_cast<int>(log2n) : -1;
  if (stages < 0 || n != 1 << stages) return false;

  tables->n = n;
  tables->stages = stages;
  tables->perm.resize(n);
  for (int i = 0; i < n; ++i) tables->perm[i] = i;
  // Each pass sends the even entries of every block to its front half and the odd ones to its
  // back half; after stages - 1 passes every index sits at its bit reversal.
  for (int pass = 0; pass + 1 < stages; ++pass) {
    const int block = n >> pass;
    for (int start = 0; start < n; start += block) even_odd_split(&tables->perm[start], block);
  }

  tables->cos_table.resize(stages);
  tables->sin_table.resize(stages);
  for (int s = 0; s < stages; ++s) {
    const int half = 1 << s;
    tables->cos_table[s].resize(half);
    tables->sin_table[s].resize(half);
    for (int j = 0; j < half; ++j) {
      const double angle = -std::numbers::pi * j / half;
      tables->cos_table[s][j] = static_cast<float>(std::cos(angle));
      tables->sin_table[s][j] = static_cast<float>(std::sin(angle));
    }
  }
  return true;
}

void fft_plain(int inverse, const float in_re[], const float in_im[], float out_re[],
               float out_im[], int n, const FftTables& tables) {
  const int stages = static_cast<int>(log2_quotient(n));
  const int* perm = tables.perm.data();
  const float scale = static_cast<float>(n);
  for (int i = 0; i < n; ++i) {
    out_re[i] = in_re[perm[i]];
    out_im[i] = in_im[perm[i]];
    if (inverse != 0) {
      out_re[i] = out_re[i] / scale;
      out_im[i] = out_im[i] / scale;
    }
  }
  for (int s = 0; s < stages; ++s) {
    const int half = 1 << s;
    const float* cos_s = tables.cos_table[s].data();
    const float* sin_s = tables.sin_table[s].data();
    for (int j = 0; j < half; ++j) {
      const float w_re = cos_s[j];
      const float w_im = inverse != 0 ? -sin_s[j] : sin_s[j];
      for (int t = j; t < n; t += 2 * half) {
        const int b = t + half;
        const float t_re = w_re * out_re[b] - w_im * out_im[b];
        const float t_im = add_in_order(w_im * out_re[b], w_re * out_im[b]);
        out_re[b] = out_re[t] - t_re;
        out_im[b] = out_im[t] - t_im;
        out_re[t] = add_in_order(out_re[t], t_re);
        out_im[t] = add_in_order(out_im[t], t_im);
      }
    }
  }
}

#if defined(__SSE2__)

// The fast transform. fft() must reproduce fft_plain() bit for bit, including NaN payloads and
// signed zeros, so it keeps every butterfly's float operations and operand order and only
// changes which butterflies run together:
//   - four butterflies that share a stage and sit at neighbouring j run side by side in SSE lanes;
//   - the gather and the first two stages run in one pass, with the lanes spread over four
//     groups of four points (the first two stages only mix points inside such a group);
//   - the later stages run two at a time, so each point is loaded and stored once per pair.
namespace {

// One SSE lane per butterfly, written exactly as the scalar butterfly of fft_plain.
inline void butterfly4(__m128& top_re, __m128& top_im, __m128& bot_re, __m128& bot_im, __m128 w_re,
                       __m128 w_im) {
  const __m128 t_re = _mm_sub_ps(_mm_mul_ps(w_re, bot_re), _mm_mul_ps(w_im, bot_im));
  const __m128 t_im = add_in_order(_mm_mul_ps(w_im, bot_re), _mm_mul_ps(w_re, bot_im));
  bot_re = _mm_sub_ps(top_re, t_re);
  bot_im = _mm_sub_ps(top_im, t_im);
  top_re = add_in_order(top_re, t_re);
  top_im = add_in_order(top_im, t_im);
}

// The sign of the sine for the transform's direction. The inverse negates it, a flip of the sign
// bit as the scalar negation is; the forward transform is a template of its own so that it pays
// nothing for it.
template <bool Inverse>
inline __m128 direction(__m128 sin_values) {
  if constexpr (Inverse) return _mm_xor_ps(sin_values, _mm_set1_ps(-0.0f));
  return sin_values;
}

// Four inputs, divided by n for the inverse as the plain gather does.
template <bool Inverse>
inline __m128 gathered(const float* in, __m128 n) {
  if constexpr (Inverse) return _mm_div_ps(_mm_loadu_ps(in), n);
  return _mm_loadu_ps(in);
}

// The gather through the bit reversal and the stages of half-size 1 and 2, which only mix the
// four points of a group out[4g..4g+3]. Vector k holds point k of four groups, lane l for the
// group that starts at out[perm[c + l]]. As perm is the bit reversal, that point is
// in[perm[k] + c + l]: each vector is one load of four neighbouring inputs. A 4x4 transpose then
// turns the lanes back into groups, each stored whole.
// in_re, in_im: [0..n-1]; out_re, out_im: [0..n-1], n >= 16.
template <bool Inverse>
void gather_first_two_stages(const float in_re[], const float in_im[], float out_re[],
                             float out_im[], int n, const FftTables& tables) {
  const int* perm = tables.perm.data();
  const __m128 scale = _mm_set1_ps(static_cast<float>(n));
  const __m128 w0_re = _mm_set1_ps(tables.cos_table[0][0]);
  const __m128 w0_im = direction<Inverse>(_mm_set1_ps(tables.sin_table[0][0]));
  const __m128 w10_re = _mm_set1_ps(tables.cos_table[1][0]);
  const __m128 w10_im = direction<Inverse>(_mm_set1_ps(tables.sin_table[1][0]));
  const __m128 w11_re = _mm_set1_ps(tables.cos_table[1][1]);
  const __m128 w11_im = direction<Inverse>(_mm_set1_ps(tables.sin_table[1][1]));
  const int from0 = perm[0], from1 = perm[1], from2 = perm[2], from3 = perm[3];

  for (int c = 0; c < n / 4; c += 4) {
    __m128 re0 = gathered<Inverse>(in_re + from0 + c, scale);
    __m128 im0 = gathered<Inverse>(in_im + from0 + c, scale);
    __m128 re1 = gathered<Inverse>(in_re + from1 + c, scale);
    __m128 im1 = gathered<Inverse>(in_im + from1 + c, scale);
    __m128 re2 = gathered<Inverse>(in_re + from2 + c, scale);
    __m128 im2 = gathered<Inverse>(in_im + from2 + c, scale);
    __m128 re3 = gathered<Inverse>(in_re + from3 + c, scale);
    __m128 im3 = gathered<Inverse>(in_im + from3 + c, scale);
    butterfly4(re0, im0, re1, im1, w0_re, w0_im);
    butterfly4(re2, im2, re3, im3, w0_re, w0_im);
    butterfly4(re0, im0, re2, im2, w10_re, w10_im);
    butterfly4(re1, im1, re3, im3, w11_re, w11_im);
    _MM_TRANSPOSE4_PS(re0, re1, re2, re3);
    _MM_TRANSPOSE4_PS(im0, im1, im2, im3);
    _mm_storeu_ps(out_re + perm[c], re0), _mm_storeu_ps(out_im + perm[c], im0);
    _mm_storeu_ps(out_re + perm[c + 1], re1), _mm_storeu_ps(out_im + perm[c + 1], im1);
    _mm_storeu_ps(out_re + perm[c + 2], re2), _mm_storeu_ps(out_im + perm[c + 2], im2);
    _mm_storeu_ps(out_re + perm[c + 3], re3), _mm_storeu_ps(out_im + perm[c + 3], im3);
  }
}

// Stages s and s + 1 (half-size h = 2^s >= 4) in one pass over out. For each j the four points
// j, j + h, j + 2h, j + 3h of a 4h block go through both stages in registers.
// out_re, out_im: in and out [0..n-1]; s: 2 .. stages - 2.
template <bool Inverse>
void two_stages(float out_re[], float out_im[], int n, int s, const FftTables& tables) {
  const int h = 1 << s;
  const float* cos_a = tables.cos_table[s].data();
  const float* sin_a = tables.sin_table[s].data();
  const float* cos_b = tables.cos_table[s + 1].data();
  const float* sin_b = tables.sin_table[s + 1].data();
  for (int base = 0; base < n; base += 4 * h) {
    float* re = out_re + base;
    float* im = out_im + base;
    for (int j = 0; j < h; j += 4) {
      __m128 re0 = _mm_loadu_ps(re + j), im0 = _mm_loadu_ps(im + j);
      __m128 re1 = _mm_loadu_ps(re + j + h), im1 = _mm_loadu_ps(im + j + h);
      __m128 re2 = _mm_loadu_ps(re + j + 2 * h), im2 = _mm_loadu_ps(im + j + 2 * h);
      __m128 re3 = _mm_loadu_ps(re + j + 3 * h), im3 = _mm_loadu_ps(im + j + 3 * h);
      const __m128 wa_re = _mm_loadu_ps(cos_a + j);
      const __m128 wa_im = direction<Inverse>(_mm_loadu_ps(sin_a + j));
      butterfly4(re0, im0, re1, im1, wa_re, wa_im);
      butterfly4(re2, im2, re3, im3, wa_re, wa_im);
      butterfly4(re0, im0, re2, im2, _mm_loadu_ps(cos_b + j),
                 direction<Inverse>(_mm_loadu_ps(sin_b + j)));
      butterfly4(re1, im1, re3, im3, _mm_loadu_ps(cos_b + j + h),
                 direction<Inverse>(_mm_loadu_ps(sin_b + j + h)));
      _mm_storeu_ps(re + j, re0), _mm_storeu_ps(im + j, im0);
      _mm_storeu_ps(re + j + h, re1), _mm_storeu_ps(im + j + h, im1);
      _mm_storeu_ps(re + j + 2 * h, re2), _mm_storeu_ps(im + j + 2 * h, im2);
      _mm_storeu_ps(re + j + 3 * h, re3), _mm_storeu_ps(im + j + 3 * h, im3);
    }
  }
}

// The last stage when an odd number of stages is left: half-size n / 2, one block.
// out_re, out_im: in and out [0..n-1]; s: stages - 1.
template <bool Inverse>
void last_stage(float out_re[], float out_im[], int n, int s, const FftTables& tables) {
  const int h = n / 2;
  const float* cos_s = tables.cos_table[s].data();
  const float* sin_s = tables.sin_table[s].data();
  for (int j = 0; j < h; j += 4) {
    __m128 re0 = _mm_loadu_ps(out_re + j), im0 = _mm_loadu_ps(out_im + j);
    __m128 re1 = _mm_loadu_ps(out_re + j + h), im1 = _mm_loadu_ps(out_im + j + h);
    butterfly4(re0, im0, re1, im1, _mm_loadu_ps(cos_s + j),
               direction<Inverse>(_mm_loadu_ps(sin_s + j)));
    _mm_storeu_ps(out_re + j, re0), _mm_storeu_ps(out_im + j, im0);
    _mm_storeu_ps(out_re + j + h, re1), _mm_storeu_ps(out_im + j + h, im1);
  }
}

// tables.stages is the stage count fft_plain derives from n whenever the tables belong to n.
template <bool Inverse>
void fast_transform(const float in_re[], const float in_im[], float out_re[], float out_im[], int n,
                    const FftTables& tables) {
  gather_first_two_stages<Inverse>(in_re, in_im, out_re, out_im, n, tables);
  int s = 2;
  for (; s + 1 < tables.stages; s += 2) two_stages<Inverse>(out_re, out_im, n, s, tables);
  if (s < tables.stages) last_stage<Inverse>(out_re, out_im, n, s, tables);
}

}  // namespace

void fft(int inverse, const float in_re[], const float in_im[], float out_re[], float out_im[],
         int n, const FftTables& tables) {
  // The lanes need four groups of four points; shorter transforms are cheap in the plain loop.
  if (n < 16) {
    fft_plain(inverse, in_re, in_im, out_re, out_im, n, tables);
  } else if (inverse != 0) {
    fast_transform<true>(in_re, in_im, out_re, out_im, n, tables);
  } else {
    fast_transform<false>(in_re, in_im, out_re, out_im, n, tables);
  }
}

#else  // !defined(__SSE2__)

// Targets without SSE2 (arm64): the fast transform is the plain one.
void fft(int inverse, const float in_re[], const float in_im[], float out_re[], float out_im[],
         int n, const FftTables& tables) {
  fft_plain(inverse, in_re, in_im, out_re, out_im, n, tables);
}

#endif  // defined(__SSE2__)

}  // namespace sonlet
