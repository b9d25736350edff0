#include "engine/listening_pass.h"

#include <cstdio>

#include "analysis/formants.h"
#include "analysis/median5.h"
#include "engine/direction_decision.h"

namespace {

constexpr double kVoicingThreshold = 0.37;
constexpr double kLowestPitch = 80.0;    // Hz: lag 100
constexpr double kHighestPitch = 480.0;  // Hz: lag 17

template <size_t N>
void format(std::array<char, N>& text, const char* format_string, double value) {
  std::snprintf(text.data(), N, format_string, value);
}

}  // namespace

void ListeningPass::run(const int16_t block[], float level, bool loud,
                        const EngineSettings& settings, InputSink& input, PanelView& panel,
                        PassRecord* record) {
  for (int i = 0; i < kBlockSamples; ++i) frame_[i] = frame_[i + kBlockSamples];
  dc_block(block, &dc_state_, frame_ + kBlockSamples);

  analyser_.analyse(frame_, &analysis_);
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

  normalisation_ =
      normalise_speaker(setting(settings.m_nHeight), setting(settings.m_nSpeed),
                        setting(settings.m_bMale), f1_median_, f2_median_, loud && voiced);
  show_readouts(level, panel);

  const int threshold_level = 100 - setting(settings.m_nThreshold);
  const int bonus = loudness_bonus(level, threshold_level);
  const int step = normalisation_.speed_step + bonus;
  const bool active = loud && pitch_median_ != 0.0f;
  const RunTracker::Action action =
      tracker_.track(active, setting(settings.m_nClickMin), setting(settings.m_nClickMax));
  const PassEvent event = act(action, step, bonus, settings, input);

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

void ListeningPass::show_readouts(float level, PanelView& panel) {
  format(readouts_.intensity, "%0.f", level);
  format(readouts_.pitch, "%0.f", pitch_median_);
  format(readouts_.f1, "%0.f", f1_median_);
  format(readouts_.f2, "%0.f", f2_median_);
  std::snprintf(readouts_.height.data(), readouts_.height.size(), "%d", normalisation_.height_cm);
  format(readouts_.tract, "%0.2f", normalisation_.tract_length);
  panel.show_readouts(readouts_);
}

PassEvent ListeningPass::act(RunTracker::Action action, int step, int bonus,
                             const EngineSettings& settings, InputSink& input) {
  PassEvent event;
  if (action == RunTracker::Action::kSteer) {
    const Direction direction = direction_decision(normalisation_.f1, normalisation_.f2, bonus);
    if (direction != Direction::kNone) {
      const Motion motion = motion_for(direction, step);
      input.move(motion.dx, motion.dy);
      event = {PassEvent::Kind::kMove, direction, motion.dx, motion.dy};
    }
  } else if (action == RunTracker::Action::kClick) {
    if (setting(settings.m_nClickAction) == 0) {
      input.left_down();
      input.left_up();
      event.kind = PassEvent::Kind::kClick;
    } else {
      input.enter_down();
      input.enter_up();
      event.kind = PassEvent::Kind::kEnter;
    }
  }
  return event;
}
