// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sonlet {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The current environment with the changes applied, built before fork: after it, only calls that
// are safe in a child of a threaded process may be made.
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(environment, [&](const std::string& entry) {
      return entry.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (change.find('=') != std::string::npos) environment.push_back(change);
  }
  return environment;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& directory,
                      const std::vector<std::string>& environment_changes) {
  std::vector<std::string> environment = ChangedEnvironment(environment_changes);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> arguments = args;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);

  char out_path[] = "/tmp/sonlet-out-XXXXXX";
  char err_path[] = "/tmp/sonlet-err-XXXXXX";
  const int out_fd = mkstemp(out_path);
  const int err_fd = mkstemp(err_path);
  ProgramRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int wait_status = 0;
  if (pid > 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    run.status = WEXITSTATUS(wait_status);
  }
  close(out_fd);
  close(err_fd);
  run.out = Slurp(out_path);
  run.err = Slurp(err_path);
  std::remove(out_path);
  std::remove(err_path);
  return run;
}

}  // namespace sonlet
