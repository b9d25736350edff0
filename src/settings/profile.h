// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/engine_settings.h"

namespace sonlet {

// The user's settings, as the profile file keeps them and the engine reads them. The values given
// here are the ones a setting keeps when the file does not hold a readable number for it. None
// is range-checked: a value outside a control's range is kept as read and the panel's controls
// bring it into range.
struct Profile {
  int32_t threshold = 0;  // voice threshold position 0..90: the threshold is 100 - value dB
  int32_t click_min = 0;  // a click lasts longer than this many passes (1..50)
  int32_t click_max = 0;  // a click lasts shorter than this many passes (1..50)
  int32_t height = 150;   // body height position 0..100: height in cm is value + 90
  // Pointer speed position 0..100, 0 the fastest. The panel gives it no value of its own when
  // the file lacks it; 50, the middle of the range, is ours.
  int32_t speed = 50;
  int32_t male = 0;  // 1 male, 0 female

  bool operator==(const Profile& other) const = default;
};

// The engine takes the profile: the six settings, and clicks of the left mouse button (the
// ENTER key is an action no profile chooses). Listening is left as it is.
void ApplyProfile(const Profile& profile, EngineSettings* settings);

// The six settings as the engine reads them now.
Profile ProfileOf(const EngineSettings& settings);

}  // namespace sonlet
