// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/synthetic_hiss.h"

#include <cmath>

namespace sonlet {

namespace {

// Uniform in -amplitude..amplitude.
class Noise {
 public:
  double Next(double amplitude) {
    state_ = state_ * 1664525u + 1013904223u;
    return amplitude * (static_cast<double>(state_ >> 8) / 8388608.0 - 1.0);
  }

 private:
  uint32_t state_ = 2463534242u;
};

}  // namespace

std::vector<int16_t> SyntheticHiss(int samples, double db) {
  // A difference of uniform noise of amplitude a has the variance 2 a^2 / 3.
  const double amplitude = std::pow(10.0, db / 20.0) / std::sqrt(2.0 / 3.0);
  Noise noise;
  std::vector<int16_t> out(samples);
  double previous = 0.0;
  for (int16_t& v : out) {
    const double x = noise.Next(amplitude);
    v = static_cast<int16_t>(std::lround(x - previous));
    previous = x;
  }
  return out;
}

std::vector<int16_t> RoomNoise(int samples) {
  Noise noise;
  std::vector<int16_t> out(samples);
  for (int16_t& v : out) v = static_cast<int16_t>(std::lround(noise.Next(32.0)));
  return out;
}

}  // namespace sonlet
