// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "cli/output_channel.h"
#include "engine/notice_sink.h"

namespace sonlet {

// The exit status when the sound system stopped answering and PortAudio would not let go of the
// microphone: the desktop launcher starts Sonlet again on it.
inline constexpr int kCaptureStuckStatus = 3;

// The exit status when the pointer output was lost during the run: the X server, the Wayland
// compositor or the desktop's remote-desktop session went away, so nothing the engine decides can
// reach the desktop any more.
inline constexpr int kOutputLostStatus = 4;

// Tells the user what the engine finds out, in the program's own words and on its streams: the
// numeric and audio lines on standard output, the rest on standard error. When standard output
// carries the events or the trace for another program to read, the numeric and audio lines go
// to standard error instead, so that they cannot break that program's reading. Both the headless
// run and the control panel use it, on the engine's thread.
//
// When the sound is stuck the program cannot go on: PortAudio's device thread spins and cannot
// be stopped, and waiting for it would hang the program for good. The printer then says so and
// ends the process at once with kCaptureStuckStatus. Nothing is held down between two passes, so
// no button or key is left pressed; the settings last saved are kept.
class NoticePrinter : public NoticeSink {
 public:
  // standard_output must outlive the printer.
  NoticePrinter(OutputChannel& standard_output, bool output_carries_results)
      : standard_output_(standard_output), output_carries_results_(output_carries_results) {}
  ~NoticePrinter() override { EndRootFinderStretch(); }

  void Notify(Notice notice, int error) override;

  // How long the root finder had been failing, when it was: as it finds its roots again, and
  // when the run ends (before the summary).
  void EndRootFinderStretch();

 private:
  // A line of the standard-output kind (numeric and audio), where it may go.
  void Line(const char* text);

  OutputChannel& standard_output_;
  bool output_carries_results_;
  // Frames in a row whose roots were not all found. Digital silence (a muted or idle source)
  // fails every frame, so the warning is said once per stretch, not 53 times a second.
  int64_t root_finder_failures_ = 0;
};

}  // namespace sonlet
