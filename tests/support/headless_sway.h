// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>

namespace sonlet {

// A private sway for one test, on the headless backend (no screen, no input devices), with its
// own runtime folder. sway refuses to run as root, so a test run by root starts it as the user
// nobody. Every window with app_id "sonlet-observer" fills the output and has no border, so that
// surface coordinates are output coordinates. Stopped, by its process id, when this object goes
// and when the test process dies.
class HeadlessSway {
 public:
  HeadlessSway();
  ~HeadlessSway();
  HeadlessSway(const HeadlessSway&) = delete;
  HeadlessSway& operator=(const HeadlessSway&) = delete;

  bool running() const { return pid_ > 0; }
  // For a test that freezes the compositor (SIGSTOP) to see what its clients do then.
  pid_t pid() const { return pid_; }
  // Why it is not running; mentions a missing sway so that the caller can skip.
  const std::string& error() const { return error_; }
  bool missing() const { return missing_; }
  // The compositor's socket as an absolute path: WAYLAND_DISPLAY may name it so.
  const std::string& socket() const { return socket_; }

 private:
  pid_t pid_ = -1;
  std::string folder_;
  std::string socket_;
  std::string error_;
  bool missing_ = false;
};

}  // namespace sonlet
