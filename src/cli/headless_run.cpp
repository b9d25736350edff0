#include "cli/headless_run.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/io_setup.h"
#include "cli/notice_printer.h"
#include "cli/pass_trace.h"
#include "cli/stop_signals.h"
#include "engine/engine_runner.h"
#include "engine/voice_engine.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

// Without a panel the meters and readings have nowhere to go.
class NoPanel : public PanelView {
 public:
  void ShowMeters(int, int, int) override {}
  void ShowReadings(const Readings&) override {}
};

void PrintSummary(const EngineStats& s) {
  std::fprintf(stderr,
               "sonlet: %" PRId64 " passes; moves right %" PRId64 ", left %" PRId64 ", up %" PRId64
               ", down %" PRId64 "; clicks %" PRId64 "; ENTER strokes %" PRId64 "\n",
               s.passes, s.moves_right, s.moves_left, s.moves_up, s.moves_down, s.clicks, s.enters);
}

}  // namespace

int RunHeadless(const CommandLine& line) {
  const bool live = line.input.empty();
  if (live) {
    // Events from the microphone happen in real time: let each line out as it is written, also
    // into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
  }
  // Before any thread exists, so that all of them leave the two signals to this one.
  StopSignals stop_signals;

  Profile profile;
  if (ReadProfile(line.profile, &profile) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n", kProfileOpenError);
    return 1;
  }
  std::string error;
  int exit_status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(line, &error, &exit_status);
  if (audio == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    if (exit_status == kAudioOpenFailed) EndAfterAudioFailure();
    return exit_status;
  }
  std::string notice;
  std::unique_ptr<InputSink> input = OpenOutput(line, &error, &exit_status, &notice);
  if (input == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    return exit_status;
  }
  if (!notice.empty()) std::fprintf(stderr, "sonlet: %s\n", notice.c_str());

  std::FILE* trace_file = nullptr;
  if (line.trace == "-") {
    trace_file = stdout;
  } else if (!line.trace.empty()) {
    trace_file = std::fopen(line.trace.c_str(), "w");
    if (trace_file == nullptr) {
      std::fprintf(stderr,
                   "sonlet: cannot write the trace file '%s'; check that its folder "
                   "exists and is writable.\n",
                   line.trace.c_str());
      return 2;
    }
  }
  std::unique_ptr<PassTrace> trace;
  if (trace_file != nullptr) trace = std::make_unique<PassTrace>(trace_file);

  EngineSettings settings;
  ApplyProfile(profile, &settings);
  StoreSetting(settings.listening, 1);

  NoPanel panel;
  NoticePrinter notices;
  // The engine's arrays and tables are large for a stack; it lives on the heap.
  auto engine =
      std::make_unique<VoiceEngine>(settings, *audio, *input, panel, notices, trace.get());
  EngineRunner runner(*engine, *audio);
  runner.Start();
  stop_signals.Watch([&runner] { runner.RequestStop(); });
  runner.Join();

  std::fflush(stdout);
  int status = 0;
  if (trace_file != nullptr && trace_file != stdout && std::fclose(trace_file) != 0) {
    std::fprintf(stderr, "sonlet: the trace file '%s' could not be written completely.\n",
                 line.trace.c_str());
    status = 2;
  }
  PrintSummary(engine->stats());
  return status;
}

}  // namespace sonlet
