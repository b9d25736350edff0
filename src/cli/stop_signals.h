#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace sonlet {

// Turns Ctrl-C (SIGINT) and SIGTERM into a clean stop. Construct it on the main thread before
// any other thread starts (PortAudio and the sound server's client start their own): it blocks
// both signals, every later thread inherits the block, and a small thread of its own takes them
// with sigwait. The stop then runs as ordinary code on that thread, free to lock, print and
// wake the engine, which a signal handler could not safely do.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();  // ends the watching thread and restores the signal mask
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Calls on_stop (on the watching thread) when one of the signals comes, also one that came
  // before this call. At most once.
  void Watch(std::function<void()> on_stop);

  // Ends the watching: on_stop is not called after this returns. Signals that come later stay
  // pending and are dropped when this object goes.
  void StopWatching();

 private:
  sigset_t signals_;
  sigset_t old_mask_;
  std::atomic<bool> closing_{false};
  std::thread watcher_;
};

}  // namespace sonlet
