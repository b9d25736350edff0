#include "engine/listening_pass.h"

#include <cstdio>

#include "analysis/formants.h"
#include "analysis/median5.h"
#include "engine/direction_decision.h"

namespace sonlet {

namespace {

constexpr double kVoicingThreshold = 0.37;
constexpr double kLowestPitch = 80.0;    // Hz: lag 100
constexpr double kHighestPitch = 480.0;  // Hz: lag 17

template <size_t N>
void Format(std::array<char, N>& text, const char* format_string, double value) {
  std::snprintf(text.data(), N, format_string, value);
}

}  // namespace

void ListeningPass::Run(const int16_t block[], float level, bool loud,
                        const EngineSettings& settings, InputSink& input, PanelView& panel,
                        PassRecord* record) {
  for (int i = 0; i < kBlockSamples; ++i) frame_[i] = frame_[i + kBlockSamples];
  dc_block(block, &dc_state_, frame_ + kBlockSamples);

  analyser_.Analyse(frame_, &analysis_);
  const PitchResult& pitch = analysis_.pitch;
  // A ratio that is not a number (a silent frame) fails the comparison: not voiced.
  const bool voiced = static_cast<double>(pitch.ratio) > kVoicingThreshold;
  const bool in_range = kLowestPitch <= pitch.f0 && pitch.f0 <= kHighestPitch;

  pitch_median_ = 0.0f;
  if (loud && voiced) {
    formant_medians(analysis_.f1_candidate(), analysis_.f2_candidate(), f1_history_, f2_history_,
                    &f1_median_, &f2_median_);
  }
  if (loud && voiced && in_range) pitch_median_ = median5(pitch.f0, pitch_history_);

  normalisation_ = NormaliseSpeaker(setting(settings.height), setting(settings.speed),
                                    setting(settings.male), f1_median_, f2_median_, loud && voiced);
  ShowReadouts(level, panel);

  const int threshold_level = 100 - setting(settings.threshold);
  const int bonus = LoudnessBonus(level, threshold_level);
  const int step = normalisation_.speed_step + bonus;
  const bool active = loud && pitch_median_ != 0.0f;
  const RunTracker::Action action =
      tracker_.Track(active, setting(settings.click_min), setting(settings.click_max));
  const PassEvent event = Act(action, step, bonus, settings, input);

  record->lag = pitch.lag;
  record->f0 = pitch.f0;
  record->ratio = pitch.ratio;
  record->f1_candidate = analysis_.f1_candidate();
  record->f2_candidate = analysis_.f2_candidate();
  record->pitch_median = pitch_median_;
  record->f1_median = f1_median_;
  record->f2_median = f2_median_;
  record->f1_normalised = normalisation_.f1;
  record->f2_normalised = normalisation_.f2;
  record->run = tracker_.run_length();
  record->event = event;
}

void ListeningPass::ShowReadouts(float level, PanelView& panel) {
  Format(readouts_.intensity, "%0.f", level);
  Format(readouts_.pitch, "%0.f", pitch_median_);
  Format(readouts_.f1, "%0.f", f1_median_);
  Format(readouts_.f2, "%0.f", f2_median_);
  std::snprintf(readouts_.height.data(), readouts_.height.size(), "%d", normalisation_.height_cm);
  Format(readouts_.tract, "%0.2f", normalisation_.tract_length);
  panel.ShowReadouts(readouts_);
}

PassEvent ListeningPass::Act(RunTracker::Action action, int step, int bonus,
                             const EngineSettings& settings, InputSink& input) {
  PassEvent event;
  if (action == RunTracker::Action::kSteer) {
    const Direction direction = DecideDirection(normalisation_.f1, normalisation_.f2, bonus);
    if (direction != Direction::kNone) {
      const Motion motion = MotionFor(direction, step);
      input.Move(motion.dx, motion.dy);
      event = {PassEvent::Kind::kMove, direction, motion.dx, motion.dy};
    }
  } else if (action == RunTracker::Action::kClick) {
    if (setting(settings.click_action) == 0) {
      input.LeftDown();
      input.LeftUp();
      event.kind = PassEvent::Kind::kClick;
    } else {
      input.EnterDown();
      input.EnterUp();
      event.kind = PassEvent::Kind::kEnter;
    }
  }
  return event;
}

}  // namespace sonlet
