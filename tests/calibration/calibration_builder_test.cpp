// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/calibration_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace sonlet {

namespace {

// A held take: n passes around (f1, f2), wandering by the given ratio each way in turn.
std::vector<SteadyFormants> Take(float f1, float f2, int n = 60, float wander = 0.0f) {
  std::vector<SteadyFormants> passes;
  for (int i = 0; i < n; ++i) {
    const float r = static_cast<float>(i % 3 - 1) * wander;
    passes.push_back({f1 * std::exp(r), f2 * std::exp(-r), 0.0f});
  }
  return passes;
}

struct Takes {
  std::vector<SteadyFormants> v[kVowelCount] = {
      Take(800, 1400), Take(500, 1900), Take(290, 2280), Take(640, 830), {}};
};

TEST(BuildCalibration, LearnsCentresAndRefusesWhatWouldSteerBadly) {
  using Status = CalibrationResult::Status;
  const struct {
    const char* name;
    void (*change)(Takes&);
    bool with_u;
    Status status;
    char vowel;
    char other;
  } cases[] = {
      {"distinct vowels", [](Takes&) {}, false, Status::kOk, 0, 0},
      {"a short take of e", [](Takes& t) { t.v[1] = Take(500, 1900, kFewestTakePasses - 1); },
       false, Status::kTooShort, 'e', 0},
      {"a take of i without formants",
       [](Takes& t) {
         t.v[2] = std::vector<SteadyFormants>(50, SteadyFormants{0, 0, 0});
       },
       false, Status::kTooShort, 'i', 0},
      {"a u asked for but not given", [](Takes&) {}, true, Status::kTooShort, 'u', 0},
      {"e said like i", [](Takes& t) { t.v[1] = Take(300, 2200); }, false, Status::kOverlap, 'e',
       'i'},
      // o and u both steer down: lying together is fine.
      {"u said like o", [](Takes& t) { t.v[4] = Take(650, 840); }, true, Status::kOk, 0, 0},
  };
  for (const auto& c : cases) {
    Takes takes;
    c.change(takes);
    const CalibrationResult r = BuildCalibration(takes.v, c.with_u);
    EXPECT_EQ(r.status, c.status) << c.name;
    if (c.vowel != 0) {
      EXPECT_EQ(kVowelLetters[r.vowel], c.vowel) << c.name;
    }
    if (c.other != 0) {
      EXPECT_EQ(kVowelLetters[r.other], c.other) << c.name;
    }
  }
}

TEST(BuildCalibration, CentreAndSpreadIgnoreASlipInTheTake) {
  Takes takes;
  // 12 % wander in F1 and F2, and a tenth of the take a cough far away.
  takes.v[0] = Take(800, 1400, 90, 0.12f);
  for (int i = 0; i < 9; ++i) takes.v[0].push_back({3000, 300, 0});
  const CalibrationResult r = BuildCalibration(takes.v, false);
  ASSERT_EQ(r.status, CalibrationResult::Status::kOk);
  const VowelArea& a = r.map.vowels[0];
  EXPECT_NEAR(a.f1_hz, 800, 1);
  EXPECT_NEAR(a.f2_hz, 1400, 1);
  // Two thirds of the passes lie 0.12 away: the spread comes out near that, not at the floor
  // and not blown up by the cough.
  EXPECT_GT(a.f1_spread, 0.10f);
  EXPECT_LT(a.f1_spread, 0.20f);
  // A steady take keeps the floors: one take shows less variety than a voice has.
  EXPECT_EQ(r.map.vowels[1].f1_spread, kF1SpreadFloor);
  EXPECT_EQ(r.map.vowels[1].f2_spread, kF2SpreadFloor);
  EXPECT_EQ(r.map.vowels[0].passes, 99);
  EXPECT_FALSE(r.map.vowels[4].present);
}

}  // namespace

}  // namespace sonlet
