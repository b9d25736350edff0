// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace sonlet {

namespace {

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

pid_t StartChild(const ChildOptions& options) {
  // Built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> args = options.args;
  std::vector<std::string> environment = options.environment;
  const std::vector<char*> argv = NullTerminated(args);
  const std::vector<char*> envp = NullTerminated(environment);
  char* const* const child_environment = environment.empty() ? environ : envp.data();

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;

  if (options.user) {
    const uid_t id = *options.user;
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) _exit(126);
  }
  // Set after the change of user, which clears the parent-death signal.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(1);  // the test died before prctl took effect
  // A group of its own, linked to the test's by its parent: a test may freeze the child (SIGSTOP),
  // and the kernel wakes every stopped process of an orphaned group with SIGHUP and SIGCONT. The
  // test's own group is orphaned whenever the shell that started the run has gone, as under a
  // runner that started it in the background; the child's is not while the test lives.
  setpgid(0, 0);
  if (options.keep_fd >= 0) fcntl(options.keep_fd, F_SETFD, 0);
  const int null_fd = open("/dev/null", O_RDWR);
  int log_fd = null_fd;
  // Opened after the change of user, so that the file belongs to the child's user.
  if (!options.log.empty()) log_fd = open(options.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (log_fd < 0) log_fd = null_fd;
  dup2(null_fd, 0);
  dup2(options.stdout_to_log ? log_fd : null_fd, 1);
  dup2(log_fd, 2);
  execvpe(argv[0], argv.data(), child_environment);
  _exit(127);
}

bool ChildEnded(pid_t& pid) {
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) != pid) return false;
  pid = -1;
  return true;
}

void StopChild(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  kill(pid, SIGCONT);  // a test may have frozen it, and a frozen process does not end
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid = -1;
}

std::optional<std::string> ReadLine(int fd, int timeout_ms) {
  std::string text;
  pollfd ready = {fd, POLLIN, 0};
  while (text.find('\n') == std::string::npos && poll(&ready, 1, timeout_ms) > 0) {
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  const size_t end = text.find('\n');
  if (end == std::string::npos) return std::nullopt;
  return text.substr(0, end);
}

void RemoveFolder(std::string& folder) {
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  folder.clear();
}

bool ProgramInstalled(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

BusyCores::BusyCores() {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < cores; ++i) {
    loops_.push_back(StartChild({.args = {"sh", "-c", "while :; do :; done"}}));
  }
}

BusyCores::~BusyCores() {
  for (pid_t& loop : loops_) StopChild(loop);
}

}  // namespace sonlet
