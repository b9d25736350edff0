// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "analysis/signal_constants.h"
#include "engine/audio_source.h"
#include "engine/engine_settings.h"
#include "engine/input_sink.h"
#include "engine/listening_pass.h"
#include "engine/notice_sink.h"
#include "engine/panel_view.h"
#include "engine/pass_record.h"

namespace sonlet {

// What an engine has done so far, for the summary at the end of a run: only the events the
// output took count.
struct EngineStats {
  int64_t passes = 0;
  int64_t moves_right = 0;
  int64_t moves_left = 0;
  int64_t moves_up = 0;
  int64_t moves_down = 0;
  int64_t clicks = 0;
  int64_t enters = 0;
};

// The voice-command engine: one pass per block of 150 samples (18.75 ms). Every pass updates the
// intensity level and the three meters; while listening, the listening pass follows and may move
// the pointer or click. Everything here belongs to the one thread that runs the engine; only the
// settings are shared, and they are only read.
class VoiceEngine {
 public:
  // Everything given must outlive the engine; observer may be null.
  VoiceEngine(const EngineSettings& settings, AudioSource& audio, InputSink& input,
              PanelView& panel, NoticeSink& notices, PassObserver* observer = nullptr);

  // The start sequence: reads the first block, which only fills the intensity frame. Returns
  // false when the sound has ended (or is stuck) before it.
  bool Start();

  // One pass. Returns false, having done nothing more, when the sound has ended or is stuck, or
  // when the output went away for good in an earlier pass.
  bool Pass();

  // Whether the run ended because the output went away (the engine then said kOutputLost).
  bool output_lost() const { return listening_.output_lost(); }

  const EngineStats& stats() const { return stats_; }

 private:
  // Reads the next block and tells what became of the sound. False when no more will come.
  bool ReadBlock();
  void ShowMeters(bool loud);
  void Count(const PassEvent& event);

  const EngineSettings& settings_;
  AudioSource& audio_;
  InputSink& input_;
  PanelView& panel_;
  NoticeSink& notices_;
  PassObserver* observer_;

  int16_t block_[kBlockSamples] = {};
  float intensity_frame_[kFrameSamples] = {};  // raw samples of the last two blocks
  float level_ = 0.0f;                         // dB
  int voice_window_ = 1;  // the voice-window meter: passes of the current loud, pitched sound
  ListeningPass listening_;
  EngineStats stats_;
  // The last read failed (the microphone went away) and the user has been told.
  bool sound_lost_ = false;
};

// The engine's thread body: the start sequence, then passes until a stop is asked for (looked at
// the start of each pass, before the read) or the sound ends.
void VoiceEngineThread(VoiceEngine& engine, const std::atomic<bool>& stop_requested);

}  // namespace sonlet
