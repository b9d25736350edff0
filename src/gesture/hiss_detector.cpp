// SPDX-License-Identifier: GPL-3.0-or-later
#include "gesture/hiss_detector.h"

#include <algorithm>
#include <limits>

namespace sonlet {

namespace {

constexpr float kHissShare = 0.6f;
constexpr float kVoiceShare = 0.3f;
constexpr float kRiseDb = 10.0f;
constexpr float kVoiceUnderHissDb = 10.0f;
constexpr int kShortestPasses = 27;  // 0.5 s
constexpr int kLongestPasses = 107;  // 2 s
constexpr int kLoudPasses = 10;
constexpr int kEndPasses = 5;  // 94 ms: a shorter break is a dropout inside the hiss
constexpr int kVoicePasses = 2;
// The engine's level is a leaky sum, level = 0.9 level + log10(power of the frame), whose steady
// value is the frame's power in dB. It takes a quarter of a second to climb from a quiet room to
// a hiss; undoing the leak gives each frame's own level, which rises and falls with the hiss and
// so measures it as the user made it.
constexpr float kLevelLeak = 0.9f;

}  // namespace

bool HissDetector::Hear(float level, bool loud, float high_share) {
  const float frame_db = 10.0f * (level - kLevelLeak * previous_level_);
  previous_level_ = level;
  const float quietest = QuietestBefore();
  recent_[recent_next_] = frame_db;
  recent_next_ = (recent_next_ + 1) % kOnsetPasses;
  recent_count_ = std::min(recent_count_ + 1, kOnsetPasses);

  const bool hissing = high_share >= kHissShare;
  if (state_ == State::kQuiet) {
    if (!hissing || frame_db < quietest + kRiseDb) return false;
    state_ = State::kHiss;
    onset_floor_ = quietest;
    loudest_ = frame_db;
    length_ = 1;
    loud_passes_ = loud ? 1 : 0;
    gap_ = 0;
    voiced_ = 0;
    return false;
  }
  if (hissing && frame_db >= onset_floor_ + kRiseDb) {
    length_ += gap_ + 1;
    loudest_ = std::max(loudest_, frame_db);
    if (loud) ++loud_passes_;
    gap_ = 0;
    voiced_ = 0;
    if (length_ > kLongestPasses) state_ = State::kSpent;
    return false;
  }
  ++gap_;
  const bool voice = high_share < kVoiceShare && frame_db >= loudest_ - kVoiceUnderHissDb;
  voiced_ = voice ? voiced_ + 1 : 0;
  if (voiced_ >= kVoicePasses) state_ = State::kSpent;
  if (gap_ < kEndPasses) return false;
  const bool heard =
      state_ == State::kHiss && length_ >= kShortestPasses && loud_passes_ >= kLoudPasses;
  state_ = State::kQuiet;
  return heard;
}

float HissDetector::QuietestBefore() const {
  if (recent_count_ < kOnsetPasses) return std::numeric_limits<float>::infinity();
  return *std::min_element(recent_, recent_ + kOnsetPasses);
}

}  // namespace sonlet
