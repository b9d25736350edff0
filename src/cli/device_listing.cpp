#include "cli/device_listing.h"

#include <cstdio>

#include "audio/capture_devices.h"
#include "cli/io_setup.h"

namespace sonlet {

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
