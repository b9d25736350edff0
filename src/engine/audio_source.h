// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sonlet {

// Where the engine's sound comes from: the microphone or a recording, as 16-bit mono samples at
// 8000 Hz.
class AudioSource {
 public:
  enum class Status {
    kOk,       // all samples delivered
    kOverrun,  // all samples delivered, but sound was lost before them: every buffer was full
    kFailed,   // the device failed on the way; the samples are as the read left them
    kEnded,    // no more sound will come (the end of a recording, or a stop was asked for)
    kStuck,    // the device failed for good and cannot be opened again in this process
  };

  virtual ~AudioSource() = default;

  // Blocks until the next count samples in capture order are in samples[0..count-1].
  virtual Status Read(int16_t samples[], int count) = 0;

  // Called from another thread when the engine is asked to stop: a read that is waiting for
  // sound returns promptly (with any status). Sources that never wait need do nothing.
  virtual void Interrupt() {}
};

}  // namespace sonlet
