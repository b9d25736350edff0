// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "analysis/frame_analysis.h"
#include "analysis/frame_preparation.h"
#include "analysis/signal_constants.h"
#include "engine/engine_settings.h"
#include "engine/input_sink.h"
#include "engine/notice_sink.h"
#include "engine/panel_view.h"
#include "engine/pass_record.h"
#include "engine/quick_onset.h"
#include "engine/run_tracker.h"
#include "engine/speaker_normalisation.h"

namespace sonlet {

// The second half of a pass while listening: from the newest block to the pointer. It builds the
// DC-blocked analysis frame, finds pitch and formant candidates, steadies them with running
// medians, normalises the formants for the speaker, shows the readings and hands the pass to the
// run tracker, which steers or clicks. Its state carries over pauses in listening untouched.
class ListeningPass {
 public:
  // input, panel and notices must outlive the pass.
  ListeningPass(InputSink& input, PanelView& panel, NoticeSink& notices);

  // False when the analysis could not be set up (its transform tables): formants are then
  // never found.
  bool ready() const { return analyser_.ready(); }

  // in: block[0..149], the newest samples; in: the intensity level, the threshold level (both in
  // dB) and the loudness of this pass; in: the pass's settings.
  // Fills the analysis fields of *record and its event.
  void Run(const int16_t block[], float level, int threshold_level, bool loud,
           const PassSettings& settings, PassRecord* record);

  // Read by the every-pass meters: the values left by the latest listening pass.
  float pitch_median() const { return pitch_median_; }
  int speed_step() const { return normalisation_.speed_step; }
  // Whether the latest pass's event went out (a pass without an event counts as sent): the
  // summary counts only what reached the desktop.
  bool event_sent() const { return event_sent_; }
  // Whether the output has gone for good: no further pass can move anything.
  bool output_lost() const { return output_lost_; }

 private:
  PassEvent Act(RunTracker::Action action, int step, int bonus, const PassSettings& settings,
                const VowelDecision& heard, int repeats);
  // The same pass with agile steering on: every pass but a click's.
  PassEvent SteerAgile(bool active, int bonus, const PassSettings& settings,
                       const VowelDecision& heard);
  // Whether one event went out; a refusal is told once, the first time, and a lost output once.
  bool Sent(int input_error);

  InputSink& input_;
  PanelView& panel_;
  NoticeSink& notices_;

  DcBlockState dc_state_;
  float frame_[kFrameSamples] = {};  // the last two filtered blocks, oldest first
  FrameAnalyser analyser_;
  FrameAnalysis analysis_;

  float pitch_median_ = 0.0f;
  float f1_median_ = 0.0f;
  float f2_median_ = 0.0f;
  float pitch_history_[5] = {};
  float f1_history_[5] = {};
  float f2_history_[5] = {};

  SpeakerNormalisation normalisation_;
  QuickOnset quick_onset_;  // agile steering's own loudness
  RunTracker tracker_;
  bool input_refusal_told_ = false;
  bool root_finder_failing_ = false;  // the last frame's roots were not all found
  bool event_sent_ = true;
  bool output_lost_ = false;
};

}  // namespace sonlet
