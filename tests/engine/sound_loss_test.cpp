// What the engine does when its sound source fails for a while and comes back, as a microphone
// does when it is unplugged or its sound server restarts.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/engine_harness.h"

namespace sonlet {

namespace {

// Plays samples, but fails (with silence) on the reads whose numbers are in `failing`.
class FailingSource : public AudioSource {
 public:
  FailingSource(std::vector<int16_t> samples, std::set<int> failing)
      : samples_(std::move(samples)), failing_(std::move(failing)) {}
  Status Read(int16_t samples[], int count) override {
    const int n = reads_++;
    if (failing_.count(n) != 0) {
      std::fill_n(samples, count, int16_t{0});
      return Status::kFailed;
    }
    if (position_ + static_cast<size_t>(count) > samples_.size()) return Status::kEnded;
    std::copy_n(samples_.begin() + static_cast<ptrdiff_t>(position_), count, samples);
    position_ += static_cast<size_t>(count);
    return Status::kOk;
  }
  int reads() const { return reads_; }

 private:
  std::vector<int16_t> samples_;
  std::set<int> failing_;
  size_t position_ = 0;
  int reads_ = 0;
};

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(SoundLoss, EachOutageIsToldOnceAndTheEngineGoesOn) {
  // Two outages, of five reads and of one, the second right before the last block.
  FailingSource source(Quiet(40), {10, 11, 12, 13, 14, 30});
  EngineSettings settings;
  set_setting(settings.listening, 1);
  RecordedEvents out;
  VoiceEngine engine(settings, source, out, out, &out);

  testing::internal::CaptureStderr();
  ASSERT_TRUE(engine.Start());
  while (engine.Pass()) {
  }
  const std::string told = testing::internal::GetCapturedStderr();

  EXPECT_EQ(CountOf(told, "the microphone stopped sending sound"), 2) << told;
  EXPECT_EQ(CountOf(told, "the microphone is back"), 2) << told;
  EXPECT_LT(told.find("stopped"), told.find("back"));
  // Every read but the first (the start) and the last (the end) was a pass, failed ones too.
  EXPECT_EQ(engine.stats().passes, source.reads() - 2);
}

}  // namespace

}  // namespace sonlet
