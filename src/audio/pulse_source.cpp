// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/pulse_source.h"

#include <algorithm>
#include <chrono>

namespace sonlet {

namespace {

// The longest a read waits while the source is away, so that the engine's passes go on.
constexpr std::chrono::milliseconds kLongestIdleRead{1000};

}  // namespace

PulseSource::PulseSource(std::string device) : device_(std::move(device)) {}

PulseCapture::Answer PulseSource::Connect(std::string* why) { return capture_.Connect(why); }

WaveCaptureOpenStatus PulseSource::Open() {
  seen_changes_ = capture_.changes();
  const WaveCaptureOpenStatus status = capture_.Open(device_);
  open_ = status.ok();
  return status;
}

std::string PulseSource::Describe() {
  return "listening through the sound server (" + capture_.ServerName() + ") to '" +
         capture_.SourceDescription() + "'";
}

AudioSource::Status PulseSource::Read(int16_t samples[], int count) {
  if (!open_) {
    if (!try_now_) {
      const uint32_t seen = seen_changes_;
      if (!capture_.WaitForNews(kLongestIdleRead, seen)) return Status::kEnded;
      if (capture_.changes() == seen) return Silence(samples, count, Status::kFailed);
    }
    try_now_ = false;
    seen_changes_ = capture_.changes();
    open_ = capture_.Open(device_).ok();
    if (!open_) return Silence(samples, count, Status::kFailed);
  }

  bool saturated = false;
  switch (capture_.Read(samples, count, &saturated)) {
    case CaptureRing::ReadResult::kOk:
      return saturated ? Status::kOverrun : Status::kOk;
    case CaptureRing::ReadResult::kInterrupted:
      return Status::kEnded;
    case CaptureRing::ReadResult::kFailed:
      break;
  }
  // The stream is gone or silent: let go of it, and try the source again.
  capture_.Close();
  open_ = false;
  try_now_ = true;
  return Silence(samples, count, Status::kFailed);
}

void PulseSource::Interrupt() { capture_.Interrupt(); }

AudioSource::Status PulseSource::Silence(int16_t samples[], int count, Status status) {
  std::fill_n(samples, count, int16_t{0});
  return status;
}

}  // namespace sonlet
