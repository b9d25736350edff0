// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "support/child_process.h"

namespace sonlet {

namespace {

constexpr int kStartTimeoutMs = 10000;

}  // namespace

PrivateBus::PrivateBus() {
  char folder[] = "/tmp/sonlet-bus-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    error_ = "cannot make a folder for the bus";
    return;
  }
  folder_ = folder;
  // The daemon writes its address to this pipe once it accepts connections.
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  // Its notes on standard error, such as a file limit it may not raise, go to /dev/null.
  const pid_t pid = StartChild(
      {.args = {"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + folder_ + "/bus",
                "--print-address=" + std::to_string(pipe_fds[1])},
       .keep_fd = pipe_fds[1]});
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    error_ = "fork failed";
    return;
  }
  pid_ = pid;

  const std::optional<std::string> line = ReadLine(pipe_fds[0], kStartTimeoutMs);
  close(pipe_fds[0]);
  if (!line) {
    error_ = "dbus-daemon did not start (scripts/install-deps installs the package dbus)";
    Stop();
    return;
  }
  address_ = *line;
}

PrivateBus::~PrivateBus() { Stop(); }

void PrivateBus::Stop() {
  Thaw();  // a stopped daemon would hold its SIGTERM
  StopChild(pid_);
  RemoveFolder(folder_);
}

void PrivateBus::Freeze() {
  if (pid_ > 0) kill(pid_, SIGSTOP);
}

void PrivateBus::Thaw() {
  if (pid_ > 0) kill(pid_, SIGCONT);
}

}  // namespace sonlet
