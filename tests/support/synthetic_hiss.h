// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace sonlet {

// A hiss for tests of the pause gesture: the first difference of white noise, whose energy
// rises towards 4000 Hz as an "sss" does at 8000 samples a second (a high share of about 0.75),
// with an RMS of `db` on the engine's scale (dB of 16-bit units). The noise comes from a fixed
// generator: the same call gives the same samples.
std::vector<int16_t> SyntheticHiss(int samples, double db);

// A quiet room: white noise with an RMS of about 18 (25 dB).
std::vector<int16_t> RoomNoise(int samples);

}  // namespace sonlet
