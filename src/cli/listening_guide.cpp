// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/listening_guide.h"

#include <memory>

#include "cli/no_panel.h"
#include "cli/notice_printer.h"
#include "engine/voice_engine.h"
#include "input/null_sink.h"

namespace sonlet {

bool RunListeningGuide(const EngineSettings& settings, AudioSource& audio, ListeningGuide& guide,
                       StopSignals& stop_signals, OutputChannel& out) {
  NullSink input;
  NoPanel panel;
  NoticePrinter notices(out, false);
  // On the heap: the engine's frames and histories are too large for a thread's stack.
  auto engine = std::make_unique<VoiceEngine>(settings, audio, input, panel, notices, &guide);
  EngineRunner runner(*engine, audio);
  guide.runner_ = &runner;
  std::atomic<bool> interrupted{false};
  stop_signals.OnSignal([&runner, &interrupted](int) {
    interrupted.store(true);
    runner.RequestStop();
  });
  guide.Greet();
  runner.Start();
  runner.Join();
  stop_signals.OnSignal([](int) {});
  guide.runner_ = nullptr;
  return interrupted.load();
}

}  // namespace sonlet
