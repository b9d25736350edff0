// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "engine/audio_source.h"
#include "engine/voice_engine.h"

namespace sonlet {

// Runs a voice engine on a thread of its own until the sound ends or a stop is asked for. The
// control panel and the headless command line both use it, so that shutting down always goes
// the same way: ask, wake a waiting read, join.
class EngineRunner {
 public:
  // engine and audio must outlive the runner. also_on_stop, when given, runs in every
  // RequestStop after the read is woken: for whatever else the engine's thread may be waiting
  // on (a stream whose reader stopped reading).
  EngineRunner(VoiceEngine& engine, AudioSource& audio,
               std::function<void()> also_on_stop = nullptr);
  ~EngineRunner();  // stops and joins
  EngineRunner(const EngineRunner&) = delete;
  EngineRunner& operator=(const EngineRunner&) = delete;

  void Start();
  // Asks the engine to stop at the start of its next pass and wakes a waiting read.
  void RequestStop();
  // Waits for the engine's thread to end. Safe to call more than once.
  void Join();

 private:
  VoiceEngine& engine_;
  AudioSource& audio_;
  std::function<void()> also_on_stop_;
  std::atomic<bool> stop_requested_{false};
  std::thread thread_;
};

}  // namespace sonlet
