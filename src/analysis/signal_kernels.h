// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fft.h"

namespace sonlet {

// The four hot loops of a frame's analysis. Each has a fast form and a plain form that must
// agree bit for bit; the analysis runs on the fast set, and the plain set stays as the
// reference that tests and benchmarks hold the fast one to.
struct SignalKernels {
  void (*autocorrelation)(const float x[], float r[], int count, int n);
  void (*fft)(int inverse, const float in_re[], const float in_im[], float out_re[], float out_im[],
              int n, const FftTables& tables);
  void (*log10_block)(const float in[], float out[], int n);
  void (*exp10_block)(const float in[], float out[], int n);
};

extern const SignalKernels kFastKernels;
extern const SignalKernels kPlainKernels;

}  // namespace sonlet
