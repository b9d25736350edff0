#include "cli/headless_run.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/io_setup.h"
#include "settings/profile_file.h"
#include "cli/stop_signals.h"
#include "engine/engine_runner.h"
#include "cli/pass_trace.h"
#include "engine/voice_engine.h"

namespace {

// Without a panel the meters and read-outs have nowhere to go.
class NoPanel : public PanelView {
 public:
  void show_meters(int, int, int) override {}
  void show_readouts(const Readouts&) override {}
};

void load_settings(const Profile& profile, EngineSettings* settings) {
  set_setting(settings->m_nThreshold, profile.m_nThreshold);
  set_setting(settings->m_nClickMin, profile.m_nClickMin);
  set_setting(settings->m_nClickMax, profile.m_nClickMax);
  set_setting(settings->m_nHeight, profile.m_nHeight);
  set_setting(settings->m_nSpeed, profile.m_nSpeed);
  set_setting(settings->m_bMale, profile.m_bMale);
  set_setting(settings->m_nClickAction, 0);
}

void print_summary(const EngineStats& s) {
  std::fprintf(stderr,
               "sonlet: %" PRId64 " passes; moves right %" PRId64 ", left %" PRId64 ", up %" PRId64
               ", down %" PRId64 "; clicks %" PRId64 "; ENTER strokes %" PRId64 "\n",
               s.passes, s.moves_right, s.moves_left, s.moves_up, s.moves_down, s.clicks, s.enters);
}

}  // namespace

int run_headless(const CommandLine& line) {
  const bool live = line.input.empty();
  if (live) {
    // Events from the microphone happen in real time: let each line out as it is written, also
    // into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
  }
  // Before any thread exists, so that all of them leave the two signals to this one.
  StopSignals stop_signals;

  Profile profile;
  if (read_profile(line.profile, &profile) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n", kProfileOpenError);
    return 1;
  }
  std::string error;
  int exit_status = 0;
  std::unique_ptr<AudioSource> audio = open_audio(line, &error, &exit_status);
  if (audio == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    if (exit_status == kAudioOpenFailed) end_after_audio_failure();
    return exit_status;
  }
  std::string notice;
  std::unique_ptr<InputSink> input = open_output(line, &error, &exit_status, &notice);
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
  load_settings(profile, &settings);
  set_setting(settings.m_bListening, 1);

  NoPanel panel;
  // The engine's arrays and tables are large for a stack; it lives on the heap.
  auto engine = std::make_unique<VoiceEngine>(settings, *audio, *input, panel, trace.get());
  EngineRunner runner(*engine, *audio);
  runner.start();
  stop_signals.watch([&runner] { runner.request_stop(); });
  runner.join();

  std::fflush(stdout);
  int status = 0;
  if (trace_file != nullptr && trace_file != stdout && std::fclose(trace_file) != 0) {
    std::fprintf(stderr, "sonlet: the trace file '%s' could not be written completely.\n",
                 line.trace.c_str());
    status = 2;
  }
  print_summary(engine->stats());
  return status;
}
