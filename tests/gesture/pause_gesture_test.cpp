// SPDX-License-Identifier: GPL-3.0-or-later
#include "gesture/pause_gesture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/signal_constants.h"
#include "engine/voice_engine.h"
#include "support/memory_source.h"
#include "support/synthetic_hiss.h"
#include "support/synthetic_vowel.h"

namespace sonlet {

namespace {

using Sound = std::vector<int16_t>;

Sound Room(int blocks) { return RoomNoise(blocks * kBlockSamples); }
Sound Hiss(int blocks, double db = 70.0) { return SyntheticHiss(blocks * kBlockSamples, db); }
// A loud held "a": 100 Hz pulses through formants at 700 and 1300 Hz.
Sound Vowel(int blocks) { return SyntheticVowel(blocks * kBlockSamples, 700.0, 1300.0, 8000.0); }

Sound Join(const std::vector<Sound>& parts) {
  Sound all;
  for (const Sound& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Nowhere : InputSink, PanelView, NoticeSink {
  int Move(int, int) override { return 0; }
  int LeftDown() override { return 0; }
  int LeftUp() override { return 0; }
  int EnterDown() override { return 0; }
  int EnterUp() override { return 0; }
  void ShowMeters(int, int, int) override {}
  void ShowReadings(const Readings&) override {}
  void Notify(Notice, int) override {}
};

struct Gesture {
  int64_t pass;
  bool listening;
  bool operator==(const Gesture&) const = default;
};

// The gestures heard by the real engine over the sound, with the threshold level at 55 dB.
std::vector<Gesture> GesturesIn(const Sound& sound, bool listening, bool enabled) {
  EngineSettings settings;
  StoreSetting(settings.threshold, 45);
  StoreSetting(settings.click_min, 3);
  StoreSetting(settings.click_max, 20);
  SetListening(&settings, listening);
  MemorySource audio(sound);
  Nowhere nowhere;
  std::vector<Gesture> heard;
  PauseGesture gesture(nullptr, [&heard](int64_t pass, bool on) { heard.push_back({pass, on}); });
  gesture.SetEnabled(enabled);
  auto engine = std::make_unique<VoiceEngine>(settings, audio, nowhere, nowhere, nowhere, &gesture);
  if (engine->Start()) {
    while (engine->Pass()) {
    }
  }
  return heard;
}

TEST(PauseGesture, TheEngineHearsTheHissWhetherListeningOrNot) {
  // Pass p reads block p + 1: a hiss that ends with block b is heard on pass b + 4, the fifth
  // whose block is past it.
  const struct {
    std::string what;
    Sound sound;
    std::vector<int64_t> heard;
    bool enabled = true;
  } cases[] = {
      {"a hiss of 1 s", Join({Room(60), Hiss(53), Room(40)}), {116}},
      {"switched off", Join({Room(60), Hiss(53), Room(40)}), {}, false},
      {"a hiss with three dropped blocks",
       Join(
           {Room(60), Hiss(15), Room(3), Hiss(15), Room(3), Hiss(15), Room(3), Hiss(15), Room(40)}),
       {132}},
      {"a hiss 5 dB under the threshold", Join({Room(60), Hiss(53, 50.0), Room(40)}), {}},
      {"a held vowel", Join({Room(60), Vowel(100), Room(40)}), {}},
      {"hisses between vowels, as in words",
       Join({Room(60), Hiss(8), Vowel(11), Hiss(12), Vowel(9), Hiss(14), Vowel(11), Hiss(10),
             Vowel(11), Room(40)}),
       {}},
      {"a loud hiss-like noise throughout", Hiss(400, 65.0), {}},
  };
  for (const auto& c : cases) {
    for (bool listening : {false, true}) {
      std::vector<Gesture> expected;
      for (int64_t pass : c.heard) expected.push_back({pass, listening});
      EXPECT_EQ(GesturesIn(c.sound, listening, c.enabled), expected)
          << c.what << (listening ? ", listening" : ", not listening");
    }
  }
}

}  // namespace

}  // namespace sonlet
