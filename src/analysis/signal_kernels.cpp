// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/signal_kernels.h"

#include "analysis/autocorrelation.h"
#include "analysis/rounded_math.h"

namespace sonlet {

namespace {

void log10_each(const float in[], float out[], int n) {
  for (int i = 0; i < n; ++i) out[i] = log10_rounded(in[i]);
}

void exp10_each(const float in[], float out[], int n) {
  for (int i = 0; i < n; ++i) out[i] = exp10_rounded(in[i]);
}

}  // namespace

const SignalKernels kFastKernels = {autocorrelation, fft, log10_block, exp10_block};
const SignalKernels kPlainKernels = {autocorrelation_plain, fft_plain, log10_each, exp10_each};

}  // namespace sonlet
