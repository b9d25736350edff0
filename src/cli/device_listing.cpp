#include "cli/device_listing.h"

#include <cstdio>

#include "cli/io_setup.h"
#include "audio/capture_devices.h"

int list_input_devices() {
  PortAudioUse portaudio;
  if (portaudio.error() != 0) {
    std::fprintf(stderr, "sonlet: the sound system could not be started (PortAudio error %d).\n",
                 portaudio.error());
    return kAudioOpenFailed;
  }
  const std::vector<CaptureDeviceInfo> devices = list_capture_devices();
  if (devices.empty()) {
    std::fputs(
        "sonlet: no sound input device was found. Plug in a microphone, or check that the "
        "sound server (PipeWire or PulseAudio) is running.\n",
        stderr);
    return kAudioOpenFailed;
  }
  print_capture_devices(devices, stdout);
  return 0;
}
