// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// Order-8 linear predictor from autocorrelation values by the Levinson-Durbin recursion, with
// A(z) = 1 + a[1] z^-1 + ... + a[8] z^-8.
// in: r[0..8]; out: a[0..8] (a[0] = 1); out: k[0..7], k[i-1] being the reflection coefficient
// found at step i.
void levinson_durbin(const float r[], float a[], float k[]);

}  // namespace sonlet
