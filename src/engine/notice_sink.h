// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// What the engine finds out about its sound, its analysis and its output as it goes, for the
// program to tell the user. The engine itself never prints: the program chooses the words and
// the stream, and decides whether to go on.
enum class Notice {
  kSoundStopped,          // the sound source failed (a microphone unplugged, a server restarted)
  kSoundBack,             // the source delivers again after kSoundStopped
  kSoundStuck,            // the source failed for good: no more sound will come, the engine ends
  kBuffersFull,           // every capture buffer was full before this block: sound was lost
  kFftLengthRefused,      // the transform tables could not be made: no formants are computed
  kRootFinderGaveUp,      // a frame's roots were not all found: some of its candidates are stale
  kRootFinderFoundAgain,  // the first frame whose roots were all found after kRootFinderGaveUp
  kInputRefused,          // the desktop refused an event (told once per engine)
  kOutputLost,            // the desktop's end of the output went away for good: the engine ends
};

class NoticeSink {
 public:
  virtual ~NoticeSink() = default;

  // Called on the engine's thread at the point of the pass where the fact arises, so that what
  // the program prints keeps the order of what happened. error: for kInputRefused and kOutputLost,
  // the error number the desktop gave; otherwise 0.
  virtual void Notify(Notice notice, int error) = 0;
};

}  // namespace sonlet
