// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "audio/wave_capture.h"
#include "engine/audio_source.h"

namespace sonlet {

// The microphone as the engine hears it, kept going through faults. When the stream stops or
// goes quiet (a USB microphone pulled out, the sound server restarted), the read fails within
// about a second, the device is closed, and later reads try to open it again, less often the
// longer it stays away, until it is back. Meanwhile each read returns kFailed with silence in
// the block, so the engine's passes go on slowly and a sound cut off by the fault simply ends.
//
// One fault cannot be recovered from inside the process: PortAudio refusing to stop a stream
// whose sound server vanished as it started. PortAudio can then no longer be used, and every
// read says kStuck.
class CaptureSource : public AudioSource {
 public:
  // `device`: a name or part of one, as --list-devices prints them; empty for the default input.
  explicit CaptureSource(std::string device = "");
  ~CaptureSource() override;

  // The first opening, whose failure the program reports and ends on.
  WaveCaptureOpenStatus Open();

  // kOk with the next samples (kOverrun when every buffer was full before them); kFailed
  // (silence in samples[]) while the device is away; kEnded once a stop has been asked for;
  // kStuck (silence) once PortAudio would not let go of the device.
  Status Read(int16_t samples[], int count) override;

  // Any thread: a waiting read, or the pause between two attempts to reopen, returns at once.
  void Interrupt() override;

 private:
  // Silence in samples[0..count-1], and the status to give with it.
  Status Silence(int16_t samples[], int count, Status status);

  std::string device_;
  WaveCapture capture_;
  bool open_ = false;
  std::chrono::milliseconds retry_delay_{0};
  std::chrono::steady_clock::time_point next_attempt_{};
};

}  // namespace sonlet
