// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_runner.h"

namespace sonlet {

EngineRunner::EngineRunner(VoiceEngine& engine, AudioSource& audio,
                           std::function<void()> also_on_stop)
    : engine_(engine), audio_(audio), also_on_stop_(std::move(also_on_stop)) {}

EngineRunner::~EngineRunner() {
  RequestStop();
  Join();
}

void EngineRunner::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { VoiceEngineThread(engine_, stop_requested_); });
}

void EngineRunner::RequestStop() {
  stop_requested_.store(true);
  audio_.Interrupt();
  if (also_on_stop_) also_on_stop_();
}

void EngineRunner::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace sonlet
