// SPDX-License-Identifier: GPL-3.0-or-later
#include "gesture/hiss_detector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sonlet {

namespace {

// Passes described by their frames' own levels, fed to the detector as the engine's leaky level
// carries them (level = 0.9 level + dB / 10).
struct Passes {
  int count;
  float frame_db;
  float high_share;
  bool loud;
  float rise_db = 0.0f;  // from one pass to the next
};

// Room noise at 30 dB, white (share 0.5); a loud hiss at 70 dB; a loud vowel at 70 dB.
Passes Room(int count) { return {count, 30.0f, 0.5f, false}; }
Passes Hiss(int count, float db = 70.0f) { return {count, db, 0.8f, true}; }
Passes Vowel(int count) { return {count, 70.0f, 0.1f, true}; }

// The passes on which the detector hears a gesture.
std::vector<int> Heard(const std::vector<Passes>& script) {
  HissDetector detector;
  std::vector<int> heard;
  float level = 0.0f;
  int pass = 0;
  for (const Passes& p : script) {
    for (int i = 0; i < p.count; ++i, ++pass) {
      level = 0.9f * level + (p.frame_db + p.rise_db * static_cast<float>(i)) / 10.0f;
      if (detector.Hear(level, p.loud, p.high_share)) heard.push_back(pass);
    }
  }
  return heard;
}

TEST(HissDetector, HearsAHissOfHalfASecondToTwoSecondsAtItsEndAndNothingElse) {
  // Each script starts with 40 passes of room noise; a gesture is heard on the fifth pass after
  // the hiss's last.
  const struct {
    std::string what;
    std::vector<Passes> script;
    std::vector<int> heard;
  } cases[] = {
      {"a hiss of 1 s", {Room(40), Hiss(53), Room(20)}, {97}},
      {"26 passes: too short", {Room(40), Hiss(26), Room(20)}, {}},
      {"27 passes (0.5 s)", {Room(40), Hiss(27), Room(20)}, {71}},
      {"107 passes (2 s)", {Room(40), Hiss(107), Room(20)}, {151}},
      {"108 passes: too long", {Room(40), Hiss(108), Room(20)}, {}},
      {"a hiss going on when listening begins", {Hiss(53), Room(20)}, {}},
      {"two hisses, two gestures", {Room(40), Hiss(53), Room(30), Hiss(40), Room(20)}, {97, 167}},
      {"ends on the fifth quiet pass, not the fourth", {Room(40), Hiss(53), Room(4)}, {}},
      {"a break of four passes is a dropout",
       {Room(40), Hiss(20), Room(4), Hiss(20), Room(20)},
       {88}},
      {"a break of five passes ends it", {Room(40), Hiss(20), Room(5), Hiss(20), Room(20)}, {}},
      {"a high share of 0.6 is a hiss", {Room(40), {53, 70.0f, 0.6f, true}, Room(20)}, {97}},
      {"0.59 is not", {Room(40), {53, 70.0f, 0.59f, true}, Room(20)}, {}},
      // The engine's level climbs slowly; ten loud passes are enough, nine are not.
      {"loud on ten passes",
       {Room(40), {43, 70.0f, 0.8f, false}, {10, 70.0f, 0.8f, true}, Room(20)},
       {97}},
      {"loud on nine", {Room(40), {44, 70.0f, 0.8f, false}, {9, 70.0f, 0.8f, true}, Room(20)}, {}},
      {"a hiss straight into a vowel", {Room(40), Hiss(53), Vowel(30), Room(20)}, {}},
      {"into a vowel after three quiet passes", {Room(40), Hiss(53), Room(3), Vowel(30)}, {}},
      {"into a vowel after four quiet passes", {Room(40), Hiss(53), Room(4), Vowel(30)}, {97}},
      {"a hiss out of a louder vowel: no onset",
       {Room(40), Vowel(40), Hiss(53, 65.0f), Room(20)},
       {}},
      {"a steady loud hiss-like noise", {{300, 65.0f, 0.8f, true}}, {}},
      // 0.7 dB a pass, 37 dB a second: 9.1 dB within any quarter of a second.
      {"a fan that swells to a hiss's loudness",
       {Room(40), {57, 30.7f, 0.8f, true, 0.7f}, Hiss(20), Room(20)},
       {}},
      {"a hiss-like fan switched on", {Room(40), {300, 65.0f, 0.8f, true}}, {}},
      {"a hiss 10.5 dB over that fan",
       {{100, 65.0f, 0.8f, true}, Hiss(53, 75.5f), {30, 65.0f, 0.8f, true}},
       {157}},
      {"9.5 dB over it", {{100, 65.0f, 0.8f, true}, Hiss(53, 74.5f), {30, 65.0f, 0.8f, true}}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Heard(c.script), c.heard) << c.what;
}

}  // namespace

}  // namespace sonlet
