// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_settings.h"

#include <algorithm>

namespace sonlet {

bool SetListening(EngineSettings* settings, bool on) {
  const int32_t before = settings->listening.exchange(on ? 1 : 0, std::memory_order_relaxed);
  return (before != 0) != on;
}

PassSettings ReadPassSettings(const EngineSettings& settings) {
  const auto within = [](const std::atomic<int32_t>& value, int lowest, int highest) {
    return std::clamp<int32_t>(LoadSetting(value), lowest, highest);
  };
  PassSettings s;
  s.listening = LoadSetting(settings.listening) != 0;
  s.threshold = within(settings.threshold, 0, kThresholdMax);
  s.click_min = within(settings.click_min, kClickLimitMin, kClickLimitMax);
  s.click_max = within(settings.click_max, kClickLimitMin, kClickLimitMax);
  s.height = within(settings.height, 0, kPositionMax);
  s.speed = within(settings.speed, 0, kPositionMax);
  s.male = within(settings.male, 0, 1) == 1;
  s.enter_key = within(settings.click_action, 0, 1) == 1;
  s.strategy = settings.direction_strategy.load(std::memory_order_acquire);
  s.guard = settings.run_guard.load(std::memory_order_acquire);
  s.agile = settings.agile_steering.load(std::memory_order_acquire);
  return s;
}

}  // namespace sonlet
