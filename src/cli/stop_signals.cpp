#include "cli/stop_signals.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>

namespace sonlet {

StopSignals::StopSignals() : action_(EndNow) {
  sigemptyset(&signals_);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&signals_, s);
  pthread_sigmask(SIG_BLOCK, &signals_, &old_mask_);
  watcher_ = std::thread([this] {
    for (;;) {
      int signal = 0;
      if (sigwait(&signals_, &signal) != 0) continue;
      if (closing_.load()) return;
      std::lock_guard<std::mutex> lock(action_mutex_);
      action_(signal);
    }
  });
}

StopSignals::~StopSignals() {
  // The watcher waits in sigwait; a signal aimed at that thread alone releases it, and the flag
  // tells it that this one is not a request from outside.
  closing_.store(true);
  pthread_kill(watcher_.native_handle(), SIGTERM);
  watcher_.join();
  // A signal that came during the end is still pending; it must not kill the process now that
  // the end is in hand.
  const timespec now{};
  while (sigtimedwait(&signals_, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

void StopSignals::OnSignal(std::function<void(int signal)> action) {
  std::lock_guard<std::mutex> lock(action_mutex_);
  action_ = std::move(action);
}

void StopSignals::EndNow(int /*signal*/) {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace sonlet
