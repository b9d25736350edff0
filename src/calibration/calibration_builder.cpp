// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/calibration_builder.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

namespace {

// Median of values, which it reorders.
double Median(std::vector<double>& values) {
  const size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(half), values.end());
  const double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  const double lower = *std::max_element(values.begin(), values.begin() + static_cast<long>(half));
  return (lower + upper) / 2.0;
}

// Centre (exp of the median log) and spread of one formant over a take.
void Describe(std::vector<double> logs, float floor, float* centre_hz, float* spread) {
  const double centre = Median(logs);
  for (double& v : logs) v = std::fabs(v - centre);
  // 1.4826 MAD estimates the standard deviation of a normal spread.
  const double deviation = 1.4826 * Median(logs);
  *centre_hz = static_cast<float>(std::exp(centre));
  *spread = std::max(floor, static_cast<float>(deviation));
}

}  // namespace

float VowelSeparation(const VowelArea& a, const VowelArea& b) {
  const auto term = [](float x, float y, float sx, float sy) {
    const double d = std::log(static_cast<double>(x) / y);
    return d * d / ((static_cast<double>(sx) * sx + static_cast<double>(sy) * sy) / 2.0);
  };
  double sum = term(a.f1_hz, b.f1_hz, a.f1_spread, b.f1_spread) +
               term(a.f2_hz, b.f2_hz, a.f2_spread, b.f2_spread);
  if (a.f3_hz > 0.0f && b.f3_hz > 0.0f) sum += term(a.f3_hz, b.f3_hz, a.f3_spread, b.f3_spread);
  return static_cast<float>(std::sqrt(sum));
}

CalibrationResult BuildCalibration(const std::vector<SteadyFormants> (&takes)[kVowelCount],
                                   bool with_u) {
  CalibrationResult result;
  for (int v = 0; v < kVowelCount; ++v) {
    if (kVowelLetters[v] == 'u' && !with_u) continue;
    std::vector<double> f1;
    std::vector<double> f2;
    std::vector<double> f3;
    for (const SteadyFormants& p : takes[v]) {
      // A median of 0 (too few formant candidates yet) is no place on the map.
      if (!(p.f1 > 0.0f && p.f2 > 0.0f)) continue;
      f1.push_back(std::log(static_cast<double>(p.f1)));
      f2.push_back(std::log(static_cast<double>(p.f2)));
      if (p.f3 > 0.0f) f3.push_back(std::log(static_cast<double>(p.f3)));
    }
    if (static_cast<int>(f1.size()) < kFewestTakePasses) {
      if (result.status == CalibrationResult::Status::kOk) {
        result.status = CalibrationResult::Status::kTooShort;
        result.vowel = v;
      }
      result.map.vowels[v].passes = static_cast<int>(f1.size());
      continue;
    }
    VowelArea& area = result.map.vowels[v];
    area.present = true;
    area.passes = static_cast<int>(f1.size());
    Describe(f1, kF1SpreadFloor, &area.f1_hz, &area.f1_spread);
    Describe(f2, kF2SpreadFloor, &area.f2_hz, &area.f2_spread);
    // A third formant seen on fewer than half the passes is no part of this vowel's picture.
    if (2 * f3.size() >= f1.size()) Describe(f3, kF3SpreadFloor, &area.f3_hz, &area.f3_spread);
  }

  int closest = -1;
  for (int v = 0; v < kVowelCount; ++v) {
    if (!result.map.vowels[v].present) continue;
    for (int w = 0; w < kVowelCount; ++w) {
      // o and u both steer down: lying close together costs nothing.
      if (!result.map.vowels[w].present || VowelDirection(w) == VowelDirection(v)) continue;
      const float s = VowelSeparation(result.map.vowels[v], result.map.vowels[w]);
      if (result.nearest[v] < 0 || s < result.separation[v]) {
        result.nearest[v] = w;
        result.separation[v] = s;
      }
    }
    if (result.nearest[v] >= 0 &&
        (closest < 0 || result.separation[v] < result.separation[closest])) {
      closest = v;
    }
  }
  if (result.status == CalibrationResult::Status::kOk && closest >= 0 &&
      result.separation[closest] < kLeastSeparation) {
    result.status = CalibrationResult::Status::kOverlap;
    result.vowel = closest;
    result.other = result.nearest[closest];
  }
  return result;
}

}  // namespace sonlet
