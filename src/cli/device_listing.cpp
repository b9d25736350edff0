// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/device_listing.h"

#include <cstdio>

#include "audio/capture_devices.h"
#include "audio/pulse_capture.h"
#include "cli/io_setup.h"

namespace sonlet {

namespace {

// One line per device, the default marked with "*". A sound server's source shows its
// description first and its name after it; either, or part of either, may go to --device.
void PrintCaptureDevices(const std::vector<CaptureDeviceInfo>& devices, std::FILE* out) {
  for (const CaptureDeviceInfo& d : devices) {
    const std::string names = d.description.empty() ? d.name : d.description + "  (" + d.name + ";";
    std::fprintf(out, "%s %s%s%s, %d input channel%s, %.0f Hz)\n", d.is_default ? "*" : " ",
                 names.c_str(), d.description.empty() ? "  (" : " ", d.host_api.c_str(), d.channels,
                 d.channels == 1 ? "" : "s", d.default_rate);
  }
}

}  // namespace

int ListInputDevices() {
  // The sound server's sources where a server answers, as the microphone is opened.
  PulseCapture server;
  std::string why;
  const PulseCapture::Answer answer = server.Connect(&why);
  if (answer == PulseCapture::Answer::kStalled) {
    // Not PortAudio: it would wait for this same server through ALSA's pulse plugin.
    std::fprintf(stderr, "sonlet: %s.\n", why.c_str());
    return kAudioOpenFailed;
  }
  if (answer == PulseCapture::Answer::kReady) {
    const std::vector<CaptureDeviceInfo> sources = server.Sources();
    if (sources.empty() && server.Stalled()) {
      std::fprintf(stderr,
                   "sonlet: the sound server (%s) stopped answering while its sound "
                   "inputs were listed; it may be stalled. Restart it and try again.\n",
                   server.ServerName().c_str());
      return kAudioOpenFailed;
    }
    if (sources.empty()) {
      std::fprintf(stderr, "sonlet: the sound server (%s) has no sound input.\n",
                   server.ServerName().c_str());
      return kAudioOpenFailed;
    }
    PrintCaptureDevices(sources, stdout);
    return 0;
  }
  PortAudioUse portaudio;
  if (portaudio.error() != 0) {
    std::fprintf(stderr, "sonlet: the sound system could not be started (PortAudio error %d).\n",
                 portaudio.error());
    return kAudioOpenFailed;
  }
  const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
  if (devices.empty()) {
    std::fputs(
        "sonlet: no sound input device was found. Plug in a microphone, or check that the "
        "sound server (PipeWire or PulseAudio) is running.\n",
        stderr);
    return kAudioOpenFailed;
  }
  PrintCaptureDevices(devices, stdout);
  return 0;
}

}  // namespace sonlet
