// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/calibration_maker.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "calibration/calibration_file.h"
#include "calibration/take_collector.h"
#include "cli/clip_counter.h"
#include "cli/io_setup.h"
#include "cli/no_panel.h"
#include "cli/notice_printer.h"
#include "cli/overwrite_guard.h"
#include "engine/voice_engine.h"
#include "input/null_sink.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

// The usable passes of one recorded take, or false after telling the user why there are none.
bool HearTake(const CommandLine& line, const Profile& profile, int vowel,
              OutputChannel& standard_output, std::vector<SteadyFormants>* passes) {
  const std::string& recording = line.takes[vowel];
  CommandLine take = line;
  take.input = recording;
  std::string error;
  int status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(take, standard_output, &error, &status);
  if (audio == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    return false;
  }
  ClipCounter counted(*audio);
  EngineSettings settings;
  ApplyProfile(profile, &settings);
  SetListening(&settings, true);
  NullSink input;
  NoPanel panel;
  // Standard output carries the report: the numeric lines go to standard error.
  NoticePrinter notices(standard_output, true);
  TakeCollector collector;
  auto engine = std::make_unique<VoiceEngine>(settings, counted, input, panel, notices, &collector);
  if (engine->Start()) {
    while (engine->Pass()) {
    }
  }
  *passes = collector.passes();
  if (counted.clipped()) {
    std::fprintf(stderr,
                 "sonlet: warning: the take of \"%c\" ('%s') is clipped: %.0f %% of its samples "
                 "are cut off at full scale, which distorts the vowel; record it again with the "
                 "microphone's level lower or the microphone farther away.\n",
                 kVowelLetters[vowel], recording.c_str(), 100.0 * counted.share());
  }
  return true;
}

}  // namespace

bool CalibrationProfile(const CommandLine& line, Profile* profile) {
  int error = 0;
  const ProfileStatus status = ReadProfile(line.profile, profile, &error);
  if (status == ProfileStatus::kOk) return true;
  if (!line.profile_given && error == ENOENT) {
    // Only the threshold matters to which passes count; the height and sex settings do not
    // touch the map, which keeps the formants as measured.
    *profile = Profile{};
    profile->threshold = 70;
    profile->click_min = 3;
    profile->click_max = 20;
    std::fprintf(stderr,
                 "sonlet: no %s here; the takes are heard with a threshold of 30 dB (give "
                 "--profile FILE to use yours).\n",
                 kProfileFileName);
    return true;
  }
  std::fprintf(stderr, "%s\n%s\n", kProfileOpenError,
               ProfileOpenDetail(line.profile, error).c_str());
  return false;
}

void PrintCalibration(const CalibrationResult& result, OutputChannel& out) {
  for (int v = 0; v < kVowelCount; ++v) {
    const VowelArea& a = result.map.vowels[v];
    if (!a.present) {
      if (a.passes > 0) out.Print("%c: %d passes, too few\n", kVowelLetters[v], a.passes);
      continue;
    }
    out.Print(
        "%c: %d passes, F1 %.0f Hz, F2 %.0f Hz, F3 %.0f Hz, spread %.0f %%, %.0f %%, %.0f %%\n",
        kVowelLetters[v], a.passes, static_cast<double>(a.f1_hz), static_cast<double>(a.f2_hz),
        static_cast<double>(a.f3_hz), 100.0 * a.f1_spread, 100.0 * a.f2_spread,
        100.0 * a.f3_spread);
  }
  out.Print(
      "separation from the nearest vowel of another direction, in spreads (at least %.0f; "
      "5 or more is comfortable):",
      static_cast<double>(kLeastSeparation));
  for (int v = 0; v < kVowelCount; ++v) {
    if (result.nearest[v] < 0) continue;
    out.Print(" %c %.1f (%c)", kVowelLetters[v], static_cast<double>(result.separation[v]),
              kVowelLetters[result.nearest[v]]);
  }
  out.Print("\n");
}

std::string CalibrationRefusal(const CalibrationResult& result, const CommandLine* line) {
  const char vowel = result.vowel >= 0 ? kVowelLetters[result.vowel] : '?';
  const std::string file =
      line != nullptr && result.vowel >= 0 ? " ('" + line->takes[result.vowel] + "')" : "";
  switch (result.status) {
    case CalibrationResult::Status::kTooShort:
      return std::string("the take of \"") + vowel + "\"" + file + " gave " +
             std::to_string(result.map.vowels[result.vowel].passes) +
             " loud voiced passes of held vowel, and a calibration needs at least " +
             std::to_string(kFewestTakePasses) +
             " (a vowel held about half a second above the threshold): record it again, longer or "
             "louder";
    case CalibrationResult::Status::kOverlap: {
      char separation[32];
      std::snprintf(separation, sizeof separation, "%.1f",
                    static_cast<double>(result.separation[result.vowel]));
      return std::string("\"") + vowel + "\" and \"" + kVowelLetters[result.other] +
             "\" lie too close together (" + separation + " spreads apart, at least " +
             std::to_string(static_cast<int>(kLeastSeparation)) +
             " needed), so steering between them would be unreliable: record both again, "
             "each as clearly as you can";
    }
    case CalibrationResult::Status::kOk:
      break;
  }
  return "";
}

bool CalibrationOutputUsable(const CommandLine& line, const std::string& out) {
  const std::string refusal = OverwriteRefusal(line, out, "calibration");
  if (!refusal.empty()) {
    std::fprintf(stderr, "sonlet: %s\n", refusal.c_str());
    return false;
  }
  const int error = CheckSettingsFileWritable(out);
  if (error != 0) {
    std::fprintf(stderr, "sonlet: %s.\n", CalibrationWriteText(out, error).c_str());
    return false;
  }
  return true;
}

int MakeCalibration(const CommandLine& line, StopSignals& stop_signals,
                    OutputChannel& standard_output) {
  // A stop before the save ends the program at once: the takes are only being heard, nothing
  // is held and nothing is written. Once the save has begun it is let finish, so that the
  // file is whole either way.
  std::mutex save_mutex;
  bool saving = false;
  stop_signals.OnSignal([&save_mutex, &saving, &line](int) {
    const std::lock_guard<std::mutex> lock(save_mutex);
    if (saving) return;
    std::fflush(stdout);
    std::fprintf(stderr, "sonlet: the calibration was interrupted; nothing was written to '%s'.\n",
                 line.make_calibration.c_str());
    std::_Exit(2);
  });
  struct Release {
    StopSignals& stop;
    ~Release() {
      stop.OnSignal([](int) {});
    }
  } release{stop_signals};

  if (!CalibrationOutputUsable(line, line.make_calibration)) return 2;
  Profile profile;
  if (!CalibrationProfile(line, &profile)) return 1;
  std::vector<SteadyFormants> takes[kVowelCount];
  for (int v = 0; v < kVowelCount; ++v) {
    if (line.takes[v].empty()) continue;
    if (!HearTake(line, profile, v, standard_output, &takes[v])) return 2;
  }
  const CalibrationResult result = BuildCalibration(takes, !line.takes[VowelIndex('u')].empty());
  PrintCalibration(result, standard_output);
  standard_output.Flush();
  if (result.status != CalibrationResult::Status::kOk) {
    std::fprintf(stderr, "sonlet: %s. Nothing was written to '%s'.\n",
                 CalibrationRefusal(result, &line).c_str(), line.make_calibration.c_str());
    return 2;
  }
  {
    const std::lock_guard<std::mutex> lock(save_mutex);
    saving = true;
  }
  const std::string why = WriteCalibration(line.make_calibration, result.map);
  if (!why.empty()) {
    std::fprintf(stderr, "sonlet: %s.\n", why.c_str());
    return 2;
  }
  standard_output.Print("calibration written to %s\n", line.make_calibration.c_str());
  standard_output.Flush();
  return standard_output.error() == 0 ? 0 : 2;
}

}  // namespace sonlet
