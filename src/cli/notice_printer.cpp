#include "cli/notice_printer.h"

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
      std::fflush(stdout);
      std::fputs(
          "sonlet: the sound system stopped answering and PortAudio would not let go of the "
          "microphone, so Sonlet has to end. Start it again; the settings last saved in "
          "user.txt are kept.\n",
          stderr);
      std::fflush(stderr);
      std::_Exit(kCaptureStuckStatus);
    case Notice::kBuffersFull:
      // No newline: the next one overwrites it, as it always has.
      std::fputs("!!!!Saturacion en el buffer de audio A/D\r", stdout);
      std::fflush(stdout);
      return;
    case Notice::kFftLengthRefused:
      std::fputs("\tError: Len of FFT must be exp(2,N), being N natural\n\n", stdout);
      return;
    case Notice::kRootFinderGaveUp:
      std::fputs("Warning!!! Too many iterations in hqr\n\n", stdout);
      std::fflush(stdout);
      return;
    case Notice::kInputRefused:
      // Only the uinput device can refuse an event: the X server and the log take them all.
      std::fprintf(stderr, "sonlet: the uinput device refused an event: %s\n",
                   std::strerror(error));
      return;
  }
}

}  // namespace sonlet
