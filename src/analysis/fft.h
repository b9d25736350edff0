// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace sonlet {

// Radix-2 decimation-in-time complex FFT over separate real and imaginary arrays, forward and
// inverse, with its permutation and twiddle tables built once.

// Tables for one power-of-two length n: perm[0..n-1] is the bit-reversal permutation; for each
// stage s = 0..stages-1, cos_table[s] and sin_table[s] hold L = 2^s values cos(-pi j / L) and
// sin(-pi j / L), j = 0..L-1, computed in double and rounded to float.
struct FftTables {
  int n = 0;
  int stages = 0;
  std::vector<int> perm;
  std::vector<std::vector<float>> cos_table;
  std::vector<std::vector<float>> sin_table;
};

// log2 n as a float, computed in single precision from ln n / ln 2; -1 when that is not a whole
// number (n is not a power of two).
float fft_log2(int n);

// Reorders a[0..n-1] in place: even positions in order to the front half, odd positions in
// order to the back half.
void even_odd_split(int a[], int n);

// Builds the tables for length n. A length that is not a power of two is refused: *tables is
// left empty and the result is false.
bool fft_tables(int n, FftTables* tables);

// Out-of-place transform of n points: in: in_re[0..n-1], in_im[0..n-1]; out: out_re[0..n-1],
// out_im[0..n-1] (distinct from the inputs). inverse = 0 gives the forward transform, any other
// value the inverse, scaled by 1/n. tables must have been built for n.
void fft(int inverse, const float in_re[], const float in_im[], float out_re[], float out_im[],
         int n, const FftTables& tables);

// The same transform, butterfly by butterfly in the textbook loop order. Kept as the reference
// that fft() must match bit for bit.
void fft_plain(int inverse, const float in_re[], const float in_im[], float out_re[],
               float out_im[], int n, const FftTables& tables);

}  // namespace sonlet
