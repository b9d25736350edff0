// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/xvfb_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>

#include "support/child_process.h"

namespace sonlet {

namespace {

constexpr int kStartTimeoutMs = 10000;

}  // namespace

XvfbServer::XvfbServer(const std::vector<std::string>& extra_args) {
  // Xvfb picks a free display number and writes it to this pipe once it accepts connections.
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  std::vector<std::string> args = {
      "Xvfb", "-displayfd", std::to_string(pipe_fds[1]), "-screen", "0",
      std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24",
      // Only the local socket, and no reset when the last client leaves: a reset puts the
      // pointer back in the middle of the screen between two programs of one test.
      "-nolisten", "tcp", "-noreset"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  // Its notes about the keyboard map, on standard error, are of no interest: /dev/null.
  const pid_t pid = StartChild({.args = args, .keep_fd = pipe_fds[1]});
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    error_ = "fork failed";
    return;
  }
  pid_ = pid;

  const std::optional<std::string> number = ReadLine(pipe_fds[0], kStartTimeoutMs);
  close(pipe_fds[0]);
  if (!number) {
    error_ = "Xvfb did not start (scripts/install-deps installs the package xvfb)";
    Stop();
    return;
  }
  display_ = ":" + *number;
}

XvfbServer::~XvfbServer() { Stop(); }

void XvfbServer::Stop() { StopChild(pid_); }

}  // namespace sonlet
