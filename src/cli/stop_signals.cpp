// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/stop_signals.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>

namespace sonlet {

StopSignals::StopSignals() : action_(EndNow) {
  sigemptyset(&signals_);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&signals_, s);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
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
  // The signals stay blocked: one that comes while the program ends (its exit handlers, the
  // sanitizer's leak check) stays pending and dies with the process, instead of killing it
  // with its default action and taking its exit status away.
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
