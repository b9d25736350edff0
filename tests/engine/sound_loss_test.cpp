// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine does when its sound source fails for a while and comes back, as a microphone
// does when it is unplugged or its sound server restarts, and what it tells the program.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "engine/engine_harness.h"

namespace sonlet {
namespace {

using Status = AudioSource::Status;

// Plays quiet sound, but gives the status scripted for a read's number (counting from 0, the
// start's read) instead of kOk; a failed read gives silence.
class ScriptedSource : public AudioSource {
 public:
  ScriptedSource(int reads, std::map<int, Status> script)
      : reads_left_(reads), script_(std::move(script)) {}

  Status Read(int16_t samples[], int count) override {
    const int n = reads_++;
    if (n >= reads_left_) return Status::kEnded;
    const auto scripted = script_.find(n);
    const Status status = scripted == script_.end() ? Status::kOk : scripted->second;
    std::fill_n(samples, count, static_cast<int16_t>(status == Status::kFailed ? 0 : 3));
    return status;
  }
  int reads() const { return reads_; }

 private:
  int reads_left_;
  std::map<int, Status> script_;
  int reads_ = 0;
};

TEST(SoundLoss, EachOutageIsToldOnceAndTheEngineGoesOnUntilTheSoundIsStuck) {
  const struct {
    const char* what;
    std::map<int, Status> script;
    std::vector<Notice> told;
    int passes;  // the engine goes on through failures and stops at the end or when stuck
  } cases[] = {
      {"two outages, of five reads and of one, the second right before the last block",
       {{10, Status::kFailed},
        {11, Status::kFailed},
        {12, Status::kFailed},
        {13, Status::kFailed},
        {14, Status::kFailed},
        {38, Status::kFailed}},
       {Notice::kSoundStopped, Notice::kSoundBack, Notice::kSoundStopped, Notice::kSoundBack},
       39},
      {"an overrun is told each time, and the sound still counts",
       {{5, Status::kOverrun}, {6, Status::kOverrun}},
       {Notice::kBuffersFull, Notice::kBuffersFull},
       39},
      {"a source that fails at the start is told as it happens",
       {{0, Status::kFailed}},
       {Notice::kSoundStopped, Notice::kSoundBack},
       39},
      {"a source that fails and then sticks ends the engine, without a pass for that read",
       {{6, Status::kFailed}, {7, Status::kStuck}},
       {Notice::kSoundStopped, Notice::kSoundStuck},
       6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedSource source(40, c.script);
    EngineSettings settings;
    StoreSetting(settings.listening, 1);
    RecordedEvents out;
    VoiceEngine engine(settings, source, out, out, out, &out);
    if (engine.Start()) {
      while (engine.Pass()) {
      }
    }
    EXPECT_THAT(out.notices, testing::ElementsAreArray(c.told));
    EXPECT_EQ(engine.stats().passes, c.passes);
  }
}

}  // namespace
}  // namespace sonlet
