// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/profile.h"

namespace sonlet {

namespace {

// Each setting of the profile beside the engine's copy of it.
struct Field {
  int32_t Profile::*stored;
  std::atomic<int32_t> EngineSettings::*read_by_engine;
};

constexpr Field kFields[] = {
    {&Profile::threshold, &EngineSettings::threshold},
    {&Profile::click_min, &EngineSettings::click_min},
    {&Profile::click_max, &EngineSettings::click_max},
    {&Profile::height, &EngineSettings::height},
    {&Profile::speed, &EngineSettings::speed},
    {&Profile::male, &EngineSettings::male},
};

}  // namespace

void ApplyProfile(const Profile& profile, EngineSettings* settings) {
  for (const Field& f : kFields) StoreSetting(settings->*f.read_by_engine, profile.*f.stored);
  StoreSetting(settings->click_action, 0);
}

Profile ProfileOf(const EngineSettings& settings) {
  Profile profile;
  for (const Field& f : kFields) profile.*f.stored = LoadSetting(settings.*f.read_by_engine);
  return profile;
}

}  // namespace sonlet
