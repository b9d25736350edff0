// SPDX-License-Identifier: GPL-3.0-or-later
#include "threshold/threshold_probe.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

namespace {

// The room's loud moments: what it reaches one pass in twenty. Its steady noise (a fan, a
// computer) lies just under it; a knock of a pass or two does not raise the threshold for good.
constexpr float kRoomShare = 0.95f;

}  // namespace

float LevelPercentile(std::vector<float>& levels, float share) {
  if (levels.empty()) return 0.0f;
  const size_t last = levels.size() - 1;
  const size_t at =
      std::min(last, static_cast<size_t>(std::lround(share * static_cast<float>(last))));
  std::nth_element(levels.begin(), levels.begin() + static_cast<long>(at), levels.end());
  return levels[at];
}

ThresholdProbe::Event ThresholdProbe::Feed(float level_db) {
  switch (phase_) {
    case Phase::kRoom:
      ++room_passes_;
      if (room_passes_ <= kSettlingPasses) return Event::kNone;
      room_.push_back(level_db);
      if (static_cast<int>(room_.size()) < kRoomPasses) return Event::kNone;
      room_db_ = LevelPercentile(room_, kRoomShare);
      phase_ = Phase::kVoice;
      return Event::kRoomHeard;
    case Phase::kVoice:
      ++waited_passes_;
      if (level_db > voice_start_db()) {
        take_.push_back(level_db);
        if (static_cast<int>(take_.size()) < kLongestTakePasses) return Event::kNone;
        // The wait goes on counting, so that a room that keeps growing louder ends it.
        if (waited_passes_ >= kVoiceWaitPasses) return Done(ThresholdChoice{});
        phase_ = Phase::kRoom;
        room_passes_ = 0;
        room_.clear();
        take_.clear();
        return Event::kRoomChanged;
      }
      if (!take_.empty()) return EndTake();
      if (waited_passes_ >= kVoiceWaitPasses) return Done(ThresholdChoice{});
      return Event::kNone;
    case Phase::kDone:
      return Event::kNone;
  }
  return Event::kNone;
}

ThresholdProbe::Event ThresholdProbe::Finish() {
  if (phase_ == Phase::kDone) return Event::kNone;
  if (phase_ == Phase::kVoice && !take_.empty()) {
    const Event event = EndTake();
    if (event == Event::kDone) return event;
  }
  ThresholdChoice none;
  none.room_db = room_db_;
  return Done(none);
}

ThresholdProbe::Event ThresholdProbe::EndTake() {
  // The level climbs into a voice and sinks out of it by 0.9 a pass; only the part near the
  // peak is the voice as it is held.
  const float peak = *std::max_element(take_.begin(), take_.end());
  std::vector<float> held;
  for (float level : take_) {
    if (level >= peak - static_cast<float>(kHeldWithinDb)) held.push_back(level);
  }
  take_.clear();
  held_passes_ = static_cast<int>(held.size());
  if (held_passes_ < kFewestHeldPasses) {
    waited_passes_ = 0;  // the user is asked again, and gets the whole wait again
    return Event::kTooShort;
  }
  return Done(ChooseThreshold(room_db_, LevelPercentile(held, 0.5f)));
}

ThresholdProbe::Event ThresholdProbe::Done(ThresholdChoice choice) {
  if (choice.status == ThresholdChoice::Status::kNoVoice) choice.room_db = room_db_;
  choice_ = choice;
  phase_ = Phase::kDone;
  return Event::kDone;
}

}  // namespace sonlet
