// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/listening_guide.h"

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
  VoiceEngine engine(settings, audio, input, panel, notices, &guide);
  EngineRunner runner(engine, audio);
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
