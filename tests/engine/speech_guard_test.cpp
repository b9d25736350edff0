// SPDX-License-Identifier: GPL-3.0-or-later
#include "guard/speech_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/engine_harness.h"

namespace sonlet {

namespace {

// The bundled profile: threshold 45 (a voice above 55 dB), clicks of 4 to 19 passes.
void SetProfile(EngineSettings& s) {
  StoreSetting(s.threshold, 45);
  StoreSetting(s.click_min, 3);
  StoreSetting(s.click_max, 20);
  StoreSetting(s.height, 85);
  StoreSetting(s.speed, 50);
  StoreSetting(s.male, 1);
  StoreSetting(s.listening, 1);
}

struct Outcome {
  int clicks = 0;
  int moves = 0;
  int64_t first_click = -1;          // the pass
  std::vector<std::string> reasons;  // the guard's, in order
};

Outcome Hear(const std::vector<int16_t>& sound, bool guarded) {
  SpeechGuard guard;
  EngineUnderTest t(sound);
  SetProfile(t.settings);
  if (guarded) t.settings.run_guard.store(&guard);
  t.Run();
  Outcome o;
  for (const PassRecord& r : t.out.passes) {
    if (r.event.kind == PassEvent::Kind::kClick && o.first_click < 0) o.first_click = r.pass;
    if (r.guard != GuardReason::kNone) o.reasons.push_back(GuardReasonName(r.guard));
  }
  o.clicks = static_cast<int>(t.engine->stats().clicks);
  o.moves = static_cast<int>(t.engine->stats().moves_right + t.engine->stats().moves_left +
                             t.engine->stats().moves_up + t.engine->stats().moves_down);
  // Every click is a press and a release together, never one without the other.
  EXPECT_EQ(std::count(t.out.events.begin(), t.out.events.end(), "left down"), o.clicks);
  EXPECT_EQ(std::count(t.out.events.begin(), t.out.events.end(), "left up"), o.clicks);
  return o;
}

constexpr double kPeak = 12000.0;

// An "a" of `blocks` passes: right, when held.
std::vector<int16_t> A(int blocks) { return SteadyVowel(700.0, 1250.0, blocks, kPeak); }

// Syllables a few hundred milliseconds apart, their vowels changing, as speech runs.
std::vector<int16_t> Syllables(int count, int blocks, int gap) {
  const double formants[][2] = {{700, 1250}, {300, 2200}, {450, 1900}, {500, 900}};
  std::vector<int16_t> all = Quiet(40);
  for (int i = 0; i < count; ++i) {
    const auto& f = formants[i % 4];
    all = Join({all, SteadyVowel(f[0], f[1], blocks, kPeak), Quiet(gap)});
  }
  return Join({all, Quiet(40)});
}

// One voiced stretch whose vowel changes every few passes: speech without a pause.
std::vector<int16_t> Gliding(int blocks) {
  const double formants[][2] = {{700, 1250}, {450, 1900}, {300, 2200}, {500, 900}};
  std::vector<int16_t> all = Quiet(40);
  for (int i = 0; i * 4 < blocks; ++i) {
    all = Join({all, SteadyVowel(formants[i % 4][0], formants[i % 4][1], 4, kPeak)});
  }
  return Join({all, Quiet(40)});
}

TEST(SpeechGuard, TellsDeliberateSoundsFromSpeech) {
  struct Case {
    const char* what;
    std::vector<int16_t> sound;
    int plain_clicks;  // without the guard
    int guarded_clicks;
    int guarded_moves;  // -1: at least 95 % of the moves without the guard
  };
  const std::vector<Case> cases = {
      {"a short vowel alone", Join({Quiet(40), A(16), Quiet(40)}), 1, 1, 0},
      // The engine's level is still climbing when these end.
      {"a vowel too short for the duration rules", Join({Quiet(40), A(9), Quiet(40)}), 0, 1, 0},
      {"a very short vowel", Join({Quiet(40), A(5), Quiet(40)}), 0, 1, 0},
      {"a vowel just past the longest click", Join({Quiet(40), A(23), Quiet(40)}), -1, 1, 0},
      {"the same vowel as syllables 250 ms apart", Syllables(8, 16, 5), 8, 0, 0},
      {"short syllables in a row", Syllables(12, 9, 4), -1, 0, 0},
      {"a voiced stretch whose vowel glides", Gliding(60), 0, 0, 0},
      {"a held vowel", Join({Quiet(40), A(120), Quiet(40)}), 0, 0, -1},
      {"a held vowel that dips for a moment",
       Join({Quiet(40), A(80), Silence(3), A(16), Quiet(40)}), 1, 0, -1},
      {"a held vowel, then a click after a pause",
       Join({Quiet(40), A(80), Quiet(30), A(16), Quiet(40)}), 1, 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome plain = Hear(c.sound, false);
    const Outcome guarded = Hear(c.sound, true);
    if (c.plain_clicks >= 0) {
      EXPECT_EQ(plain.clicks, c.plain_clicks);
    }
    EXPECT_EQ(guarded.clicks, c.guarded_clicks);
    if (c.guarded_moves >= 0) {
      EXPECT_EQ(guarded.moves, c.guarded_moves);
    } else {
      ASSERT_GT(plain.moves, 40);
      // A dip's tail steers with the guard, so more moves than without are right.
      EXPECT_GE(guarded.moves * 100, plain.moves * 95);
    }
    // A click the duration rules give too comes at most a quarter of a second later.
    if (plain.clicks == 1 && guarded.clicks == 1) {
      EXPECT_GE(guarded.first_click, plain.first_click);
      EXPECT_LE(guarded.first_click - plain.first_click, 13);
    }
  }
}

TEST(SpeechGuard, SaysWhatItDecided) {
  struct Case {
    const char* what;
    std::vector<int16_t> sound;
    std::vector<std::string> reasons;
  };
  const std::vector<Case> cases = {
      {"a click", Join({Quiet(40), A(16), Quiet(40)}), {"wait", "click"}},
      {"a held vowel that wavers",
       // The dip breaks the run twice, as the analysis frame spans two blocks.
       Join({Quiet(40), A(80), Silence(3), A(16), Quiet(40)}),
       {"held", "tail", "tail"}},
      // The first syllable came out of quiet; the next shows it was speech.
      {"syllables", Syllables(3, 16, 5), {"wait", "wait", "speech"}},
      {"a gliding stretch", Gliding(60), {"speech"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Hear(c.sound, true).reasons, c.reasons);
  }
}

}  // namespace

}  // namespace sonlet
