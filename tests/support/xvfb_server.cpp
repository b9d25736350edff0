#include "support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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
  // Built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> args = {
      "Xvfb", "-displayfd", std::to_string(pipe_fds[1]), "-screen", "0",
      std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24",
      // Only the local socket, and no reset when the last client leaves: a reset puts the
      // pointer back in the middle of the screen between two programs of one test.
      "-nolisten", "tcp", "-noreset"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);  // the test died before prctl took effect
    fcntl(pipe_fds[1], F_SETFD, 0);     // the one descriptor Xvfb keeps
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);  // Xvfb's notes about the keyboard map are of no interest here
    execvp("Xvfb", argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    error_ = "fork failed";
    return;
  }
  pid_ = pid;

  std::string number;
  pollfd ready = {pipe_fds[0], POLLIN, 0};
  while (number.find('\n') == std::string::npos && poll(&ready, 1, kStartTimeoutMs) > 0) {
    char buffer[16];
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  if (number.find('\n') == std::string::npos) {
    error_ = "Xvfb did not start (scripts/install-deps installs the package xvfb)";
    Stop();
    return;
  }
  display_ = ":" + number.substr(0, number.find('\n'));
}

XvfbServer::~XvfbServer() { Stop(); }

void XvfbServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace sonlet
