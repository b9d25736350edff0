// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/live_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string CommandOutput(const char* command) {
  std::string text;
  if (std::FILE* pipe = popen(command, "r")) {
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    pclose(pipe);
  }
  return text;
}

}  // namespace

LiveProgram::LiveProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment) {
  char out_path[] = "/tmp/sonlet-live-out-XXXXXX";
  char err_path[] = "/tmp/sonlet-live-err-XXXXXX";
  const int out_fd = mkstemp(out_path);
  const int err_fd = mkstemp(err_path);
  out_path_ = out_path;
  err_path_ = err_path;
  // The test's environment with the given variables put in, made before the fork.
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string variable = *e;
    bool replaced = false;
    for (const std::string& mine : environment)
      replaced |= variable.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
    if (!replaced) envp.push_back(*e);
  }
  for (const std::string& mine : environment) envp.push_back(const_cast<char*>(mine.c_str()));
  envp.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    // A program that runs away must not outlive a test that was killed for taking too long, nor
    // fill the disk with what it prints: past 256 MiB in a file it gets SIGXFSZ and ends, and the
    // test sees an abnormal end.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);  // safe to freeze: see StartChild in tests/support/child_process.cpp
    const rlimit file_size{256 << 20, 256 << 20};
    setrlimit(RLIMIT_FSIZE, &file_size);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_fd);
  close(err_fd);
}

LiveProgram::~LiveProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::remove(out_path_.c_str());
  std::remove(err_path_.c_str());
}

std::string LiveProgram::out() const { return Slurp(out_path_); }
std::string LiveProgram::err() const { return Slurp(err_path_); }

bool LiveProgram::WaitFor(const std::function<bool(const std::string&, const std::string&)>& done,
                          std::chrono::milliseconds limit) const {
  const Clock::time_point end = Clock::now() + limit;
  for (;;) {
    if (done(out(), err())) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

bool LiveProgram::WaitUntilListening(std::chrono::milliseconds limit) const {
  const std::string mine = "application.process.id = \"" + std::to_string(pid_) + "\"";
  const Clock::time_point end = Clock::now() + limit;
  for (;;) {
    if (CommandOutput("pactl list source-outputs 2>/dev/null").find(mine) != std::string::npos)
      return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(50ms);
  }
}

bool LiveProgram::WaitUntilItTakesSignals(std::chrono::milliseconds limit) const {
  const unsigned long long wanted = (1ULL << (SIGINT - 1)) | (1ULL << (SIGTERM - 1)) |
                                    (1ULL << (SIGHUP - 1)) | (1ULL << (SIGQUIT - 1));
  const Clock::time_point end = Clock::now() + limit;
  for (;;) {
    std::istringstream status(Slurp("/proc/" + std::to_string(pid_) + "/status"));
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigBlk:", 0) != 0) continue;
      if ((std::stoull(line.substr(7), nullptr, 16) & wanted) == wanted) return true;
    }
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(2ms);
  }
}

int LiveProgram::Stop(int signal, std::chrono::milliseconds limit) {
  if (pid_ > 0) kill(pid_, signal);
  return Wait(limit);
}

int LiveProgram::Wait(std::chrono::milliseconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t got = waitpid(pid_, &status, WNOHANG);
    if (got == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (Clock::now() >= end) return -1;
    std::this_thread::sleep_for(20ms);
  }
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace sonlet
