// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calibration/ordered_formants.h"
#include "engine/direction_strategy.h"

namespace sonlet {

// One user's vowels, learnt from a held take of each: where that voice's formants lie (the
// engine's candidates in frequency order, steadied by running medians: OrderedFormants), and how
// far they wander. The map works on the measured values, not on ones scaled for the speaker: it
// already is this speaker, so it stays right when the height or sex setting changes later.

inline constexpr int kVowelCount = 5;
inline constexpr char kVowelLetters[kVowelCount + 1] = "aeiou";

// a steers right, e up, i left, o and u down.
Direction VowelDirection(int vowel);

// Index of a vowel letter in kVowelLetters, or -1.
int VowelIndex(char letter);

// Where one vowel lies: the centre is the geometric mean of its formants over the take; the
// spreads are standard deviations of their natural logarithms (0.07 is about 7 %), never below
// the floors, because one take shows less variety than a voice has from day to day. F3 is 0
// when the take seldom showed a third formant; the vowel is then judged by F1 and F2 alone.
struct VowelArea {
  bool present = false;
  float f1_hz = 0.0f;
  float f2_hz = 0.0f;
  float f3_hz = 0.0f;
  float f1_spread = 0.0f;
  float f2_spread = 0.0f;
  float f3_spread = 0.0f;
  int passes = 0;  // loud, voiced passes the take gave
};

inline constexpr float kF1SpreadFloor = 0.07f;
inline constexpr float kF2SpreadFloor = 0.05f;
inline constexpr float kF3SpreadFloor = 0.10f;

struct VowelMap {
  VowelArea vowels[kVowelCount];  // in the order of kVowelLetters; u is optional
};

// How far a sound lies from a vowel, in its spreads: the root of the sum of the squared log
// distances, each divided by its spread, over the formants both have (F1 and F2, and F3 when
// both have it). *formants_used (when given) says how many that was. A sound without a
// positive F1 and F2 is infinitely far.
float VowelDistance(const VowelArea& area, const SteadyFormants& heard,
                    int* formants_used = nullptr);

// How far from its centre a vowel reaches over F1 and F2, in spreads: the distance within
// which a sound judged by those two formants can be the vowel (where a chart draws its edge).
inline constexpr float kRejectionDistance = 3.035f;

// Whether a sound at that distance, over that many formants, can be the vowel: a vowel held by
// its speaker lands farther out less than once in a hundred passes (the 99 % point of the
// chi-square distribution). Farther sounds, such as ordinary speech and sounds between the
// vowels, move nothing.
bool WithinVowel(float distance, int formants_used);

struct VowelMatch {
  int vowel = -1;         // the nearest present vowel, or -1 when the map has none
  float distance = 0.0f;  // from it, in spreads
  int formants_used = 0;
};

VowelMatch NearestVowel(const VowelMap& map, const SteadyFormants& heard);

// A vowel steers once it has been the nearest for this many loud, voiced passes in a row
// (about 0.2 s): a held vowel has been for long before its run is long enough to steer, while
// the vowels of ordinary speech glide into each other within a tenth of a second.
inline constexpr int kSteadyPasses = 10;

// The map as the engine's direction decision: the nearest vowel, if the sound can be it and
// has been for kSteadyPasses.
class CalibratedDecision : public DirectionStrategy {
 public:
  explicit CalibratedDecision(const VowelMap& map) : map_(map) {}

  VowelDecision Hear(const float candidates[]) override;

  // The decision for steadied formants, without touching the history.
  VowelDecision Decide(const SteadyFormants& heard) const;
  VowelDecision Decide(float f1, float f2) const { return Decide(SteadyFormants{f1, f2, 0.0f}); }

  const VowelMap& map() const { return map_; }

  // For agile steering: the bearing of the last pass heard, once sounds that have one have
  // come kSteadyPasses times in a row (SoundBearing).
  bool Bearing(float* x, float* y) const override;

 private:
  VowelMap map_;
  OrderedFormants formants_;
  char last_vowel_ = 0;
  int same_vowel_passes_ = 0;
  float bearing_x_ = 0.0f;
  float bearing_y_ = 0.0f;
  int bearing_passes_ = 0;
};

// Where a sound points among a map's vowels: on the line between two vowels whose directions
// are neighbours or alike (a and e, e and i, i and o, o and u, ...; not a and i, which point
// apart), the direction turned from one vowel's to the other's in proportion to the way along
// it between the vowels' cores, so that a sound halfway between "a" and "e" moves up and to the
// right at 45 degrees, and one within kVowelCore of a vowel moves as that vowel does. The line
// nearest the sound (distances in the two vowels' pooled spreads) is taken, and the sound must
// lie within a vowel's own reach of it. A line that passes through a third vowel's reach is not
// one: the way from the one vowel to the other goes by that vowel. False, leaving *x and *y as
// they were, for a sound near no such line.
bool SoundBearing(const VowelMap& map, const SteadyFormants& heard, float* x, float* y);

// Whether the way from vowel a to vowel b passes through a third: that vowel's centre lies
// within its own reach of the line between their centres (F1 and F2, in the third vowel's
// spreads). A man's "o" lies so on the way from his "a" to his "u", and on that long line his
// sounds between "a" and "o" measured as barely past "a": they belong to the lines through "o".
bool VowelOnTheWay(const VowelMap& map, int a, int b);

// How far along the line from a vowel's centre, in pooled spreads, a sound still steers exactly
// as that vowel (at most a quarter of the line): a vowel said on another day lies a few per cent
// (about one spread) off the centre its calibration learnt, and without the core a held "a"
// steered up to 13 degrees off the horizontal.
inline constexpr float kVowelCore = 1.0f;

}  // namespace sonlet
