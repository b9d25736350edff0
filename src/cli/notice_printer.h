#pragma once

#include "engine/notice_sink.h"

namespace sonlet {

// The exit status when the sound system stopped answering and PortAudio would not let go of the
// microphone: the desktop launcher starts Sonlet again on it.
inline constexpr int kCaptureStuckStatus = 3;

// Tells the user what the engine finds out, in the program's own words and on its streams: the
// numeric and audio lines on standard output, the rest on standard error. Both the headless run
// and the control panel use it, on the engine's thread.
//
// When the sound is stuck the program cannot go on: PortAudio's device thread spins and cannot
// be stopped, and waiting for it would hang the program for good. The printer then says so and
// ends the process at once with kCaptureStuckStatus. Nothing is held down between two passes, so
// no button or key is left pressed; the settings last saved are kept.
class NoticePrinter : public NoticeSink {
 public:
  void Notify(Notice notice, int error) override;
};

}  // namespace sonlet
