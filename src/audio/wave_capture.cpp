// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/wave_capture.h"

#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "analysis/signal_constants.h"
#include "audio/capture_devices.h"
#include "audio/mono_converter.h"

namespace sonlet {

struct WaveCapture::Stream {
  PortAudioUse portaudio;
  PaStream* pa = nullptr;
  MonoConverter converter;
  int channels = 1;  // of the device's frames, when converting
};

namespace {

// The device's thread: hands what it recorded to the ring, converting it first when the device
// records its own format. Nothing here allocates, locks or waits.
int OnRecorded(const void* input, void* /*output*/, unsigned long frames,
               const PaStreamCallbackTimeInfo* /*time*/, PaStreamCallbackFlags /*flags*/,
               void* user) {
  auto* capture = static_cast<WaveCapture*>(user);
  if (input == nullptr) return paContinue;
  const int count = static_cast<int>(frames);
  if (capture->converting) {
    const auto* recorded = static_cast<const float*>(input);
    MonoConverter& converter = capture->stream->converter;
    for (int done = 0; done < count; done += MonoConverter::kMaxFrames) {
      const int piece = std::min(count - done, MonoConverter::kMaxFrames);
      const std::span<const int16_t> samples = converter.Convert(
          recorded + static_cast<ptrdiff_t>(done) * capture->stream->channels, piece);
      capture->ring.Push(samples.data(), static_cast<int>(samples.size()));
    }
  } else {
    capture->ring.Push(static_cast<const int16_t*>(input), count);
  }
  return paContinue;
}

// PortAudio calls this when the stream ends for any reason: a device that went away or a sound
// server that stopped, as well as our own close. A waiting read then gives up at once.
void OnFinished(void* user) { static_cast<WaveCapture*>(user)->ring.MarkFailed(); }

std::string PortaudioText(PaError error) {
  std::string text = Pa_GetErrorText(error);
  if (error == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && host->errorText != nullptr && host->errorText[0] != '\0')
      text += std::string(" (") + host->errorText + ")";
  }
  return text;
}

WaveCaptureOpenStatus Failure(WaveCaptureOpenStatus::Step step, int error, std::string detail) {
  WaveCaptureOpenStatus status;
  status.step = step;
  status.error = error;
  status.detail = std::move(detail);
  return status;
}

struct Format {
  double rate;
  int channels;
  PaSampleFormat sample;
};

// The formats to try on a device, best first: the device's own rate in mono, then with its
// channels (two, or all it has: some cards record only in pairs), and the engine's own last. A
// device asked for 8000 Hz converts with whatever filter its route has (ALSA's plug and dsnoop
// layers, a sound server's cheapest resampler), and those bend the band's top, where the second
// formant of "i" and "e" lies; our own converter keeps it flat.
std::vector<Format> FormatsToTry(const CaptureDeviceInfo& device, int sample_rate) {
  const double own_rate = device.default_rate > 0 ? device.default_rate : 48000.0;
  std::vector<Format> formats = {{own_rate, 1, paFloat32}};
  if (device.channels >= 2) formats.push_back({own_rate, 2, paFloat32});
  if (device.channels > 2) formats.push_back({own_rate, device.channels, paFloat32});
  formats.push_back({static_cast<double>(sample_rate), 1, paInt16});
  return formats;
}

// Frames per callback when converting: a power of two (sound servers' ALSA routes negotiate
// huge periods otherwise) that spans no more than `samples` samples of the engine's rate.
unsigned long ConvertingFramesPerBuffer(double device_rate, int samples, int sample_rate) {
  const double block_frames = device_rate * samples / sample_rate;
  unsigned long frames = 64;
  while (static_cast<double>(frames * 2) <= block_frames) frames *= 2;
  return frames;
}

}  // namespace

WaveCapture::WaveCapture() = default;

WaveCapture::~WaveCapture() {
  CloseWaveCapture(this);
  // A stream PortAudio would not stop is left as it is: ending PortAudio under its running
  // thread would wait for that thread too.
  if (stuck) static_cast<void>(stream.release());
}

WaveCaptureOpenStatus OpenWaveCapture(WaveCapture* capture, int samples_per_buffer, int sample_rate,
                                      const std::string& device) {
  using Step = WaveCaptureOpenStatus::Step;
  CloseWaveCapture(capture);
  if (capture->stuck) {
    return Failure(Step::kOpenDevice, paInternalError,
                   "PortAudio did not let go of the sound device after the sound server went away");
  }

  auto stream = std::unique_ptr<WaveCapture::Stream>(new (std::nothrow) WaveCapture::Stream);
  if (stream == nullptr) return Failure(Step::kPrepareBuffers, paInsufficientMemory, "no memory");
  if (stream->portaudio.error() != paNoError) {
    return Failure(Step::kOpenDevice, stream->portaudio.error(),
                   "PortAudio could not start: " + PortaudioText(stream->portaudio.error()));
  }

  const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
  std::string why;
  const int chosen = ChooseCaptureDevice(devices, device, &why);
  if (chosen < 0) {
    return Failure(Step::kOpenDevice, devices.empty() ? paDeviceUnavailable : paInvalidDevice, why);
  }
  const CaptureDeviceInfo& info = devices[static_cast<size_t>(chosen)];
  const PaDeviceInfo* pa_info = Pa_GetDeviceInfo(info.index);

  PaStreamParameters parameters{};
  parameters.device = info.index;
  // Capture latency is set by how often the device hands over sound, not by how much it may
  // hold: the device's roomier default buffer costs nothing in reaction time and spares it
  // from running dry when the machine is busy.
  parameters.suggestedLatency = pa_info != nullptr ? pa_info->defaultHighInputLatency : 0.05;
  bool found = false;
  PaError format_error = paNoError;  // the first refusal of a format
  PaError device_error = paNoError;  // the first failure that is not about the format
  Format format{};
  for (const Format& f : FormatsToTry(info, sample_rate)) {
    parameters.channelCount = f.channels;
    parameters.sampleFormat = f.sample;
    const PaError e = Pa_IsFormatSupported(&parameters, nullptr, f.rate);
    if (e == paFormatIsSupported) {
      format = f;
      found = true;
      break;
    }
    const bool about_format =
        e == paInvalidSampleRate || e == paInvalidChannelCount || e == paSampleFormatNotSupported;
    PaError& first = about_format ? format_error : device_error;
    if (first == paNoError) first = e;
  }
  if (!found && device_error != paNoError) {
    // A sound server that refuses the connection, or a device that cannot be opened at all,
    // fails every format alike; that is what the user must hear about.
    return Failure(Step::kOpenDevice, device_error,
                   "the sound input device '" + info.name +
                       "' could not be opened: " + PortaudioText(device_error));
  }
  if (!found) {
    return Failure(Step::kOpenDevice, format_error,
                   "the sound input device '" + info.name +
                       "' records in no format Sonlet can use: " + PortaudioText(format_error));
  }
  parameters.channelCount = format.channels;
  parameters.sampleFormat = format.sample;
  const bool converting = format.sample != paInt16;
  // Two blocks per hand-over: every wake-up of the device's thread and of the engine costs
  // more than the engine's analysis of a block, and waking half as often roughly halves what
  // listening costs; a click is then told at most one block later, still well within what a
  // user notices.
  const unsigned long frames_per_buffer =
      converting ? ConvertingFramesPerBuffer(format.rate, 2 * samples_per_buffer, sample_rate)
                 : static_cast<unsigned long>(2 * samples_per_buffer);

  PaError e = Pa_OpenStream(&stream->pa, &parameters, nullptr, format.rate, frames_per_buffer,
                            paNoFlag, OnRecorded, capture);
  if (e != paNoError) {
    stream->pa = nullptr;
    return Failure(
        Step::kOpenDevice, e,
        "the sound input device '" + info.name + "' could not be opened: " + PortaudioText(e));
  }
  Pa_SetStreamFinishedCallback(stream->pa, OnFinished);

  // From here on `stream` closes itself if we give up: hand it to the record, whose close undoes
  // everything.
  capture->stream = std::move(stream);
  capture->device_name = info.name;
  capture->converting = converting;

  // The buffers are allocated once and kept across reopenings.
  bool ring_ready = true;
  if (capture->ring.samples_per_buffer() == samples_per_buffer) {
    capture->ring.Reset();
  } else {
    ring_ready = capture->ring.Prepare(samples_per_buffer);
  }
  const bool converter_ready =
      !converting ||
      (sample_rate == kSampleRate &&  // the converter gives the engine's rate only
       capture->stream->converter.Prepare(static_cast<int>(format.rate), format.channels));
  capture->stream->channels = format.channels;
  if (!ring_ready || !converter_ready) {
    CloseWaveCapture(capture);
    return Failure(Step::kPrepareBuffers, paInsufficientMemory,
                   ring_ready ? "the sound conversion could not be set up"
                              : "no memory for the capture buffers");
  }

  e = Pa_StartStream(capture->stream->pa);
  if (e != paNoError) {
    CloseWaveCapture(capture);
    return Failure(Step::kStartDevice, e,
                   "the sound input device '" + info.name +
                       "' would not start recording: " + PortaudioText(e));
  }
  return {};
}

CaptureRing::ReadResult ReadWaveCapture(int16_t samples[], WaveCapture* capture, int count,
                                        bool* saturated) {
  // The engine has fallen 200 blocks behind and the device had nowhere to record.
  *saturated = capture->ring.AllFull();
  if (count <= 0) return CaptureRing::ReadResult::kOk;
  return capture->ring.Read(samples, count, capture->wait_limit, capture->first_wait_limit);
}

void CloseWaveCapture(WaveCapture* capture) {
  if (capture->stream == nullptr || capture->stuck) return;
  // PortAudio stops its device thread and waits for it. When a sound server vanishes while a
  // stream starts, that thread can spin for ever in ALSA's pulse route, and the wait with it;
  // so the stopping runs on a thread of its own, and the caller waits only for a while. The
  // record stays untouched until the stop is over, as the device thread may still read it.
  struct Stopping {
    std::mutex mutex;
    std::condition_variable done_changed;
    bool done = false;
  };
  auto stopping = std::make_shared<Stopping>();
  PaStream* pa = capture->stream->pa;
  std::thread stopper([stopping, pa] {
    if (pa != nullptr) {
      Pa_AbortStream(pa);
      Pa_CloseStream(pa);
    }
    std::lock_guard<std::mutex> lock(stopping->mutex);
    stopping->done = true;
    stopping->done_changed.notify_all();
  });
  std::unique_lock<std::mutex> lock(stopping->mutex);
  const bool stopped = stopping->done_changed.wait_for(lock, std::chrono::seconds(2),
                                                       [&stopping] { return stopping->done; });
  lock.unlock();
  if (!stopped) {
    stopper.detach();
    capture->stuck = true;
    return;
  }
  stopper.join();
  capture->stream.reset();  // ends PortAudio, so that a later open sees the devices anew
  capture->converting = false;
  capture->device_name.clear();
}

}  // namespace sonlet
