#pragma once

#include <cstdint>

#include "analysis/frame_analysis.h"
#include "analysis/frame_preparation.h"
#include "analysis/signal_constants.h"
#include "engine/engine_settings.h"
#include "engine/input_sink.h"
#include "engine/panel_view.h"
#include "engine/pass_record.h"
#include "engine/run_tracker.h"
#include "engine/speaker_normalisation.h"

namespace sonlet {

// The second half of a pass while listening: from the newest block to the pointer. It builds the
// DC-blocked analysis frame, finds pitch and formant candidates, steadies them with running
// medians, normalises the formants for the speaker, shows the read-outs and hands the pass to the
// run tracker, which steers or clicks. Its state carries over pauses in listening untouched.
class ListeningPass {
 public:
  ListeningPass() = default;

  // in: block[0..149], the newest samples; in: the intensity level and loudness of this pass.
  // Fills the analysis fields of *record and its event.
  void Run(const int16_t block[], float level, bool loud, const EngineSettings& settings,
           InputSink& input, PanelView& panel, PassRecord* record);

  // Read by the every-pass meters: the values left by the latest listening pass.
  float pitch_median() const { return pitch_median_; }
  int speed_step() const { return normalisation_.speed_step; }

 private:
  void ShowReadouts(float level, PanelView& panel);
  PassEvent Act(RunTracker::Action action, int step, int bonus, const EngineSettings& settings,
                InputSink& input);

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
  RunTracker tracker_;
  Readouts readouts_;
};

}  // namespace sonlet
