// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/calibration_guide.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "calibration/calibration_file.h"
#include "calibration/guided_calibration.h"
#include "cli/calibration_maker.h"
#include "cli/clip_counter.h"
#include "cli/io_setup.h"
#include "cli/listening_guide.h"

namespace sonlet {

namespace {

// Where each vowel steers, as the prompt says it.
constexpr const char* kVowelWays[kVowelCount] = {"a la derecha", "arriba", "a la izquierda",
                                                 "abajo", "abajo"};

// Speaks the steps of a guided calibration on the terminal, on the engine's thread, and stops
// the engine when the map is made.
class TerminalGuide : public ListeningGuide {
 public:
  TerminalGuide(OutputChannel& out, ClipCounter& clipping, int threshold_level, bool meter)
      : ListeningGuide(out, meter), clipping_(clipping), threshold_level_(threshold_level) {}

  void Greet() override {
    out_.Print(
        "Calibración de las vocales: diga cada vocal sostenida, con su voz de siempre, durante "
        "unos dos segundos, y calle después. Ctrl-C la interrumpe.\n");
    Ask();
  }

  const CalibrationResult& result() const { return guide_.result(); }

  void PassDone(const PassRecord& record) override {
    if (done()) return;
    const GuidedCalibration::Event event = guide_.Feed(record);
    const char asked = guide_.vowel() >= 0 ? kVowelLetters[guide_.vowel()] : ' ';
    switch (event) {
      case GuidedCalibration::Event::kNone:
        if (meter_ && record.pass % 5 == 0) Meter(record);
        return;
      case GuidedCalibration::Event::kTooShort:
        EndMeter();
        clipping_.Restart();
        out_.Print("  Demasiado corta (%d pasadas de %d): repita la «%c», más larga.\n",
                   guide_.taken_passes(), kFewestTakePasses, asked);
        return;
      case GuidedCalibration::Event::kTaken:
        EndMeter();
        out_.Print("  «%c» recogida (%d pasadas).\n", kVowelLetters[guide_.taken_vowel()],
                   guide_.taken_passes());
        if (clipping_.clipped()) {
          out_.Print(
              "  Aviso: la «%c» ha llegado recortada (el %.0f %% del sonido, al máximo), lo que "
              "deforma la vocal; si la calibración no guía bien, bájele el nivel al micrófono o "
              "aléjese de él y repítala.\n",
              kVowelLetters[guide_.taken_vowel()], 100.0 * clipping_.share());
        }
        Ask();
        return;
      case GuidedCalibration::Event::kOverlap:
        EndMeter();
        out_.Print(
            "«%c» y «%c» han salido demasiado parecidas: repítalas, cada una lo más clara que "
            "pueda.\n",
            kVowelLetters[guide_.result().vowel], kVowelLetters[guide_.result().other]);
        Ask();
        return;
      case GuidedCalibration::Event::kDone:
        EndMeter();
        Done();
        return;
    }
  }

 private:
  void Ask() {
    clipping_.Restart();
    const int v = guide_.vowel();
    out_.Print("Vocal «%c» (lleva el puntero %s): diga «%c%c%c%c» durante dos segundos.\n",
               kVowelLetters[v], kVowelWays[v], kVowelLetters[v], kVowelLetters[v],
               kVowelLetters[v], kVowelLetters[v]);
    out_.Flush();
  }

  // One line, rewritten in place: the level against the threshold, and the take so far.
  void Meter(const PassRecord& record) {
    constexpr int kWidth = 30;
    const int level = std::clamp(static_cast<int>(record.level), 0, 90);
    const int filled = level * kWidth / 90;
    const int mark = threshold_level_ * kWidth / 90;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : (i == mark ? '|' : '.');
    bar[kWidth] = '\0';
    out_.Print("\r  nivel [%s] %2d dB (umbral %d)  toma %d/%d ", bar, level, threshold_level_,
               std::min(guide_.current_passes(), kFewestTakePasses), kFewestTakePasses);
    out_.Flush();
    meter_shown_ = true;
  }

  ClipCounter& clipping_;
  const int threshold_level_;
  GuidedCalibration guide_;
};

}  // namespace

int RunGuidedCalibration(const CommandLine& line, StopSignals& stop_signals,
                         OutputChannel& standard_output) {
  if (!CalibrationOutputUsable(line, line.calibrate)) return 2;
  Profile profile;
  if (!CalibrationProfile(line, &profile)) return 1;
  std::string error;
  int exit_status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(line, standard_output, &error, &exit_status);
  if (audio == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    if (exit_status == kAudioOpenFailed) EndAfterAudioFailure();
    return exit_status;
  }

  EngineSettings settings;
  ApplyProfile(profile, &settings);
  SetListening(&settings, true);
  const int threshold_level = 100 - ReadPassSettings(settings).threshold;
  ClipCounter clipping(*audio);
  TerminalGuide guide(standard_output, clipping, threshold_level, ::isatty(::fileno(stdout)) == 1);
  const bool interrupted =
      RunListeningGuide(settings, clipping, guide, stop_signals, standard_output);

  if (!guide.done()) {
    standard_output.Print("\n%s: no se ha escrito %s.\n",
                          interrupted ? "Calibración interrumpida"
                                      : "El sonido terminó antes de tener todas las vocales",
                          line.calibrate.c_str());
    standard_output.Flush();
    return 2;
  }
  PrintCalibration(guide.result(), standard_output);
  const std::string why = WriteCalibration(line.calibrate, guide.result().map);
  if (!why.empty()) {
    std::fprintf(stderr, "sonlet: %s.\n", why.c_str());
    return 2;
  }
  standard_output.Print("Calibración escrita en %s.\n", line.calibrate.c_str());
  standard_output.Flush();
  return standard_output.error() == 0 ? 0 : 2;
}

}  // namespace sonlet
