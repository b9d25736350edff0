// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sonlet {

// A private X server for one test: Xvfb on a display number it finds free itself, 1024x768,
// reachable only through its local socket. Stopped when this object goes, and also when the test
// process dies, so no server outlives its test.
class XvfbServer {
 public:
  static constexpr int kWidth = 1024;
  static constexpr int kHeight = 768;

  // Starts the server and waits until it accepts connections. extra_args go on its command line
  // (e.g. {"-extension", "XTEST"} to start it without XTEST).
  explicit XvfbServer(const std::vector<std::string>& extra_args = {});
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool running() const { return pid_ > 0; }
  // For a test that freezes the server (SIGSTOP) to see what its clients do then.
  pid_t pid() const { return pid_; }
  const std::string& error() const { return error_; }      // why it is not running
  const std::string& display() const { return display_; }  // e.g. ":3"

  // Stops the server and waits for it to end.
  void Stop();

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace sonlet
