#include "app/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

ProgramRun run_program(const std::string& program, const std::vector<std::string>& args,
                       const std::string& directory) {
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
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int wait_status = 0;
  if (pid > 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    run.status = WEXITSTATUS(wait_status);
  }
  close(out_fd);
  close(err_fd);
  run.out = slurp(out_path);
  run.err = slurp(err_path);
  std::remove(out_path);
  std::remove(err_path);
  return run;
}
