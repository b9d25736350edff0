#include "cli/stop_signals.h"

namespace sonlet {

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &old_mask_);
}

StopSignals::~StopSignals() {
  StopWatching();
  // A second Ctrl-C during the stop is still pending; it must not kill the process now that the
  // stop is done.
  const timespec now{};
  while (sigtimedwait(&signals_, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

void StopSignals::Watch(std::function<void()> on_stop) {
  if (watcher_.joinable()) return;
  watcher_ = std::thread([this, on_stop = std::move(on_stop)] {
    int signal = 0;
    while (sigwait(&signals_, &signal) != 0) {
    }
    if (!closing_.load()) on_stop();
  });
}

void StopSignals::StopWatching() {
  if (!watcher_.joinable()) return;
  // The watcher waits in sigwait; a signal aimed at that thread alone releases it, and the flag
  // tells it that this one is not a request from outside.
  closing_.store(true);
  pthread_kill(watcher_.native_handle(), SIGTERM);
  watcher_.join();
}

}  // namespace sonlet
