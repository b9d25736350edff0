// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace sonlet {

// A helper program that a test harness starts (an X server, a bus, a compositor) and stops again.
// Every member has an initializer, so that a designated initializer may leave any of them out.
struct ChildOptions {
  std::vector<std::string> args = {};  // args[0] is the program, looked up in PATH
  // The child's whole environment; empty keeps the test's own.
  std::vector<std::string> environment = {};
  // A descriptor made with O_CLOEXEC that the child keeps open all the same, e.g. the end of a
  // pipe on which it says that it is ready; -1 for none.
  int keep_fd = -1;
  // Where standard error goes: this file, made anew, or /dev/null when empty. Standard input is
  // always /dev/null.
  std::string log = {};
  bool stdout_to_log = false;  // else standard output goes to /dev/null
  // The user and group the child runs as, e.g. for a program that refuses to run as root.
  std::optional<uid_t> user = {};
};

// Starts the child; it gets SIGTERM when the test process dies, so that none outlives its test.
// Returns its process id, or -1 when fork fails. A child that cannot run its program ends with
// status 127 (126 when it cannot change to the user).
pid_t StartChild(const ChildOptions& options);

// If the child has ended (it is reaped then), sets pid to -1 and returns true.
bool ChildEnded(pid_t& pid);

// Sends the child SIGTERM and waits for it to end; sets pid to -1. Does nothing if pid <= 0.
void StopChild(pid_t& pid);

// Reads from fd until a newline, the end of input, or timeout_ms without anything to read.
// Returns the text before the newline, or nothing when no whole line came.
std::optional<std::string> ReadLine(int fd, int timeout_ms);

// Removes the folder and all in it, if folder is not empty, and clears folder.
void RemoveFolder(std::string& folder);

// Whether an executable of this name is in one of the folders of PATH.
bool ProgramInstalled(const std::string& name);

// A busy loop on every core for as long as it lives: the machine of a user who compiles or
// watches a video beside Sonlet.
class BusyCores {
 public:
  BusyCores();
  ~BusyCores();
  BusyCores(const BusyCores&) = delete;
  BusyCores& operator=(const BusyCores&) = delete;

 private:
  std::vector<pid_t> loops_;
};

}  // namespace sonlet
