// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/vowel_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sonlet {

namespace {

// A man's vowels as the engine measures them, at the floors' spreads; no u.
VowelMap ManMap() {
  VowelMap map;
  const float centres[4][2] = {{800, 1400}, {500, 1900}, {290, 2280}, {640, 830}};
  for (int v = 0; v < 4; ++v) {
    map.vowels[v] = {true,           centres[v][0],  centres[v][1], 0.0f,
                     kF1SpreadFloor, kF2SpreadFloor, 0.0f,          60};
  }
  return map;
}

TEST(CalibratedDecision, ClassesByLogDistanceScaledBySpread) {
  VowelMap map = ManMap();
  // e and i as a voice that wanders more in F1.
  map.vowels[1].f1_spread = map.vowels[2].f1_spread = 0.15f;
  const CalibratedDecision decision(map);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float f1, f2;
    char vowel;
    Direction direction;
  } cases[] = {
      {800, 1400, 'a', Direction::kRight},
      {500, 1900, 'e', Direction::kUp},
      {290, 2280, 'i', Direction::kLeft},
      {640, 830, 'o', Direction::kDown},
      // Two spreads off in F1 and one in F2: still the vowel.
      {800 * std::exp(2 * kF1SpreadFloor), 1400 * std::exp(-kF2SpreadFloor), 'a',
       Direction::kRight},
      // Between e (F1 500) and i (F1 290), halfway in F2: the ratio decides, not the hertz.
      // 385 Hz is nearer i in hertz, yet nearer e on a log scale.
      {385, 2081, 'e', Direction::kUp},
      {375, 2081, 'i', Direction::kLeft},
      // Farther than the rejection distance from every vowel: nothing.
      {450, 1150, 0, Direction::kNone},
      {1000, 2600, 0, Direction::kNone},
      // No formant yet, or no number: no place on the map.
      {500, 0, 0, Direction::kNone},
      {nan, 1900, 0, Direction::kNone},
  };
  for (const auto& c : cases) {
    const VowelDecision d = decision.Decide(c.f1, c.f2);
    EXPECT_EQ(d.vowel, c.vowel) << c.f1 << "," << c.f2;
    EXPECT_EQ(d.direction, c.direction) << c.f1 << "," << c.f2;
  }
}

TEST(CalibratedDecision, AWideVowelReachesFartherThanANarrowOne) {
  // Halfway (in log terms) between a narrow e and a wide a, the wide one is nearer in spreads.
  const float f1 = std::sqrt(800.0f * 500.0f);
  const float f2 = std::sqrt(1400.0f * 1900.0f);
  for (int wide : {0, 1}) {
    VowelMap map = ManMap();
    map.vowels[wide].f1_spread = map.vowels[wide].f2_spread = 0.2f;
    EXPECT_EQ(CalibratedDecision(map).Decide(f1, f2).vowel, kVowelLetters[wide]);
  }
}

TEST(CalibratedDecision, USteersDownLikeO) {
  VowelMap map = ManMap();
  map.vowels[4] = {true, 330, 700, 0.0f, kF1SpreadFloor, kF2SpreadFloor, 0.0f, 60};
  const VowelDecision d = CalibratedDecision(map).Decide(330, 700);
  EXPECT_EQ(d.vowel, 'u');
  EXPECT_EQ(d.direction, Direction::kDown);
}

TEST(CalibratedDecision, AThirdFormantTellsApartVowelsAlikeInTheFirstTwo) {
  // A child's "e" and "o" as an order-8 predictor reads them: alike in the two lowest
  // formants, far apart in the third.
  VowelMap map = ManMap();
  map.vowels[1] = {true, 650, 1390, 2880, kF1SpreadFloor, kF2SpreadFloor, kF3SpreadFloor, 60};
  map.vowels[3] = {true, 620, 1300, 1700, kF1SpreadFloor, kF2SpreadFloor, kF3SpreadFloor, 60};
  const CalibratedDecision decision(map);
  EXPECT_EQ(decision.Decide({640, 1340, 2800}).vowel, 'e');
  EXPECT_EQ(decision.Decide({640, 1340, 1750}).vowel, 'o');
  // Without a third formant the pass is judged by the first two alone.
  EXPECT_NE(decision.Decide({640, 1340, 0}).vowel, 0);
}

TEST(CalibratedDecision, HearsCandidatesInFrequencyOrderAndSteersOnceTheVowelHolds) {
  CalibratedDecision decision(ManMap());
  // The analysis lists a broad F1 after F2 on some passes: in frequency order they are one "a".
  const float a[kFormantRoots] = {800, 1400, 2500};
  const float a_swapped[kFormantRoots] = {1400, 800, 2500};
  const float between[kFormantRoots] = {450, 1150, 2500};
  const float i[kFormantRoots] = {290, 2280, 2900};
  const struct {
    const float* candidates;
    char vowel;
    bool steers;
  } passes[] = {
      // The running medians fill: the first passes still hold zeros.
      {a, 0, false},
      {a_swapped, 0, false},
      {a, 'a', false},
      {a_swapped, 'a', false},
      {a, 'a', false},
      {a_swapped, 'a', false},
      {a, 'a', false},
      {a, 'a', false},
      {a_swapped, 'a', false},
      {a, 'a', false},
      {a, 'a', false},
      // The tenth "a" in a row steers.
      {a, 'a', true},
      // A slip near no vowel moves nothing once the medians hold it, and does not break the
      // count: the "a" steers again as soon as the medians are back on it.
      {between, 'a', true},
      {between, 'a', true},
      {between, 0, false},
      {a, 0, false},
      {a, 0, false},
      {a, 'a', true},
      // Another vowel starts the count again: "i" steers only after ten passes of its own.
      {i, 'a', true},
      {i, 'a', true},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', false},
      {i, 'i', true},
  };
  int n = 0;
  for (const auto& p : passes) {
    const VowelDecision d = decision.Hear(p.candidates);
    EXPECT_EQ(d.vowel, p.vowel) << "pass " << n;
    EXPECT_EQ(d.direction != Direction::kNone, p.steers) << "pass " << n;
    ++n;
  }
}

}  // namespace

}  // namespace sonlet

namespace sonlet {

namespace {

// With agile steering a sound on the way between two vowels of neighbouring directions points
// between them, turning evenly across the way between the vowels' cores; one within a core
// steers as its vowel; one between vowels that point apart, or near none, points nowhere.
// ManMap: a right, e up, i left, o down.
TEST(SoundBearing, BetweenNeighbouringVowelsInProportion) {
  VowelMap map = ManMap();
  map.vowels[4] = map.vowels[3];
  map.vowels[4].f1_hz = 540.0f;
  map.vowels[4].f2_hz = 660.0f;
  // The point a share of the way from one vowel's core to another's along the line between
  // their centres (log frequency; a share of 0 is `core` spreads from the first vowel's centre).
  const auto between = [&map](int from, int to, float share, float core = kVowelCore) {
    const VowelArea& p = map.vowels[from];
    const VowelArea& q = map.vowels[to];
    const float span = std::hypot(std::log(q.f1_hz / p.f1_hz) / kF1SpreadFloor,
                                  std::log(q.f2_hz / p.f2_hz) / kF2SpreadFloor);
    const float way = (core + share * (span - 2.0f * core)) / span;
    return SteadyFormants{std::exp((1 - way) * std::log(p.f1_hz) + way * std::log(q.f1_hz)),
                          std::exp((1 - way) * std::log(p.f2_hz) + way * std::log(q.f2_hz)), 0.0f};
  };
  constexpr double kPi = 3.14159265358979;
  const struct {
    const char* what;
    SteadyFormants sound;
    bool points;
    double degrees;  // counterclockwise from the right on the screen (up is 90)
    bool with_u = false;
  } rows[] = {
      {"a itself", between(0, 1, 0.0f, 0.0f), true, 0},
      {"a said a little towards e, within its core", between(0, 1, 0.0f, 0.9f * kVowelCore), true,
       0},
      {"a quarter of the way from a to e", between(0, 1, 0.25f), true, 22.5},
      {"halfway a-e", between(0, 1, 0.5f), true, 45},
      {"halfway e-i", between(1, 2, 0.5f), true, 135},
      {"three quarters from i to o", between(2, 3, 0.75f), true, 247.5},
      {"o said a little towards a, within its core", between(3, 0, 0.0f, 0.9f * kVowelCore), true,
       270},
      {"halfway o-a", between(3, 0, 0.5f), true, 315},
      // With a "u" beyond this "o", as a man's lies, the line from "a" to "u" passes by "o": a
      // sound on it there is an "o", not a sound a quarter of the way from "a" to "u".
      {"on the way from a to u, by o", between(0, 4, 0.68f, 0.0f), true, 270, true},
      {"far from every vowel", {1500, 600, 0}, false, 0},
      {"no formants", {0, 0, 0}, false, 0},
  };
  VowelMap without_u = map;
  without_u.vowels[4].present = false;
  for (const auto& row : rows) {
    float x = 7.0f, y = 7.0f;
    ASSERT_EQ(SoundBearing(row.with_u ? map : without_u, row.sound, &x, &y), row.points) << row.what;
    if (!row.points) {
      EXPECT_EQ(x, 7.0f) << row.what;
      continue;
    }
    const double angle = std::atan2(-y, x) * 180.0 / kPi;
    EXPECT_NEAR(std::fmod(angle + 360.0, 360.0), row.degrees, 2.0) << row.what;
    EXPECT_NEAR(std::hypot(x, y), 1.0, 1e-5) << row.what;
  }
}

// The decision hands a bearing to agile steering only once sounds with one have held for the
// same ten passes a vowel needs; a pass near no line starts the count again.
TEST(SoundBearing, TheDecisionGivesItOnceItHolds) {
  CalibratedDecision decision(ManMap());
  const float between_a_e[kFormantRoots] = {632, 1631, 2500};  // halfway, in log frequency
  const float far[kFormantRoots] = {300, 700, 2500};
  float x = 0.0f, y = 0.0f;
  int first = -1;
  for (int pass = 0; pass < 20; ++pass) {
    decision.Hear(between_a_e);
    if (first < 0 && decision.Bearing(&x, &y)) first = pass;
  }
  // The running medians need three passes to hold the sound, then ten in a row.
  EXPECT_EQ(first, 11);
  EXPECT_GT(x, 0.6f);
  EXPECT_LT(y, -0.6f);
  for (int pass = 0; pass < 3; ++pass) decision.Hear(far);
  EXPECT_FALSE(decision.Bearing(&x, &y));
}

}  // namespace

}  // namespace sonlet
