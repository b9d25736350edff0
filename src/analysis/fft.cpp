#include "analysis/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "analysis/rounded_math.h"

namespace {

void print_length_message() {
  std::fputs("\tError: Len of FFT must be exp(2,N), being N natural\n\n", stdout);
}

// ln n / ln 2 with both logarithms and the quotient rounded to float; the caller decides what a
// fractional result means.
float log2_quotient(int n) { return ln_rounded(static_cast<float>(n)) / ln_rounded(2.0f); }

}  // namespace

float fft_log2(int n) {
  const float q = log2_quotient(n);
  if (q != std::trunc(q)) {
    print_length_message();
    return -1.0f;
  }
  return q;
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
  // A length that is not a power of two gets no tables: the caller learns it from the result and
  // the operator from the message. The second test catches what the float logarithm lets through
  // (n = 0, or a large n that rounds to a power of two as a float). The float quotient is not
  // whole for 8192 and 32768 either, so those lengths are refused by fft_log2 as well.
  const int stages = log2n >= 0.0f && log2n < 31.0f ? static_cast<int>(log2n) : -1;
  if (stages < 0 || n != 1 << stages) {
    print_length_message();
    return false;
  }

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
        const float t_im = w_im * out_re[b] + w_re * out_im[b];
        out_re[b] = out_re[t] - t_re;
        out_im[b] = out_im[t] - t_im;
        out_re[t] = out_re[t] + t_re;
        out_im[t] = out_im[t] + t_im;
      }
    }
  }
}

// The vectorised transform comes separately; until then the reference is the transform.
void fft(int inverse, const float in_re[], const float in_im[], float out_re[], float out_im[],
         int n, const FftTables& tables) {
  fft_plain(inverse, in_re, in_im, out_re, out_im, n, tables);
}
