// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "threshold/threshold_choice.h"

namespace sonlet {

// The steps of the automatic threshold, the same on the terminal and in the panel: hear the
// room for about three seconds, then wait for an "aaa" at the user's normal voice and choose
// (ChooseThreshold). It is fed the engine's level, one pass (18.75 ms) at a time, on one thread,
// and says what changed; the caller words it.
class ThresholdProbe {
 public:
  // The level forgets where it was by 0.9 a pass: after this many it is within 6 % of the
  // room, whatever was heard before (the click that opened the box, the level's start at 0).
  static constexpr int kSettlingPasses = 27;
  static constexpr int kRoomPasses = 160;  // 3 s of room
  // A voice starts once the level rises this far over the room's loud moments.
  static constexpr int kVoiceOverRoomDb = 3;
  // The voice's held part is where the level stays within this of the take's peak; it must
  // last this many passes (0.3 s): a cough or a knock is not the user's voice.
  static constexpr int kHeldWithinDb = 6;
  static constexpr int kFewestHeldPasses = 16;
  // A sound over the room that goes on this long (3 s) is not the short "aaa" asked for but a
  // room grown louder (a fan switched on, a radio): the room is heard again.
  static constexpr int kLongestTakePasses = 160;
  // With no voice after this many passes (12 s) of waiting for one, the probe gives up.
  static constexpr int kVoiceWaitPasses = 640;

  enum class Phase { kRoom, kVoice, kDone };
  enum class Event {
    kNone,
    kRoomHeard,    // room_db() is known: ask for the "aaa"
    kTooShort,     // a take held only held_passes() passes: ask again, longer
    kRoomChanged,  // a sound went on too long for the "aaa": the room is heard again
    kDone,         // choice() holds the outcome
  };

  Event Feed(float level_db);
  // The sound has ended: a take going on is judged as it is; otherwise no voice came.
  Event Finish();

  Phase phase() const { return phase_; }
  // Of the room: passes heard so far, out of kSettlingPasses + kRoomPasses.
  int room_progress() const { return room_passes_; }
  float room_db() const { return room_db_; }
  // The level a voice must pass to be taken for one, in dB.
  float voice_start_db() const { return room_db_ + kVoiceOverRoomDb; }
  int held_passes() const { return held_passes_; }
  const ThresholdChoice& choice() const { return choice_; }

 private:
  Event EndTake();
  Event Done(ThresholdChoice choice);

  Phase phase_ = Phase::kRoom;
  int room_passes_ = 0;
  std::vector<float> room_;
  float room_db_ = 0.0f;
  int waited_passes_ = 0;
  std::vector<float> take_;
  int held_passes_ = 0;
  ThresholdChoice choice_;
};

// The value below which the given share (0..1) of the levels lie; 0 for none. Reorders them.
float LevelPercentile(std::vector<float>& levels, float share);

}  // namespace sonlet
