// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sonlet {

// How much of a block's energy lies high in the band: the energy of its first difference over
// four times its own energy, both around the block's mean. The first difference weighs a
// component at f by 4 sin^2(pi f / fs), so the share is that weight's average over the block's
// spectrum, divided by 4: near 0 for a vowel (its energy sits in F1, below 1 kHz), about 0.5 for
// white noise, and 0.7 to 1 for a hiss ("sss", "shh"), whose energy lies above 2 kHz at 8000
// samples a second. The sums are exact integers, so every platform gives the same float.
// in: block[0..count-1], 16-bit samples, count >= 2. Returns 0..1; 0 for a block of one value.
float HighBandShare(const int16_t block[], int count);

}  // namespace sonlet
