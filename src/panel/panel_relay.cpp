// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel_relay.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdint>

namespace sonlet {

PanelRelay::PanelRelay(QObject* parent) : QObject(parent) {
  event_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (event_fd_ >= 0) {
    notifier_ = new QSocketNotifier(event_fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PanelRelay::Deliver);
  }
}

PanelRelay::~PanelRelay() {
  delete notifier_;
  if (event_fd_ >= 0) ::close(event_fd_);
}

void PanelRelay::ShowMeters(int intensity, int speed, int voice_window) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_.has_meters = true;
    latest_.intensity = intensity;
    latest_.speed = speed;
    latest_.voice_window = voice_window;
  }
  Wake();
}

void PanelRelay::ShowReadings(const Readings& readings) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_.has_readings = true;
    latest_.readings = readings;
  }
  Wake();
}

void PanelRelay::PassDone(const PassRecord& record) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ring_count_ == kRelayedPasses) {
      ring_oldest_ = (ring_oldest_ + 1) % kRelayedPasses;
      --ring_count_;
      ++ring_dropped_;
    }
    ring_[(ring_oldest_ + ring_count_) % kRelayedPasses] = record;
    ++ring_count_;
  }
  Wake();
}

void PanelRelay::ActionChanged(PointerAction action, bool kept) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_.has_action = true;
    latest_.action = action;
    latest_.action_kept = kept;
  }
  Wake();
}

void PanelRelay::Wake() {
  // The values are stored before this, so a panel that clears the flag and then takes the
  // values sees these or newer ones; a wake-up is only needed when none is pending.
  if (wake_pending_.exchange(true)) return;
  if (event_fd_ >= 0) {
    const uint64_t one = 1;
    // Cannot block (EFD_NONBLOCK) and cannot fill up: the counter is drained at each hand-over.
    [[maybe_unused]] const ssize_t written = ::write(event_fd_, &one, sizeof one);
  } else {
    // Without an eventfd (no file descriptors left) a queued call does the same job.
    QMetaObject::invokeMethod(this, &PanelRelay::Deliver, Qt::QueuedConnection);
  }
}

void PanelRelay::Deliver() {
  if (event_fd_ >= 0) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(event_fd_, &count, sizeof count);
  }
  // Cleared before taking the values: anything stored after the take wakes the panel again.
  wake_pending_.store(false);
  PanelSnapshot latest;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest = latest_;
    latest_.has_meters = false;
    latest_.has_readings = false;
    latest_.has_action = false;
    delivered_.count = ring_count_;
    delivered_.dropped = ring_dropped_;
    for (int i = 0; i < ring_count_; ++i) {
      delivered_.passes[i] = ring_[(ring_oldest_ + i) % kRelayedPasses];
    }
    ring_count_ = 0;
    ring_dropped_ = 0;
  }
  if (latest.has_meters || latest.has_readings) emit Arrived(latest);
  if (delivered_.count > 0) emit PassesArrived(delivered_);
  if (latest.has_action) emit ActionArrived(latest.action, latest.action_kept);
}

}  // namespace sonlet
