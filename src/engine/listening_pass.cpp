// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/listening_pass.h"

#include "analysis/formants.h"
#include "analysis/median5.h"
#include "engine/direction_decision.h"

namespace sonlet {

namespace {

constexpr double kVoicingThreshold = 0.37;
constexpr double kLowestPitch = 80.0;    // Hz: lag 100
constexpr double kHighestPitch = 480.0;  // Hz: lag 17

}  // namespace

ListeningPass::ListeningPass(InputSink& input, PanelView& panel, NoticeSink& notices)
    : input_(input), panel_(panel), notices_(notices) {}

void ListeningPass::Run(const int16_t block[], float level, int threshold_level, bool loud,
                        const PassSettings& settings, PassRecord* record) {
  const float shown_level = level;
  for (int i = 0; i < kBlockSamples; ++i) frame_[i] = frame_[i + kBlockSamples];
  dc_block(block, &dc_state_, frame_ + kBlockSamples);

  analyser_.Analyse(frame_, &analysis_);
  if (analysis_.roots == RootsStatus::kTooManyIterations) {
    notices_.Notify(Notice::kRootFinderGaveUp, 0);
    root_finder_failing_ = true;
  } else if (root_finder_failing_) {
    notices_.Notify(Notice::kRootFinderFoundAgain, 0);
    root_finder_failing_ = false;
  }
  const PitchResult& pitch = analysis_.pitch;
  // A ratio that is not a number (a silent frame) fails the comparison: not voiced.
  const bool voiced = static_cast<double>(pitch.ratio) > kVoicingThreshold;
  const bool in_range = kLowestPitch <= pitch.f0 && pitch.f0 <= kHighestPitch;

  // Agile steering judges loudness on the frame's own level, so that a run starts and ends
  // with the sound rather than with the slow meter: a held vowel then steers some ten passes
  // sooner and stops some four passes sooner.
  const bool agile = settings.agile != nullptr;
  if (agile) {
    loud = quick_onset_.Loud(frame_, kFrameSamples, threshold_level);
    level = quick_onset_.level();
  }

  pitch_median_ = 0.0f;
  if (loud && voiced) {
    formant_medians(analysis_.f1_candidate(), analysis_.f2_candidate(), f1_history_, f2_history_,
                    &f1_median_, &f2_median_);
  }
  if (loud && voiced && in_range) pitch_median_ = median5(pitch.f0, pitch_history_);

  normalisation_ = NormaliseSpeaker(settings.height, settings.speed, settings.male, f1_median_,
                                    f2_median_, loud && voiced);
  panel_.ShowReadings({shown_level, pitch_median_, f1_median_, f2_median_, normalisation_.height_cm,
                       normalisation_.tract_length});

  const int bonus = LoudnessBonus(level, threshold_level);
  const int step = normalisation_.speed_step + bonus;
  const bool active = loud && pitch_median_ != 0.0f;
  RunTracker::Action action = tracker_.Track(active, settings.click_min, settings.click_max);
  GuardReason guard_reason = GuardReason::kNone;
  int repeats = 1;
  // Where the user asked for a guard it has the last word: it may hold a click back, withhold
  // steering, or click for a sound the duration rules missed.
  if (settings.guard != nullptr) {
    GuardPass judged;
    judged.block = block;
    judged.threshold_level = threshold_level;
    judged.voiced = voiced;
    judged.f0 = in_range ? pitch.f0 : 0.0f;
    judged.pitch_median = pitch_median_;
    judged.f1_median = f1_median_;
    judged.f2_median = f2_median_;
    judged.action = action;
    judged.run = tracker_.run_length();
    judged.run_active = active;
    judged.click_max = settings.click_max;
    const GuardVerdict verdict = settings.guard->Judge(judged);
    action = verdict.action;
    guard_reason = verdict.reason;
    repeats = verdict.steps;
  }
  VowelDecision heard;
  if (settings.strategy != nullptr && loud && voiced) {
    float narrow[kFormantRoots];
    NarrowCandidates(analysis_.candidates, analysis_.bandwidths, narrow);
    heard = settings.strategy->Hear(narrow);
  }
  // With a guard too, agile steering moves only where the guard lets the run steer.
  const bool agile_active =
      active && (settings.guard == nullptr || action == RunTracker::Action::kSteer);
  const PassEvent event = agile && action != RunTracker::Action::kClick
                              ? SteerAgile(agile_active, bonus, settings, heard)
                              : Act(action, step, bonus, settings, heard, repeats);

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
  record->voiced = voiced;
  for (int i = 0; i < kFormantRoots; ++i) record->candidates[i] = analysis_.candidates[i];
  for (int i = 0; i < kFormantRoots; ++i) record->bandwidths[i] = analysis_.bandwidths[i];
  record->vowel = heard.vowel;
  record->vowel_f1 = heard.f1;
  record->vowel_f2 = heard.f2;
  record->guard = guard_reason;
  record->event = event;
}

PassEvent ListeningPass::Act(RunTracker::Action action, int step, int bonus,
                             const PassSettings& settings, const VowelDecision& heard,
                             int repeats) {
  PassEvent event;
  event_sent_ = true;
  if (action == RunTracker::Action::kSteer) {
    // A user's own vowel map knows which vowel it heard, so "e" needs no louder voice there to
    // keep it apart from its neighbours.
    const Direction direction = settings.strategy != nullptr
                                    ? heard.direction
                                    : DecideDirection(normalisation_.f1, normalisation_.f2, bonus);
    if (direction != Direction::kNone) {
      const Motion motion = MotionFor(direction, step);
      event_sent_ = Sent(input_.Move(motion.dx, motion.dy));
      for (int i = 1; i < repeats; ++i) Sent(input_.Move(motion.dx, motion.dy));
      event = {PassEvent::Kind::kMove, direction, motion.dx, motion.dy, repeats};
    }
  } else if (action == RunTracker::Action::kClick) {
    // The release follows the press at once, never a pass later, so that nothing stays held.
    if (!settings.enter_key) {
      event_sent_ = Sent(input_.LeftDown());
      Sent(input_.LeftUp());
      event.kind = PassEvent::Kind::kClick;
    } else {
      event_sent_ = Sent(input_.EnterDown());
      Sent(input_.EnterUp());
      event.kind = PassEvent::Kind::kEnter;
    }
  }
  return event;
}

PassEvent ListeningPass::SteerAgile(bool active, int bonus, const PassSettings& settings,
                                    const VowelDecision& heard) {
  AgileSteering::Pass pass;
  pass.active = active;
  pass.run = tracker_.run_length();
  pass.click_max = settings.click_max;
  pass.speed_step = normalisation_.speed_step;
  pass.loudness_bonus = bonus;
  if (settings.strategy == nullptr) {
    pass.bearing = BearingOf(DecideDirection(normalisation_.f1, normalisation_.f2, bonus));
  } else if (!settings.strategy->Bearing(&pass.bearing.x, &pass.bearing.y)) {
    pass.bearing = BearingOf(heard.direction);
  }
  const PassEvent event = settings.agile->Steer(pass);
  event_sent_ = true;
  if (event.kind == PassEvent::Kind::kMove) event_sent_ = Sent(input_.Move(event.dx, event.dy));
  return event;
}

bool ListeningPass::Sent(int input_error) {
  if (input_error == 0) {
    // The event itself was taken, and counts; an earlier one may have failed since.
    if (const int late = input_.LateRefusal(); late != 0) Sent(late);
    return true;
  }
  if (input_.Lost()) {
    if (!output_lost_) notices_.Notify(Notice::kOutputLost, input_error);
    output_lost_ = true;
    return false;
  }
  // Once is enough: a device that refuses one event usually refuses them all, and the later
  // events are still tried.
  if (!input_refusal_told_) notices_.Notify(Notice::kInputRefused, input_error);
  input_refusal_told_ = true;
  return false;
}

}  // namespace sonlet
