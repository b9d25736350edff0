// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/headless_run.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "actions/action_sink.h"
#include "calibration/calibration_file.h"
#include "calibration/vowel_map.h"
#include "cli/headless_pause.h"
#include "cli/io_setup.h"
#include "cli/no_panel.h"
#include "cli/notice_printer.h"
#include "cli/overwrite_guard.h"
#include "cli/pass_trace.h"
#include "engine/agile_steering.h"
#include "engine/engine_runner.h"
#include "engine/voice_engine.h"
#include "guard/speech_guard.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

void PrintSummary(const EngineStats& s, const DeliveryShortfall& shortfall = {}) {
  std::fprintf(stderr,
               "sonlet: %" PRId64 " passes; moves right %" PRId64 ", left %" PRId64 ", up %" PRId64
               ", down %" PRId64 "; clicks %" PRId64 "; ENTER strokes %" PRId64 "\n",
               s.passes, s.moves_right, s.moves_left, s.moves_up, s.moves_down, s.clicks, s.enters);
  // Only a desktop that fell behind the engine (slow, frozen, gone, or a recording read faster
  // than real time) adds this line; scripts read the one above as it always was.
  if (shortfall.merged_motions != 0 || shortfall.lost_events != 0) {
    std::fprintf(stderr,
                 "sonlet: while the desktop caught up, %" PRId64
                 " motions went out merged into later ones; %" PRId64
                 " events never reached it or went unconfirmed\n",
                 shortfall.merged_motions, shortfall.lost_events);
  }
}

// The headless run as other programs drive it: listening is switched as everything headless
// switches it, and the end is asked for as a stop signal asks for it.
class HeadlessControl : public ProgramControl {
 public:
  HeadlessControl(EngineSettings& settings, EngineRunner& runner, ActionSink& actions)
      : settings_(settings), runner_(runner), actions_(actions) {}
  bool Listening() override { return LoadSetting(settings_.listening) != 0; }
  void Start() override { SetListening(&settings_, true); }
  void Stop() override { SetListening(&settings_, false); }
  void Quit() override { runner_.RequestStop(); }
  ActionSink* Actions() override { return &actions_; }

 private:
  EngineSettings& settings_;
  EngineRunner& runner_;
  ActionSink& actions_;
};

}  // namespace

int RunHeadless(const CommandLine& line, StopSignals& stop_signals, OutputChannel& standard_output,
                ControlServer* server) {
  // Until listening begins nothing is sent or held: a stop ends the program at once, with the
  // summary of nothing done.
  stop_signals.OnSignal([&standard_output](int) {
    standard_output.StopWaiting();
    std::fflush(nullptr);
    PrintSummary(EngineStats{});
    std::_Exit(0);
  });
  if (server != nullptr) {
    const int refused = server->Open();
    if (refused != 0) return refused;
  }

  if (line.input.empty() || line.realtime) {
    // Events in real time, from the microphone or a paced recording: let each line out as it is
    // written, also into a pipe, where a program may be waiting for it.
    standard_output.LineBuffered();
  }

  Profile profile;
  int profile_error = 0;
  if (ReadProfile(line.profile, &profile, &profile_error) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n%s\n", kProfileOpenError,
                 ProfileOpenDetail(line.profile, profile_error).c_str());
    return 1;
  }
  RemoveProfileLeftovers(line.profile);

  std::unique_ptr<CalibratedDecision> calibrated;
  if (!line.calibration.empty()) {
    VowelMap map;
    const std::string why = ReadCalibration(line.calibration, &map);
    if (!why.empty()) {
      std::fprintf(stderr, "sonlet: %s.\n", why.c_str());
      return 2;
    }
    calibrated = std::make_unique<CalibratedDecision>(map);
  }

  const std::string trace_refusal = OverwriteRefusal(line, line.trace, "trace");
  if (!trace_refusal.empty()) {
    std::fprintf(stderr, "sonlet: %s\n", trace_refusal.c_str());
    return 2;
  }
  const bool output_carries_results = line.output == "log" || line.trace == "-";
  if (output_carries_results && standard_output.error() != 0) {
    std::fprintf(stderr, "sonlet: %s; the %s would go nowhere.\n",
                 standard_output.Failure().c_str(), line.output == "log" ? "events" : "trace");
    return 2;
  }

  std::string error;
  int exit_status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(line, standard_output, &error, &exit_status);
  if (audio == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    if (exit_status == kAudioOpenFailed) EndAfterAudioFailure();
    return exit_status;
  }
  std::string notice;
  std::unique_ptr<InputSink> input =
      OpenOutput(line, standard_output, &error, &exit_status, &notice);
  if (input == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    return exit_status;
  }
  if (!notice.empty()) std::fprintf(stderr, "sonlet: %s\n", notice.c_str());

  std::FILE* trace_file = nullptr;
  if (!line.trace.empty() && line.trace != "-") {
    trace_file = std::fopen(line.trace.c_str(), "w");
    if (trace_file == nullptr) {
      std::fprintf(stderr,
                   "sonlet: cannot write the trace file '%s'; check that its folder "
                   "exists and is writable.\n",
                   line.trace.c_str());
      return 2;
    }
  }
  OutputChannel trace_channel(trace_file, "the trace file '" + line.trace + "'");
  std::unique_ptr<PassTrace> trace;
  const bool with_vowels = calibrated != nullptr;
  if (line.trace == "-") {
    trace = std::make_unique<PassTrace>(standard_output, with_vowels, line.speech_guard);
  }
  if (trace_file != nullptr) {
    trace = std::make_unique<PassTrace>(trace_channel, with_vowels, line.speech_guard);
  }

  EngineSettings settings;
  ApplyProfile(profile, &settings);
  SetListening(&settings, true);
  // The engine keeps reading it until runner.Join() below; calibrated outlives that.
  settings.direction_strategy.store(calibrated.get(), std::memory_order_release);
  std::unique_ptr<SpeechGuard> guard;
  if (line.speech_guard) guard = std::make_unique<SpeechGuard>();
  settings.run_guard.store(guard.get(), std::memory_order_release);
  AgileSteering agile;  // likewise
  if (line.agile) settings.agile_steering.store(&agile, std::memory_order_release);

  PassObserver* observer = trace.get();
  std::unique_ptr<PauseGesture> pause;
  if (line.pause_gesture) {
    pause = MakeHeadlessPause(&settings, standard_output, line.output == "log", observer);
    observer = pause.get();
  }

  // Always there, also when no action is chosen: with the left click in force it passes every
  // event on as it came, and the bus may choose another at any moment.
  ActionSink actions(*input, nullptr);
  if (const std::optional<PointerAction> chosen = ActionNamed(line.action)) {
    // Chosen twice: kept. Given for the run's start, it is the way this run clicks, not a single
    // click at its start; sonlet --action chooses another meanwhile.
    actions.Choose(*chosen);
    actions.Choose(*chosen);
  }

  NoPanel panel;
  NoticePrinter notices(standard_output, output_carries_results);
  // The engine's arrays and tables are large for a stack; it lives on the heap.
  auto engine = std::make_unique<VoiceEngine>(settings, *audio, actions, panel, notices, observer);
  // A stop must not wait on a reader of standard output that stopped reading.
  EngineRunner runner(*engine, *audio, [&standard_output] { standard_output.StopWaiting(); });
  // Standard output that can no longer be written (a full disk, a reader that went away) ends
  // the run: events written into nothing would leave the user without a pointer and unaware.
  standard_output.OnFailure([&runner] { runner.RequestStop(); });
  stop_signals.OnSignal([&runner](int) { runner.RequestStop(); });
  runner.Start();
  if (server != nullptr) {
    HeadlessControl control(settings, runner, actions);
    server->ServeUntil(control, [&runner] { runner.Join(); });
  }
  runner.Join();
  // The engine has stopped; a further signal only keeps the last writes from waiting on a
  // stalled reader.
  stop_signals.OnSignal([&standard_output](int) { standard_output.StopWaiting(); });
  standard_output.OnFailure(nullptr);

  int status = engine->output_lost() ? kOutputLostStatus : 0;
  actions.Finish();  // releases a drag's button, then the output's own
  const DeliveryShortfall shortfall = input->Shortfall();
  input.reset();  // releases anything held before the summary is written
  standard_output.Flush();
  if (standard_output.error() != 0) {
    std::fprintf(stderr, "sonlet: %s, so Sonlet stopped.\n", standard_output.Failure().c_str());
    status = 2;
  }
  if (trace_file != nullptr) {
    trace_channel.Flush();
    if (std::fclose(trace_file) != 0 || trace_channel.error() != 0) {
      std::fprintf(stderr, "sonlet: the trace file '%s' could not be written completely.\n",
                   line.trace.c_str());
      status = 2;
    }
  }
  notices.EndRootFinderStretch();
  PrintSummary(engine->stats(), shortfall);
  return status;
}

}  // namespace sonlet
