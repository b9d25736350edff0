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
    map.vowels[v] = {true, centres[v][0], centres[v][1], kF1SpreadFloor, kF2SpreadFloor, 60};
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
  map.vowels[4] = {true, 330, 700, kF1SpreadFloor, kF2SpreadFloor, 60};
  const VowelDecision d = CalibratedDecision(map).Decide(330, 700);
  EXPECT_EQ(d.vowel, 'u');
  EXPECT_EQ(d.direction, Direction::kDown);
}

}  // namespace

}  // namespace sonlet
