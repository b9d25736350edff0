// SPDX-License-Identifier: GPL-3.0-or-later
#include "guard/speech_guard.h"

#include <algorithm>
#include <cmath>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

using Action = RunTracker::Action;

// All in passes of 18.75 ms.
// The quiet after a sound before it may click: longer than the gaps between the syllables and
// words of connected speech, short enough not to keep the user waiting.
constexpr int kQuietAfter = 12;
// The quiet before a click: no voice for this long...
constexpr int kQuietBefore = 20;
// ...and nothing taken for speech for this long, as talk pauses between phrases.
constexpr int kSpeechMemory = 53;
// The fewest voiced passes of a click: about 60 ms of pitch, far fewer than a run needs.
constexpr int kMinVoiced = 3;
// Steering waits this much beyond the longest click, which gives the steadiness a few passes to
// show and lets a short vowel just past the limit still click.
constexpr int kSteerGrace = 3;
// A run that starts within this many passes of steering continues it.
constexpr int kTailGap = 8;
// A click has at most this many syllables.
constexpr int kMaxSyllables = 2;
// dB a level has to fall and rise again between two syllables.
constexpr float kSyllableDip = 9.0f;

// How steady a held vowel is over the window: the largest ratio of highest to lowest pitch and
// formants, and the widest swing of loudness. Speech glides by several semitones and hundreds
// of hertz within a syllable.
constexpr float kPitchSpread = 1.06f;  // a semitone
constexpr float kF1Spread = 1.25f;
constexpr float kF2Spread = 1.15f;
constexpr float kLevelSwing = 6.0f;  // dB

void Count(int* passes) {
  if (*passes < INT16_MAX) ++*passes;
}

float Spread(const float values[], int count) {
  const auto [lowest, highest] = std::minmax_element(values, values + count);
  if (*lowest <= 0.0f) return INFINITY;
  return *highest / *lowest;
}

}  // namespace

float SpeechGuard::BlockLevel(const int16_t block[]) {
  float sum = 0.0f;
  for (int i = 0; i < kBlockSamples; ++i) sum += static_cast<float>(block[i]);
  const float mean = sum / static_cast<float>(kBlockSamples);
  float energy = 0.0f;
  for (int i = 0; i < kBlockSamples; ++i) {
    const float x = static_cast<float>(block[i]) - mean;
    energy += x * x;
  }
  const float power = energy / static_cast<float>(kBlockSamples);
  // As the engine's meter: anything below one step of a sample is silence, 0 dB.
  return power < 1.0f ? 0.0f : 10.0f * std::log10(power);
}

bool SpeechGuard::Steady() const {
  if (window_count_ < kWindow) return false;
  const auto [quietest, loudest] = std::minmax_element(level_, level_ + kWindow);
  return Spread(pitch_, kWindow) <= kPitchSpread && Spread(f1_, kWindow) <= kF1Spread &&
         Spread(f2_, kWindow) <= kF2Spread && *loudest - *quietest <= kLevelSwing;
}

void SpeechGuard::OpenSound(float level) {
  sound_open_ = true;
  isolated_ = since_voice_ >= kQuietBefore && since_speech_ >= kSpeechMemory;
  steered_ = false;
  withheld_ = false;
  told_ = false;
  voiced_passes_ = 0;
  span_ = 0;
  syllables_ = 1;
  peak_ = level;
  valley_ = level;
}

GuardVerdict SpeechGuard::CloseSound() {
  sound_open_ = false;
  GuardVerdict verdict;
  if (steered_) return verdict;
  const int voiced_span = span_ - since_voice_;
  if (isolated_ && !withheld_ && voiced_passes_ >= kMinVoiced && syllables_ <= kMaxSyllables &&
      voiced_span <= click_max_ + kSteerGrace) {
    verdict = {Action::kClick, GuardReason::kClick};
    return verdict;
  }
  if (voiced_passes_ >= kMinVoiced || withheld_) {
    since_speech_ = 0;
    if (!told_) verdict.reason = GuardReason::kSpeech;
  }
  return verdict;
}

GuardVerdict SpeechGuard::Judge(const GuardPass& pass) {
  const float level = BlockLevel(pass.block);
  const bool voiced =
      pass.voiced && pass.f0 > 0.0f && level > static_cast<float>(pass.threshold_level);
  click_max_ = pass.click_max;

  // The current sound, its syllables counted as rises out of a dip in loudness.
  Count(&since_speech_);
  if (voiced) {
    if (!sound_open_) {
      OpenSound(level);
    } else if (peak_ - valley_ >= kSyllableDip && level - valley_ >= kSyllableDip) {
      ++syllables_;
      peak_ = level;
      valley_ = level;
    }
    ++voiced_passes_;
    since_voice_ = 0;
  } else {
    Count(&since_voice_);
  }
  if (sound_open_) {
    Count(&span_);
    if (voiced && level > peak_) {
      peak_ = level;
      valley_ = level;
    } else {
      valley_ = std::min(valley_, level);
    }
  }

  // Steering.
  GuardVerdict verdict;
  Action action = pass.action;
  if (pass.run_active) {
    if (pass.run == 1) {
      held_ = since_steer_ <= kTailGap;
      run_told_ = false;
      withheld_passes_ = 0;
      window_count_ = 0;
      if (held_) verdict.reason = GuardReason::kTail;
    }
    pitch_[window_next_] = pass.pitch_median;
    f1_[window_next_] = pass.f1_median;
    f2_[window_next_] = pass.f2_median;
    level_[window_next_] = level;
    window_next_ = (window_next_ + 1) % kWindow;
    window_count_ = std::min(window_count_ + 1, kWindow);

    if (held_) {
      action = Action::kSteer;
    } else if (action == Action::kSteer) {
      action = Action::kNone;
      if (pass.run > click_max_ + kSteerGrace && Steady()) {
        held_ = true;
        action = Action::kSteer;
        verdict.reason = GuardReason::kHeld;
        verdict.steps = 1 + std::min(withheld_passes_, kWindow);
      } else {
        ++withheld_passes_;
        if (pass.run > click_max_ + kSteerGrace && !run_told_) {
          run_told_ = true;
          if (sound_open_) {
            withheld_ = true;
            told_ = true;
          }
          verdict.reason = GuardReason::kSpeech;
        }
      }
    }
  } else {
    held_ = false;
  }
  if (action == Action::kSteer) {
    since_steer_ = 0;
    if (sound_open_) steered_ = true;
  } else {
    Count(&since_steer_);
  }

  // Clicks: the rules' own are held back; the guard gives its own after the quiet.
  if (action == Action::kClick) {
    action = Action::kNone;
    const bool hopeful =
        sound_open_ && isolated_ && !withheld_ && !steered_ && syllables_ <= kMaxSyllables;
    if (hopeful) {
      verdict.reason = GuardReason::kWait;
    } else if (sound_open_ && !told_ && !steered_) {
      told_ = true;
      verdict.reason = GuardReason::kSpeech;
    }
  }
  if (sound_open_ && since_voice_ >= kQuietAfter) {
    const GuardVerdict closing = CloseSound();
    if (closing.action == Action::kClick) action = Action::kClick;
    if (closing.reason != GuardReason::kNone) verdict.reason = closing.reason;
  }
  verdict.action = action;
  return verdict;
}

}  // namespace sonlet
