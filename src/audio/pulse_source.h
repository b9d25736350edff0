// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "audio/pulse_capture.h"
#include "engine/audio_source.h"

namespace sonlet {

// The microphone through the sound server, as the engine hears it, kept going through faults.
// When the stream fails (a microphone unplugged, the server restarted), the read says so within
// about a second, once more right away tries the source again, and then waits for the server's
// news (a source appearing, the server back) before the next try; meanwhile each read returns
// kFailed with silence in the block at most a second later, so the engine's passes go on and a
// sound cut off by the fault simply ends.
class PulseSource : public AudioSource {
 public:
  // `device`: a source's name or description, or part of one, as --list-devices prints them;
  // empty for the server's default source.
  explicit PulseSource(std::string device);

  // Whether a sound server answers; *why says why not.
  PulseCapture::Answer Connect(std::string* why);

  // The first opening, whose failure the program reports and ends on.
  WaveCaptureOpenStatus Open();

  // Which server and source the sound comes from, for the user.
  std::string Describe();

  Status Read(int16_t samples[], int count) override;

  // Any thread: a waiting read, or the wait for news, returns at once.
  void Interrupt() override;

 private:
  Status Silence(int16_t samples[], int count, Status status);

  PulseCapture capture_;
  std::string device_;
  bool open_ = false;
  bool try_now_ = false;       // the stream has just failed: the source may still be there
  uint32_t seen_changes_ = 0;  // the server's news as of the last try
};

}  // namespace sonlet
