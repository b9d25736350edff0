// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>

namespace sonlet {

// GNOME's compositor, mutter, running headless (one virtual 1280x720 monitor, no X11) for one
// test, on the private session bus whose address it is given, with a runtime folder and a home
// of its own. Stopped, by its process id, when this object goes, and also when the test process
// dies.
class HeadlessMutter {
 public:
  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 720;

  // Starts mutter and waits until it serves org.gnome.Mutter.RemoteDesktop on the bus and
  // accepts Wayland clients.
  explicit HeadlessMutter(const std::string& bus_address);
  ~HeadlessMutter();
  HeadlessMutter(const HeadlessMutter&) = delete;
  HeadlessMutter& operator=(const HeadlessMutter&) = delete;

  // Whether the mutter program is there at all (scripts/install-deps installs it).
  static bool Installed();

  bool running() const { return pid_ > 0; }
  // For a test that stops the compositor for a moment (SIGSTOP), as a busy one stalls.
  pid_t pid() const { return pid_; }
  const std::string& error() const { return error_; }  // why it is not running, with its log
  // The compositor's Wayland socket, an absolute path.
  std::string WaylandSocket() const { return folder_ + "/" + kDisplayName; }

  void Stop();

 private:
  static constexpr char kDisplayName[] = "sonlet-test";
  bool ServesRemoteDesktop(const std::string& bus_address) const;
  std::string Log() const;

  pid_t pid_ = -1;
  std::string folder_;
  std::string error_;
};

}  // namespace sonlet
