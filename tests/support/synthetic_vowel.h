// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace sonlet {

// A steady synthetic vowel for tests and benchmarks: unit pulses every 80 samples (100 Hz at
// 8000 Hz) through three two-pole resonators in cascade at f1, f2 and 2500 Hz with bandwidths
// 70, 90 and 150 Hz, scaled to the given peak. Pole radius 1 - pi B / fs.
std::vector<int16_t> SyntheticVowel(int samples, double f1 = 500.0, double f2 = 1500.0,
                                    double peak = 8000.0);

// Runs `signal` through one two-pole resonator at `hz` whose poles have radius `radius`, at
// `rate` samples a second.
void Resonate(std::vector<double>& signal, double hz, double radius, double rate);

// DC-blocked analysis frames of a recording, assembled as the listening engine does: each block
// of 150 samples goes through the DC blocker and is appended to the previous one. Returns one
// 300-sample frame per block from the second block on, frames[f] ending with block f + 1.
std::vector<std::vector<float>> AnalysisFrames(const std::vector<int16_t>& samples);

}  // namespace sonlet
