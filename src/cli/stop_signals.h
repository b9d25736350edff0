// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace sonlet {

// The signals that ask Sonlet to stop: INT (Ctrl-C), TERM (a session that ends, a service
// manager), HUP (the terminal closed) and QUIT (Ctrl-\). Construct it first thing in main, on
// the main thread, before any other thread starts (Qt, PortAudio and the sound server's client
// start their own): it blocks the four signals, every later thread inherits the block, and a
// small thread of its own takes them with sigwait. A stop then runs as ordinary code on that
// thread, free to lock, print and wake the engine, which a signal handler could not safely do.
//
// Until the program says otherwise, a signal ends it at once with status 0, its output streams
// flushed: nothing has been sent or held yet.
class StopSignals {
 public:
  StopSignals();
  // Ends the watching thread. The signals stay blocked: one that comes later is dropped.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // What each signal does from now on, on the watching thread, one at a time and in the order
  // they come; a signal that came before the call is handled by the action then in place.
  // Returns once no earlier action is still running, so that what it used may go.
  void OnSignal(std::function<void(int signal)> action);

  // The action in place when the program starts: flush the output streams, end with status 0.
  static void EndNow(int signal);

 private:
  sigset_t signals_;
  std::mutex action_mutex_;  // held while the action is changed or runs
  std::function<void(int)> action_;
  std::atomic<bool> closing_{false};
  std::thread watcher_;
};

}  // namespace sonlet
