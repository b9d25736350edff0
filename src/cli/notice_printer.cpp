// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/notice_printer.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sonlet {

void NoticePrinter::Notify(Notice notice, int error) {
  switch (notice) {
    case Notice::kSoundStopped:
      std::fputs(
          "sonlet: the microphone stopped sending sound (unplugged, or the sound server "
          "restarted?); Sonlet keeps trying to reopen it.\n",
          stderr);
      return;
    case Notice::kSoundBack:
      std::fputs("sonlet: the microphone is back; listening again.\n", stderr);
      return;
    case Notice::kSoundStuck:
      standard_output_.StopWaiting();
      standard_output_.Flush();
      std::fputs(
          "sonlet: the sound system stopped answering and PortAudio would not let go of the "
          "microphone, so Sonlet has to end. Start it again; the settings last saved in "
          "user.txt are kept.\n",
          stderr);
      std::fflush(stderr);
      std::_Exit(kCaptureStuckStatus);
    case Notice::kBuffersFull:
      // No newline: the next one overwrites it, as it always has.
      Line("!!!!Saturacion en el buffer de audio A/D\r");
      return;
    case Notice::kFftLengthRefused:
      Line("\tError: Len of FFT must be exp(2,N), being N natural\n\n");
      return;
    case Notice::kRootFinderGaveUp:
      if (root_finder_failures_++ == 0) Line("Warning!!! Too many iterations in hqr\n\n");
      return;
    case Notice::kRootFinderFoundAgain:
      EndRootFinderStretch();
      return;
    case Notice::kInputRefused:
      // A desktop that refuses an event, or that has answered nothing for seconds; one that is
      // merely busy delays the events instead. Only the log takes them all.
      std::fprintf(stderr, "sonlet: the desktop refused a pointer or key event: %s\n",
                   std::strerror(error));
      return;
    case Notice::kOutputLost:
      std::fprintf(stderr,
                   "sonlet: the pointer output was lost (%s): the X server, the Wayland "
                   "compositor or the desktop's remote-desktop session went away, so Sonlet "
                   "stops. Start it again once the desktop is back.\n",
                   std::strerror(error));
      return;
  }
}

void NoticePrinter::EndRootFinderStretch() {
  if (root_finder_failures_ > 1) {
    std::fprintf(stderr,
                 "sonlet: the root finder gave up on %" PRId64
                 " frames in a row (its warning is said once for them); digital silence, such as "
                 "a muted microphone, does this.\n",
                 root_finder_failures_);
  }
  root_finder_failures_ = 0;
}

void NoticePrinter::Line(const char* text) {
  if (output_carries_results_) {
    std::fputs(text, stderr);
    return;
  }
  standard_output_.Print("%s", text);
  standard_output_.Flush();
}

}  // namespace sonlet
