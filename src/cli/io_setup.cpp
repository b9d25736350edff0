// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/io_setup.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/capture_source.h"
#include "audio/paced_source.h"
#include "audio/pulse_source.h"
#include "audio/recording_source.h"
#include "cli/event_log.h"
#include "input/null_sink.h"
#include "input/output_choice.h"

namespace sonlet {

namespace {

// The line for standard output that tells which opening step failed, with PortAudio's error
// number: "Error al abrir el dispositivo de audio A/D -9996\n" and the like.
std::string WaveCaptureOpenLine(const WaveCaptureOpenStatus& status) {
  const char* format = nullptr;
  switch (status.step) {
    case WaveCaptureOpenStatus::Step::kNone:
      return "";
    case WaveCaptureOpenStatus::Step::kOpenDevice:
      format = "Error al abrir el dispositivo de audio A/D %d\n";
      break;
    case WaveCaptureOpenStatus::Step::kPrepareBuffers:
      format = "Error al preparar la cabecera A/D %d\n";
      break;
    case WaveCaptureOpenStatus::Step::kStartDevice:
      format = "Error al enviar el buffer al A/D %d\n";
      break;
  }
  char line[96];
  std::snprintf(line, sizeof line, format, status.error);
  return line;
}

}  // namespace

std::unique_ptr<AudioSource> OpenAudio(const CommandLine& line, OutputChannel& standard_output,
                                       std::string* error, int* exit_status) {
  if (line.input.empty()) {
    // The sound server's own protocol where a server answers (PulseAudio, or PipeWire's pulse
    // service); PortAudio on machines without one.
    std::unique_ptr<AudioSource> microphone;
    WaveCaptureOpenStatus status;
    std::string why;
    auto server = std::make_unique<PulseSource>(line.device);
    const PulseCapture::Answer answer = server->Connect(&why);
    if (answer == PulseCapture::Answer::kReady) {
      status = server->Open();
      if (status.ok()) std::fprintf(stderr, "sonlet: %s\n", server->Describe().c_str());
      microphone = std::move(server);
    } else if (answer == PulseCapture::Answer::kStalled) {
      // Not PortAudio: through ALSA's pulse plugin it would wait for this same server, for
      // minutes.
      status.step = WaveCaptureOpenStatus::Step::kOpenDevice;
      status.error = PulseCapture::kTimedOutError;
      status.detail = why;
    } else {
      server.reset();
      std::fprintf(stderr, "sonlet: %s; listening through PortAudio.\n", why.c_str());
      auto portaudio = std::make_unique<CaptureSource>(line.device);
      status = portaudio->Open();
      microphone = std::move(portaudio);
    }
    if (!status.ok()) {
      standard_output.Print("%s", WaveCaptureOpenLine(status).c_str());
      standard_output.Flush();
      if (status.error == PulseCapture::kTimedOutError) {
        *error = "cannot listen to the microphone: " + status.detail + ".";
      } else {
        *error = "cannot listen to the microphone: " + status.detail +
                 ". Check that it is plugged in and not muted; sonlet --list-devices shows the "
                 "devices Sonlet can see.";
      }
      *exit_status = kAudioOpenFailed;
      return nullptr;
    }
    return microphone;
  }
  auto recording = std::make_unique<RecordingSource>();
  std::string warning;
  if (!recording->Open(line.input, error, &warning)) {
    *exit_status = 2;
    return nullptr;
  }
  if (!warning.empty()) std::fprintf(stderr, "sonlet: %s\n", warning.c_str());
  if (line.realtime) return std::make_unique<PacedSource>(std::move(recording));
  return recording;
}

std::unique_ptr<InputSink> OpenOutput(const CommandLine& line, OutputChannel& standard_output,
                                      std::string* error, int* exit_status, std::string* notice) {
  if (line.output == "log") return std::make_unique<LogSink>(standard_output);
  if (line.output == "none") return std::make_unique<NullSink>();
  DesktopOutput which;
  if (line.output == "auto") {
    which = DesktopOutput::kAuto;
  } else if (line.output == "uinput") {
    which = DesktopOutput::kUinput;
  } else if (line.output == "x11") {
    which = DesktopOutput::kX11;
  } else if (line.output == "wayland") {
    which = DesktopOutput::kWayland;
  } else {
    *error = "unknown output '" + line.output + "'";
    *exit_status = 2;
    return nullptr;
  }
  DesktopOutputChoice choice = OpenDesktopOutput(
      which, [](const std::string& what) { std::fprintf(stderr, "sonlet: %s\n", what.c_str()); });
  if (choice.sink == nullptr) {
    *error = choice.error;
    *exit_status = 2;
    return nullptr;
  }
  if (notice != nullptr) *notice = choice.notice;
  return std::move(choice.sink);
}

void EndAfterAudioFailure() { std::this_thread::sleep_for(std::chrono::milliseconds(1000)); }

}  // namespace sonlet
