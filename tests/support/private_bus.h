// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>

namespace sonlet {

// A private D-Bus session bus for one test: dbus-daemon --session on a socket in a folder of its
// own, so that nothing the test does reaches the user's session, and no Sonlet of the user's
// answers the test. Stopped, by its process id, when this object goes, and also when the test
// process dies.
class PrivateBus {
 public:
  // Starts the daemon and waits until it accepts connections.
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  const std::string& error() const { return error_; }      // why it is not running
  const std::string& address() const { return address_; }  // for DBUS_SESSION_BUS_ADDRESS
  std::string Environment() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }
  // The folder of its socket, "bus", as a session's runtime folder holds it.
  const std::string& folder() const { return folder_; }

  void Stop();

  // Stops the daemon where it stands (SIGSTOP) and lets it go on again: a frozen bus, whose
  // socket still takes connections and never answers on them.
  void Freeze();
  void Thaw();

 private:
  pid_t pid_ = -1;
  std::string folder_;
  std::string address_;
  std::string error_;
};

}  // namespace sonlet
