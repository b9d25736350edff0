// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace sonlet {

// A private Wayland compositor for one test, in a folder of its own under /tmp: what every
// headless compositor the tests start shares. Stopped, by its process id, and its folder
// removed, when this object goes (and stopped when the test process dies).
class HeadlessCompositor {
 public:
  ~HeadlessCompositor();
  HeadlessCompositor(const HeadlessCompositor&) = delete;
  HeadlessCompositor& operator=(const HeadlessCompositor&) = delete;

  bool running() const { return pid_ > 0; }
  // For a test that freezes the compositor (SIGSTOP) to see what its clients do then.
  pid_t pid() const { return pid_; }
  // Why it is not running; mentions a missing compositor so that the caller can skip.
  const std::string& error() const { return error_; }
  bool missing() const { return missing_; }
  // The compositor's socket as an absolute path: WAYLAND_DISPLAY may name it so.
  const std::string& socket() const { return socket_; }

 protected:
  HeadlessCompositor() = default;

  // Makes folder_ from a mkdtemp pattern; false (with error_) when it cannot.
  bool MakeFolder(const char* pattern);
  // Waits until socket_ is set by found() (called every 20 ms, true once the socket takes
  // clients) or the compositor `name` ends or the limit passes; the error then quotes `log`.
  void AwaitSocket(const std::string& name, const std::string& log, std::chrono::seconds limit,
                   const std::function<bool()>& found);

  pid_t pid_ = -1;
  std::string folder_;
  std::string socket_;
  std::string error_;
  bool missing_ = false;
};

}  // namespace sonlet
