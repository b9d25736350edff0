#include "support/private_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

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
  // Built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> args = {"dbus-daemon", "--session", "--nofork",
                                   "--address=unix:path=" + folder_ + "/bus",
                                   "--print-address=" + std::to_string(pipe_fds[1])};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);  // the test died before prctl took effect
    fcntl(pipe_fds[1], F_SETFD, 0);     // the one descriptor the daemon keeps
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);  // its notes, such as a file limit it may not raise
    execvp("dbus-daemon", argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    error_ = "fork failed";
    return;
  }
  pid_ = pid;

  std::string line;
  pollfd ready = {pipe_fds[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && poll(&ready, 1, kStartTimeoutMs) > 0) {
    char buffer[256];
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  if (line.find('\n') == std::string::npos) {
    error_ = "dbus-daemon did not start (scripts/install-deps installs the package dbus)";
    Stop();
    return;
  }
  address_ = line.substr(0, line.find('\n'));
}

PrivateBus::~PrivateBus() { Stop(); }

void PrivateBus::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
  }
}

}  // namespace sonlet
