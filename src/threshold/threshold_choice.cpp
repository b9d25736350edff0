// SPDX-License-Identifier: GPL-3.0-or-later
#include "threshold/threshold_choice.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

namespace {

// The threshold setting's range and what it means in dB.
constexpr int kLevelOfZeroSetting = 100;
constexpr int kSettingMax = 90;

}  // namespace

ThresholdChoice ChooseThreshold(float room_db, float voice_db) {
  ThresholdChoice choice;
  choice.room_db = room_db;
  choice.voice_db = voice_db;
  const int lowest = static_cast<int>(std::ceil(room_db)) + kRoomMarginDb;
  const int from_voice = static_cast<int>(std::floor(voice_db)) - kVoiceHeadroomDb;
  const int level = std::clamp(std::max(lowest, from_voice), kLevelOfZeroSetting - kSettingMax,
                               kLevelOfZeroSetting);
  choice.headroom_db = static_cast<int>(std::floor(voice_db)) - level;
  if (choice.headroom_db < kLeastHeadroomDb) {
    choice.status = ThresholdChoice::Status::kVoiceTooQuiet;
    return choice;
  }
  choice.status = ThresholdChoice::Status::kChosen;
  choice.threshold_db = level;
  choice.threshold = kLevelOfZeroSetting - level;
  return choice;
}

}  // namespace sonlet
