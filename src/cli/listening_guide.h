// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include "cli/output_channel.h"
#include "cli/stop_signals.h"
#include "engine/audio_source.h"
#include "engine/engine_runner.h"
#include "engine/engine_settings.h"
#include "engine/pass_record.h"

namespace sonlet {

// A guide that speaks its steps on the terminal while the engine only listens (the threshold
// and the vowel calibration): it hears every pass on the engine's thread and ends the run
// itself once it has what it needs.
class ListeningGuide : public PassObserver {
 public:
  // meter: whether a level line may be rewritten in place (the output is a terminal).
  ListeningGuide(OutputChannel& out, bool meter) : out_(out), meter_(meter) {}

  // Says what comes first. Called once a stop signal would interrupt the guide, so that a user
  // who presses Ctrl-C on reading it gets the interruption it promises.
  virtual void Greet() = 0;

  // Whether the guide got what it needed.
  bool done() const { return done_.load(); }

 protected:
  // The guide has what it needs: the run ends at the start of the next pass.
  void Done() {
    done_.store(true);
    if (runner_ != nullptr) runner_->RequestStop();
  }

  // Ends the level line, if one is shown, before a line of text.
  void EndMeter() {
    if (meter_shown_) out_.Print("\n");
    meter_shown_ = false;
  }

  OutputChannel& out_;
  const bool meter_;
  bool meter_shown_ = false;

 private:
  friend bool RunListeningGuide(const EngineSettings&, AudioSource&, ListeningGuide&, StopSignals&,
                                OutputChannel&);
  EngineRunner* runner_ = nullptr;
  std::atomic<bool> done_{false};
};

// Runs an engine with settings over audio, sending nothing to the pointer and every pass to
// the guide, until the sound ends, the guide has done or a stop signal comes; the engine's
// notices go to out. Returns whether a stop signal ended it.
bool RunListeningGuide(const EngineSettings& settings, AudioSource& audio, ListeningGuide& guide,
                       StopSignals& stop_signals, OutputChannel& out);

}  // namespace sonlet
