// SPDX-License-Identifier: GPL-3.0-or-later
// The engine over every bundled recording, summed up in one digest per recording and profile:
// every pass's analysis, medians, normalised formants, run and event, every meter value and
// every pointer event. The digests were recorded from the engine as it ran on x86-64 before its
// code was reorganised; the same numbers must come out of every later build and of every target
// (the arm64 cross build runs this test too), bit for bit.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/voice_engine.h"
#include "support/memory_source.h"
#include "support/wav_file.h"

namespace sonlet {
namespace {

// FNV-1a over the bytes of the values, each as an int64_t or a float's bits. Any NaN counts as
// the one quiet NaN: its sign and payload differ between x86 and ARM (0/0 is negative on x86)
// and mean nothing to the engine, which never compares a NaN true.
class Digest : public InputSink, public PanelView, public NoticeSink, public PassObserver {
 public:
  uint64_t value() const { return hash_; }
  int root_finder_gave_up() const { return root_finder_gave_up_; }

  int Move(int dx, int dy) override { return Add({1, dx, dy}); }
  int LeftDown() override { return Add({2}); }
  int LeftUp() override { return Add({3}); }
  int EnterDown() override { return Add({4}); }
  int EnterUp() override { return Add({5}); }
  void ShowMeters(int intensity, int speed, int voice_window) override {
    Add({6, intensity, speed, voice_window});
  }
  void ShowReadings(const Readings&) override {}
  void Notify(Notice notice, int) override {
    if (notice == Notice::kRootFinderGaveUp) ++root_finder_gave_up_;
  }
  void PassDone(const PassRecord& r) override {
    Add({r.pass});
    AddFloat(r.level);
    Add({r.loud, r.listening, r.lag});
    for (float v : {r.f0, r.ratio, r.f1_candidate, r.f2_candidate, r.pitch_median, r.f1_median,
                    r.f2_median, r.f1_normalised, r.f2_normalised}) {
      AddFloat(v);
    }
    Add({r.run, static_cast<int>(r.event.kind), static_cast<int>(r.event.direction), r.event.dx,
         r.event.dy});
  }

 private:
  int Add(std::initializer_list<int64_t> values) {
    for (int64_t v : values) AddBytes(&v, sizeof v);
    return 0;
  }
  void AddFloat(float v) {
    uint32_t bits = 0x7fc00000u;
    if (!std::isnan(v)) std::memcpy(&bits, &v, sizeof bits);
    AddBytes(&bits, sizeof bits);
  }
  void AddBytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
      hash_ ^= bytes[i];
      hash_ *= 1099511628211ull;
    }
  }

  uint64_t hash_ = 14695981039346656037ull;
  int root_finder_gave_up_ = 0;
};

struct Profile6 {
  int threshold, click_min, click_max, height, speed, male;
};

// The demo profile (data/user.txt) and one that exercises other paths: a woman's voice, a lower
// threshold, shorter clicks, the fastest pointer.
constexpr Profile6 kProfiles[] = {{45, 3, 20, 80, 50, 1}, {60, 2, 10, 70, 0, 0}};

struct Recorded {
  const char* recording;
  int profile;
  int passes;
  int root_finder_gave_up;
  uint64_t digest;
};

constexpr Recorded kRecorded[] = {
    {"click", 0, 25, 0, 0xd6feaeaa99baab26},
    {"click", 1, 25, 0, 0xa5c830ad73037710},
    {"room_noise", 0, 25, 0, 0x66c153dcd032ec6e},
    {"room_noise", 1, 25, 0, 0x5d00444df5ccfd96},
    {"session", 0, 318, 0, 0x470f13004a2f9565},
    {"session", 1, 318, 0, 0xa0c3aab7f4d054a7},
    {"vowel_a_female", 0, 81, 0, 0x3d14b568388d882e},
    {"vowel_a_female", 1, 81, 0, 0x77fd4283b1607cee},
    {"vowel_a_male", 0, 81, 0, 0x9d23e792221cafa0},
    {"vowel_a_male", 1, 81, 0, 0x9b6883e00dfaf707},
    {"vowel_e_male", 0, 81, 0, 0xd127ab3fe01fbb1a},
    {"vowel_e_male", 1, 81, 0, 0xa02253fda50f7d57},
    {"vowel_i_male", 0, 81, 0, 0xc1e5f1dfb29e4453},
    {"vowel_i_male", 1, 81, 0, 0xb0cf513e0273d80f},
    {"vowel_o_male", 0, 82, 0, 0xbf666cc70b8e9937},
    {"vowel_o_male", 1, 82, 0, 0xdcb6ea98bd963877},
    {"vowel_u_male", 0, 84, 0, 0xf2bfa16ffa3c32a1},
    {"vowel_u_male", 1, 84, 0, 0x97b2360754c7abcc},
};

TEST(RecordedSessions, EveryPassOfEveryRecordingIsAsRecorded) {
  for (const Recorded& expected : kRecorded) {
    std::vector<int16_t> samples;
    std::string error;
    ASSERT_TRUE(ReadWav8kMono(DataPath(std::string(expected.recording) + ".wav"), &samples, &error))
        << error;
    const Profile6& p = kProfiles[expected.profile];
    EngineSettings settings;
    StoreSetting(settings.threshold, p.threshold);
    StoreSetting(settings.click_min, p.click_min);
    StoreSetting(settings.click_max, p.click_max);
    StoreSetting(settings.height, p.height);
    StoreSetting(settings.speed, p.speed);
    StoreSetting(settings.male, p.male);
    StoreSetting(settings.listening, 1);
    MemorySource audio(std::move(samples));
    Digest digest;
    VoiceEngine engine(settings, audio, digest, digest, digest, &digest);
    if (engine.Start()) {
      while (engine.Pass()) {
      }
    }
    char got[128];
    std::snprintf(got, sizeof got, "{\"%s\", %d, %" PRId64 ", %d, 0x%016" PRIx64 "}",
                  expected.recording, expected.profile, engine.stats().passes,
                  digest.root_finder_gave_up(), digest.value());
    EXPECT_EQ(engine.stats().passes, expected.passes) << got;
    EXPECT_EQ(digest.root_finder_gave_up(), expected.root_finder_gave_up) << got;
    EXPECT_EQ(digest.value(), expected.digest) << got;
  }
}

}  // namespace
}  // namespace sonlet
