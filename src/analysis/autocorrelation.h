// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// Short-time autocorrelation r[k] = sum over j = 0..n-1-k of x[j] x[j+k], each lag summed in
// increasing j with a float running sum that starts at 0.
// in: x[0..n-1]; out: r[0..count-1]; requires count <= n.
//
// This is the largest loop of the pitch search (250 lags over 300 samples per frame). The fast
// form runs many lags side by side, each lag still summed in its own order, so its results are
// bit for bit those of autocorrelation_plain.
void autocorrelation(const float x[], float r[], int count, int n);

// The lag-by-lag loop, kept as the reference for autocorrelation().
void autocorrelation_plain(const float x[], float r[], int count, int n);

}  // namespace sonlet
