// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/capture_devices.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <cctype>

namespace sonlet {

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

PortAudioUse::PortAudioUse() {
  snd_lib_error_set_handler(QuietAlsa);
  jack_set_error_function(QuietJack);
  jack_set_info_function(QuietJack);
  error_ = Pa_Initialize();
  // Back to the libraries' own reporting (null restores it in both).
  snd_lib_error_set_handler(nullptr);
  jack_set_error_function(nullptr);
  jack_set_info_function(nullptr);
}

PortAudioUse::~PortAudioUse() {
  if (error_ == paNoError) Pa_Terminate();
}

std::vector<CaptureDeviceInfo> ListCaptureDevices() {
  std::vector<CaptureDeviceInfo> devices;
  const PaDeviceIndex default_input = Pa_GetDefaultInputDevice();
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info == nullptr || info->maxInputChannels <= 0) continue;
    CaptureDeviceInfo device;
    device.index = i;
    device.name = info->name != nullptr ? info->name : "";
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    device.host_api = api != nullptr && api->name != nullptr ? api->name : "";
    device.channels = info->maxInputChannels;
    device.default_rate = info->defaultSampleRate;
    device.is_default = i == default_input;
    devices.push_back(device);
  }
  return devices;
}

int ChooseCaptureDevice(const std::vector<CaptureDeviceInfo>& devices, const std::string& wanted,
                        std::string* why) {
  const int count = static_cast<int>(devices.size());
  if (wanted.empty()) {
    for (int i = 0; i < count; ++i) {
      if (devices[i].is_default) return i;
    }
    *why = count == 0 ? "no sound input device was found"
                      : "there is no default sound input device; choose one with --device";
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    if (devices[i].name == wanted || devices[i].description == wanted) return i;
  }
  const std::string part = Lower(wanted);
  std::vector<int> matches;
  for (int i = 0; i < count; ++i) {
    if (Lower(devices[i].name).find(part) != std::string::npos ||
        Lower(devices[i].description).find(part) != std::string::npos) {
      matches.push_back(i);
    }
  }
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    *why = "no sound input device is called '" + wanted + "'";
  } else {
    *why = "'" + wanted + "' fits several sound input devices:";
    for (int i : matches) *why += " '" + devices[i].name + "'";
    *why += "; give more of the name";
  }
  return -1;
}

}  // namespace sonlet
