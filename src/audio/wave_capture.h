// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/capture_ring.h"

namespace sonlet {

// Live capture from a sound input device through PortAudio: 16-bit mono samples at the rate
// asked for, handed over in the order they were recorded through a ring of 200 buffers of one
// block each (CaptureRing). A device that will not record that rate in mono records at its own
// rate and channel count, and its sound is converted on the way into the ring.

// What went wrong when capture could not be opened, for the message and the exit status that
// the program chooses.
struct WaveCaptureOpenStatus {
  enum class Step {
    kNone,            // opened
    kOpenDevice,      // PortAudio, the device or its format
    kPrepareBuffers,  // memory for the buffers or the converter
    kStartDevice,     // the device would not start recording
  };
  Step step = Step::kNone;
  int error = 0;       // PortAudio's error number (negative)
  std::string detail;  // for people: which device, and why

  bool ok() const { return step == Step::kNone; }
};

// The capture record. It belongs to the thread that reads; only its ring is shared with the
// device's callback, and only the ring's interrupt() may be called from other threads.
struct WaveCapture {
  WaveCapture();
  ~WaveCapture();  // closes the stream
  WaveCapture(const WaveCapture&) = delete;
  WaveCapture& operator=(const WaveCapture&) = delete;

  CaptureRing ring;
  // How long a read waits for the next buffer before it takes the stream for dead; the first
  // buffer after opening gets longer, as a sound server may take a while to start delivering.
  std::chrono::milliseconds wait_limit{1000};
  std::chrono::milliseconds first_wait_limit{3000};

  std::string device_name;  // the device that is open
  bool converting = false;  // recording at the device's own rate and channel count
  // PortAudio would not let go of the last stream (its device thread never stopped): it cannot
  // be used again in this process, and opening refuses.
  bool stuck = false;

  struct Stream;  // PortAudio's stream and, when needed, the converter
  std::unique_ptr<Stream> stream;
};

// Opens `device` (a name or part of one, as ListCaptureDevices gives them; empty for the
// default input), prepares the ring of samples_per_buffer samples per buffer at sample_rate Hz,
// mono, and starts recording. On failure nothing stays open.
WaveCaptureOpenStatus OpenWaveCapture(WaveCapture* capture, int samples_per_buffer, int sample_rate,
                                      const std::string& device = "");

// Copies the next count samples in capture order to samples[0..count-1], waiting for the device
// as needed but no longer than the record's wait limits for each buffer. out: *saturated, true
// when all the buffers were full as the read began: the device had nowhere to record and sound
// was lost; the oldest sound is still delivered. kFailed: the stream failed or went quiet;
// kInterrupted: a stop was asked for.
CaptureRing::ReadResult ReadWaveCapture(int16_t samples[], WaveCapture* capture, int count,
                                        bool* saturated);

// Stops recording and closes the device. The ring keeps its memory for a later open. Waits at
// most about two seconds: when PortAudio's device thread does not stop by then, the stream is
// abandoned to a thread of its own and `stuck` is set.
void CloseWaveCapture(WaveCapture* capture);

}  // namespace sonlet
