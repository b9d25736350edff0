// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sonlet {

// A private KWin (KDE Plasma's compositor) for one test, on its virtual backend (no screen, no
// input devices), with its own runtime, data and configuration folders; the sibling of
// HeadlessSway, with the same accessors. KWin offers its fake input only to programs named by an
// installed desktop file: it gets one, in its own data folder, for each of `granted` (absolute
// paths). Stopped, by its process id, when this object goes and when the test process dies.
class HeadlessKWin {
 public:
  explicit HeadlessKWin(const std::vector<std::string>& granted);
  ~HeadlessKWin();
  HeadlessKWin(const HeadlessKWin&) = delete;
  HeadlessKWin& operator=(const HeadlessKWin&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Why it is not running; mentions a missing kwin_wayland so that the caller can skip.
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
