// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// Running median of five that steadies the pitch and formant read-outs against single-frame
// outliers. The history keeps the last five values in arrival order (five zeros at start).
// in: x, a frequency in Hz below 100000; in/out: history[0..4]. Returns the median.
float median5(float x, float history[]);

}  // namespace sonlet
