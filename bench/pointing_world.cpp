// SPDX-License-Identifier: GPL-3.0-or-later
#include "pointing_world.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "calibration/calibration_builder.h"
#include "calibration/take_collector.h"

namespace sonlet {

void FillSettings(const Voice& voice, const Mode& mode, EngineSettings* settings, int click_max) {
  StoreSetting(settings->threshold, kThreshold);
  StoreSetting(settings->click_min, 3);
  StoreSetting(settings->click_max, click_max);
  StoreSetting(settings->height, voice.height);
  StoreSetting(settings->speed, mode.speed);
  StoreSetting(settings->male, voice.male ? 1 : 0);
  SetListening(settings, true);
}

double Amplitude(double above) { return std::pow(10.0, (100 - kThreshold + above) / 20.0); }

bool Calibrate(const Voice& voice, VoiceSounds* sounds, VowelMap* map) {
  std::vector<SteadyFormants> takes[kVowelCount];
  for (int v = 0; v < kVowelCount; ++v) {
    EngineSettings settings;
    FillSettings(voice, kModes[0], &settings);
    SpokenBlocks audio;
    Pointer pointer;
    QuietPanel quiet;
    TakeCollector collector;
    struct Both : PassObserver {
      PassObserver* a;
      PassObserver* b;
      void PassDone(const PassRecord& r) override {
        a->PassDone(r);
        if (b != nullptr) b->PassDone(r);
      }
    } both;
    PassWatch watch;
    both.a = &collector;
    both.b = std::getenv("POINTING_DEBUG") != nullptr ? &watch : nullptr;
    VoiceEngine engine(settings, audio, pointer, quiet, quiet, &both);
    const std::vector<float> take = sounds->Take(v);
    const double gain = Amplitude(kNormalAbove);
    const size_t blocks = take.size() / kBlockSamples;
    for (size_t b = 0; b <= blocks + 20; ++b) {
      for (int i = 0; i < kBlockSamples; ++i) {
        const size_t at = b * kBlockSamples + i;
        audio.block()[i] =
            at < take.size()
                ? static_cast<int16_t>(std::lround(std::clamp(take[at] * gain, -32768.0, 32767.0)))
                : 0;
      }
      if (b == 0 ? !engine.Start() : !engine.Pass()) break;
    }
    takes[v] = collector.passes();
    if (std::getenv("POINTING_DEBUG") != nullptr) {
      for (const SteadyFormants& f : takes[v]) {
        std::fprintf(stderr, "take %c %.0f %.0f %.0f\n", kVowelLetters[v], f.f1, f.f2, f.f3);
      }
    }
  }
  const CalibrationResult result = BuildCalibration(takes, true);
  if (result.status != CalibrationResult::Status::kOk) return false;
  *map = result.map;
  return true;
}

}  // namespace sonlet
