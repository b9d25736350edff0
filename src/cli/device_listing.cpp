#include "cli/device_listing.h"

#include <cstdio>

#include "audio/capture_devices.h"
#include "cli/io_setup.h"

namespace sonlet {

namespace {

// One line per device, the default marked with "*", name first so it can be copied to --device.
void PrintCaptureDevices(const std::vector<CaptureDeviceInfo>& devices, std::FILE* out) {
  for (const CaptureDeviceInfo& d : devices) {
    std::fprintf(out, "%s %s  (%s, %d input channel%s, %.0f Hz)\n", d.is_default ? "*" : " ",
                 d.name.c_str(), d.host_api.c_str(), d.channels, d.channels == 1 ? "" : "s",
                 d.default_rate);
  }
}

}  // namespace

int ListInputDevices() {
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
