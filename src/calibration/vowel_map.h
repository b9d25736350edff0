#pragma once

#include "engine/direction_strategy.h"

namespace sonlet {

// One user's vowels, learnt from a held take of each: where the engine's formant medians of that
// voice lie, and how far they wander. The map works on the measured medians, not on the ones
// scaled for the speaker: it already is this speaker, so it stays right when the height or sex
// setting changes later, and the measured values keep their fractions of a hertz.

inline constexpr int kVowelCount = 5;
inline constexpr char kVowelLetters[kVowelCount + 1] = "aeiou";

// a steers right, e up, i left, o and u down.
Direction VowelDirection(int vowel);

// Index of a vowel letter in kVowelLetters, or -1.
int VowelIndex(char letter);

// Where one vowel lies: the centre is the geometric mean of its F1 and F2 medians; the spreads
// are standard deviations of their natural logarithms (0.08 is about 8 %), never below the
// floors, because one take shows less variety than a voice has from day to day.
struct VowelArea {
  bool present = false;
  float f1_hz = 0.0f;
  float f2_hz = 0.0f;
  float f1_spread = 0.0f;
  float f2_spread = 0.0f;
  int passes = 0;  // loud, voiced passes the take gave
};

inline constexpr float kF1SpreadFloor = 0.07f;
inline constexpr float kF2SpreadFloor = 0.05f;

// A sound farther than this from every vowel, in spreads, moves nothing: ordinary speech and
// sounds between the vowels are left alone.
inline constexpr float kRejectionDistance = 3.0f;

struct VowelMap {
  VowelArea vowels[kVowelCount];  // in the order of kVowelLetters; u is optional
};

// How far (F1, F2) lies from a vowel, in its spreads: the root of the sum of the squared log
// distances, each divided by its spread. A value that is not a positive frequency is infinitely
// far.
float VowelDistance(const VowelArea& area, float f1_hz, float f2_hz);

struct VowelMatch {
  int vowel = -1;         // the nearest present vowel, or -1 when the map has none
  float distance = 0.0f;  // from it, in spreads
};

VowelMatch NearestVowel(const VowelMap& map, float f1_hz, float f2_hz);

// The map as the engine's direction decision: the nearest vowel within kRejectionDistance.
class CalibratedDecision : public DirectionStrategy {
 public:
  explicit CalibratedDecision(const VowelMap& map) : map_(map) {}

  VowelDecision Decide(float f1_median, float f2_median) const override;

  const VowelMap& map() const { return map_; }

 private:
  VowelMap map_;
};

}  // namespace sonlet
