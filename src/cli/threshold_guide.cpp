// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/threshold_guide.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/io_setup.h"
#include "cli/listening_guide.h"
#include "settings/profile_file.h"
#include "threshold/threshold_probe.h"

namespace sonlet {

namespace {

int Whole(float db) { return static_cast<int>(std::lround(db)); }

// Speaks the steps on the terminal, on the engine's thread, and stops the engine once the
// threshold is chosen or refused.
class TerminalProbe : public ListeningGuide {
 public:
  TerminalProbe(OutputChannel& out, bool meter) : ListeningGuide(out, meter) {}

  void Greet() override {
    out_.Print(
        "Ajuste del umbral: primero escucho la sala unos tres segundos; no diga nada. Ctrl-C lo "
        "interrumpe.\n");
    out_.Flush();
  }

  const ThresholdProbe& probe() const { return probe_; }

  void PassDone(const PassRecord& record) override {
    if (done()) return;
    Follow(probe_.Feed(record.level), record);
  }

  // The sound has ended: judge what was heard.
  void Finish() {
    if (done() || probe_.phase() == ThresholdProbe::Phase::kRoom) return;
    Follow(probe_.Finish(), PassRecord{});
  }

 private:
  void Follow(ThresholdProbe::Event event, const PassRecord& record) {
    switch (event) {
      case ThresholdProbe::Event::kNone:
        if (meter_ && record.pass % 5 == 0) Meter(record.level);
        return;
      case ThresholdProbe::Event::kRoomHeard:
        EndMeter();
        out_.Print(
            "  Sala: %d dB.\nAhora diga «aaa» con su voz de siempre, durante un segundo más o "
            "menos, y calle después.\n",
            Whole(probe_.room_db()));
        out_.Flush();
        return;
      case ThresholdProbe::Event::kTooShort:
        EndMeter();
        out_.Print("  Demasiado corta (%d pasadas de %d): repita la «aaa», más larga.\n",
                   probe_.held_passes(), ThresholdProbe::kFewestHeldPasses);
        out_.Flush();
        return;
      case ThresholdProbe::Event::kRoomChanged:
        EndMeter();
        out_.Print(
            "  Ese sonido dura demasiado para una «aaa»: parece que la sala ha cambiado. Vuelvo a "
            "escucharla unos tres segundos; no diga nada.\n");
        out_.Flush();
        return;
      case ThresholdProbe::Event::kDone:
        EndMeter();
        Done();
        return;
    }
  }

  // One line, rewritten in place: the level, and where the room ends or the voice starts.
  void Meter(float level_db) {
    constexpr int kWidth = 30;
    const int level = std::clamp(Whole(level_db), 0, 90);
    const bool room = probe_.phase() == ThresholdProbe::Phase::kRoom;
    const int mark = room ? -1 : std::clamp(Whole(probe_.voice_start_db()), 0, 90) * kWidth / 90;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i)
      bar[i] = i < level * kWidth / 90 ? '#' : (i == mark ? '|' : '.');
    bar[kWidth] = '\0';
    if (room) {
      out_.Print("\r  nivel [%s] %2d dB  sala %d%% ", bar, level,
                 100 * probe_.room_progress() /
                     (ThresholdProbe::kSettlingPasses + ThresholdProbe::kRoomPasses));
    } else {
      out_.Print("\r  nivel [%s] %2d dB (sala %d dB) ", bar, level, Whole(probe_.room_db()));
    }
    out_.Flush();
    meter_shown_ = true;
  }

  ThresholdProbe probe_;
};

}  // namespace

int RunThresholdGuide(const CommandLine& line, StopSignals& stop_signals,
                      OutputChannel& standard_output) {
  Profile profile;
  int profile_error = 0;
  if (ReadProfile(line.profile, &profile, &profile_error) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n%s\n", kProfileOpenError,
                 ProfileOpenDetail(line.profile, profile_error).c_str());
    return 1;
  }
  RemoveProfileLeftovers(line.profile);
  std::string error;
  int exit_status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(line, standard_output, &error, &exit_status);
  if (audio == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    if (exit_status == kAudioOpenFailed) EndAfterAudioFailure();
    return exit_status;
  }

  // Only the level is heard: listening stays off, and nothing goes to the pointer.
  EngineSettings settings;
  ApplyProfile(profile, &settings);
  TerminalProbe guide(standard_output, ::isatty(::fileno(stdout)) == 1);
  const bool interrupted =
      RunListeningGuide(settings, *audio, guide, stop_signals, standard_output);
  if (!interrupted) guide.Finish();

  const char* kept = "el umbral sigue en";
  if (!guide.done()) {
    standard_output.Print("\n%s: %s %d.\n",
                          interrupted ? "Ajuste del umbral interrumpido"
                                      : "El sonido terminó antes de oír la sala y la voz",
                          kept, profile.threshold);
    standard_output.Flush();
    return 2;
  }
  const ThresholdChoice& choice = guide.probe().choice();
  if (choice.status != ThresholdChoice::Status::kChosen) {
    if (choice.status == ThresholdChoice::Status::kNoVoice) {
      standard_output.Print(
          "No se ha oído ninguna «aaa» por encima del ruido de la sala (%d dB). Acérquese al "
          "micrófono o súbale el volumen, y vuelva a intentarlo.\n",
          Whole(choice.room_db));
    } else {
      standard_output.Print(
          "Su voz (%d dB) no se oye con claridad por encima del ruido de la sala (%d dB): hacen "
          "falta al menos %d dB más. Acérquese al micrófono o súbale el volumen, o baje el ruido "
          "de la sala, y vuelva a intentarlo.\n",
          Whole(choice.voice_db), Whole(choice.room_db), kRoomMarginDb + kLeastHeadroomDb);
    }
    standard_output.Print("No se ha cambiado nada: %s %d.\n", kept, profile.threshold);
    standard_output.Flush();
    return 2;
  }

  standard_output.Print(
      "  Voz: %d dB.\nUmbral sugerido: %d (cuenta lo que pase de %d dB: la sala queda %d dB por "
      "debajo y su voz %d dB por encima).\n",
      Whole(choice.voice_db), choice.threshold, choice.threshold_db,
      choice.threshold_db - Whole(choice.room_db), choice.headroom_db);
  if (choice.up_needs_louder_voice()) {
    standard_output.Print(
        "Aviso: la sala no deja bajarlo más, y la «e» (arriba) pide la voz %d dB por encima del "
        "umbral: dígala algo más fuerte que esta «aaa», o acérquese al micrófono.\n",
        kUpHeadroomDb - 2);
  }
  const int before = profile.threshold;
  profile.threshold = choice.threshold;
  if (WriteProfile(line.profile, profile, &profile_error) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n%s\n", kProfileWriteError,
                 ProfileWriteDetail(line.profile, profile_error).c_str());
    return 1;
  }
  standard_output.Print("Umbral escrito en %s (antes %d); los demás ajustes siguen igual.\n",
                        line.profile.c_str(), before);
  standard_output.Flush();
  return standard_output.error() == 0 ? 0 : 2;
}

}  // namespace sonlet
