#include "engine/engine_runner.h"

namespace sonlet {

EngineRunner::EngineRunner(VoiceEngine& engine, AudioSource& audio)
    : engine_(engine), audio_(audio) {}

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
}

void EngineRunner::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace sonlet
