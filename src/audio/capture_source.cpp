// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/capture_source.h"

#include <algorithm>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Reopening starts PortAudio afresh, which looks at every device (some 20 ms of processor
// time), so the attempts thin out to one every few seconds; a returning device is still picked
// up within that time.
constexpr milliseconds kFirstRetry{500};
constexpr milliseconds kLongestRetry{4000};
// The longest a read waits while the device is away, so that the engine's passes go on.
constexpr milliseconds kLongestIdleRead{1000};

}  // namespace

CaptureSource::CaptureSource(std::string device) : device_(std::move(device)) {}

CaptureSource::~CaptureSource() { CloseWaveCapture(&capture_); }

WaveCaptureOpenStatus CaptureSource::Open() {
  const WaveCaptureOpenStatus status =
      OpenWaveCapture(&capture_, kBlockSamples, kSampleRate, device_);
  open_ = status.ok();
  return status;
}

AudioSource::Status CaptureSource::Read(int16_t samples[], int count) {
  if (capture_.stuck) return Silence(samples, count, Status::kStuck);
  if (!open_) {
    const auto until_attempt = std::chrono::ceil<milliseconds>(next_attempt_ - Clock::now());
    if (until_attempt > kLongestIdleRead) {
      if (!capture_.ring.Pause(kLongestIdleRead)) return Status::kEnded;
      return Silence(samples, count, Status::kFailed);
    }
    if (!capture_.ring.Pause(std::max(until_attempt, milliseconds{0}))) return Status::kEnded;
    open_ = OpenWaveCapture(&capture_, kBlockSamples, kSampleRate, device_).ok();
    if (!open_) {
      retry_delay_ = std::clamp(retry_delay_ * 2, kFirstRetry, kLongestRetry);
      next_attempt_ = Clock::now() + retry_delay_;
      return Silence(samples, count, Status::kFailed);
    }
  }

  bool saturated = false;
  switch (ReadWaveCapture(samples, &capture_, count, &saturated)) {
    case CaptureRing::ReadResult::kOk:
      return saturated ? Status::kOverrun : Status::kOk;
    case CaptureRing::ReadResult::kInterrupted:
      return Status::kEnded;
    case CaptureRing::ReadResult::kFailed:
      break;
  }
  // The stream is gone or silent: let go of the device and try it again shortly.
  CloseWaveCapture(&capture_);
  open_ = false;
  retry_delay_ = kFirstRetry;
  next_attempt_ = Clock::now() + retry_delay_;
  return Silence(samples, count, capture_.stuck ? Status::kStuck : Status::kFailed);
}

void CaptureSource::Interrupt() { capture_.ring.Interrupt(); }

AudioSource::Status CaptureSource::Silence(int16_t samples[], int count, Status status) {
  std::fill_n(samples, count, int16_t{0});
  return status;
}

}  // namespace sonlet
