// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/agile_steering.h"
#include "engine/direction_strategy.h"
#include "engine/run_guard.h"

namespace sonlet {

// The settings' ranges, as the panel's sliders offer them.
inline constexpr int kThresholdMax = 90;  // from 0
inline constexpr int kClickLimitMin = 1;  // passes, for both click limits
inline constexpr int kClickLimitMax = 50;
inline constexpr int kPositionMax = 100;  // height and speed, from 0

// The settings the engine reads on every pass, written by the control panel (or the command
// line) on another thread. Each is read whole with relaxed order: a change takes effect at the
// next read, and the engine sees either the old or the new value, never a torn one.
struct EngineSettings {
  std::atomic<int32_t> listening{0};     // 1 while listening
  std::atomic<int32_t> threshold{0};     // 0..90; the threshold level is 100 - this, in dB
  std::atomic<int32_t> click_min{0};     // 1..50 passes: a click lasts longer than this
  std::atomic<int32_t> click_max{0};     // 1..50 passes: a click is shorter; longer steers
  std::atomic<int32_t> height{150};      // 0..100; body height is this + 90 cm
  std::atomic<int32_t> speed{50};        // 0..100, 0 fastest
  std::atomic<int32_t> male{0};          // 1 male, 0 female
  std::atomic<int32_t> click_action{0};  // 0 left click, 1 ENTER
  // The user's own vowel map, or null for the fixed regions. Whoever sets it keeps the strategy
  // alive until the engine has stopped.
  std::atomic<DirectionStrategy*> direction_strategy{nullptr};
  // A judge of every run's click or steering, such as the speech guard, or null for the duration
  // rules alone. Whoever sets it keeps it alive until the engine has stopped.
  std::atomic<RunGuard*> run_guard{nullptr};
  // Agile steering, or null for the engine's own steps. Kept alive likewise.
  std::atomic<AgileSteering*> agile_steering{nullptr};
};

inline int32_t LoadSetting(const std::atomic<int32_t>& value) {
  return value.load(std::memory_order_relaxed);
}

inline void StoreSetting(std::atomic<int32_t>& value, int32_t v) {
  value.store(v, std::memory_order_relaxed);
}

// Starts or stops listening: the one switch behind the panel's "Iniciar" and "Detener", the
// headless start and the pause gesture. Any thread; the engine takes it up at its next pass.
// Returns false when listening already was as asked.
bool SetListening(EngineSettings* settings, bool on);

// The settings as one pass uses them: read once, each brought into its range. A profile may hold
// any 32-bit number (a slip of the keyboard, a hand-edited file); the engine computes only with
// these, so no setting can overflow its arithmetic or send the pointer a wild distance.
struct PassSettings {
  bool listening = false;
  int threshold = 0;               // 0..kThresholdMax
  int click_min = kClickLimitMin;  // kClickLimitMin..kClickLimitMax
  int click_max = kClickLimitMin;  // kClickLimitMin..kClickLimitMax
  int height = 0;                  // 0..kPositionMax
  int speed = 0;                   // 0..kPositionMax
  bool male = false;
  bool enter_key = false;                 // a click presses ENTER instead of the left button
  DirectionStrategy* strategy = nullptr;  // null: the fixed vowel regions decide
  RunGuard* guard = nullptr;              // null: the duration rules act alone
  AgileSteering* agile = nullptr;         // null: the engine's own steps
};

PassSettings ReadPassSettings(const EngineSettings& settings);

}  // namespace sonlet
