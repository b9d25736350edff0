// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace sonlet {

// The sound input devices PortAudio can see, and the choice of one by name.

// Keeps PortAudio started for as long as it lives. While PortAudio looks for devices it tries
// every device the sound system defines, most of which do not exist on a given machine, and
// ALSA and JACK write a complaint about each to standard error; those are silenced, for that
// moment only. Errors of the device actually used still show, and reach the caller as
// PortAudio's error numbers.
class PortAudioUse {
 public:
  PortAudioUse();
  ~PortAudioUse();
  PortAudioUse(const PortAudioUse&) = delete;
  PortAudioUse& operator=(const PortAudioUse&) = delete;

  // 0 when PortAudio started, otherwise its (negative) error number.
  int error() const { return error_; }

 private:
  int error_;
};

struct CaptureDeviceInfo {
  int index = -1;  // PortAudio's device index, valid while PortAudio stays started
  // As the sound system names it: PortAudio's "pulse" or "USB Audio: - (hw:1,0)", a sound
  // server's "alsa_input.usb-0d8c_C-Media-00.mono-fallback".
  std::string name;
  std::string description;  // a sound server's words for people ("USB Microphone"), or ""
  std::string host_api;     // e.g. "ALSA", or the sound server's name
  int channels = 0;         // input channels
  double default_rate = 0.0;
  bool is_default = false;  // the system's default input
};

// Every device with at least one input channel. PortAudio must be started.
std::vector<CaptureDeviceInfo> ListCaptureDevices();

// Picks the device `wanted` names: the default input when it is empty; otherwise the device of
// exactly that name or description, or else the only one whose name or description contains
// it, ignoring case. Returns its position in `devices`, or -1 with the reason for the user in
// *why.
int ChooseCaptureDevice(const std::vector<CaptureDeviceInfo>& devices, const std::string& wanted,
                        std::string* why);

}  // namespace sonlet
