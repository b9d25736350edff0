#include "engine/engine_runner.h"

EngineRunner::EngineRunner(VoiceEngine& engine, AudioSource& audio)
    : engine_(engine), audio_(audio) {}

EngineRunner::~EngineRunner() {
  request_stop();
  join();
}

void EngineRunner::start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] {
    VoiceEngineThread(engine_, stop_requested_);
    finished_.store(true);
  });
}

void EngineRunner::request_stop() {
  stop_requested_.store(true);
  audio_.interrupt();
}

void EngineRunner::join() {
  if (thread_.joinable()) thread_.join();
}
