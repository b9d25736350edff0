#include "cli/output_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace sonlet {

OutputChannel::OutputChannel(std::FILE* file, std::string name, int initial_error)
    : file_(file), name_(std::move(name)), error_(initial_error) {}

OutputChannel OutputChannel::StandardOutput() {
  bool output_closed = false;
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is this one.
    const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) ::close(null);
    if (fd == STDOUT_FILENO) output_closed = true;
  }
  return OutputChannel(stdout, "standard output", output_closed ? EBADF : 0);
}

bool OutputChannel::Print(const char* format, ...) {
  if (error_.load() != 0) return false;
  va_list arguments;
  va_start(arguments, format);
  const int written = std::vfprintf(file_, format, arguments);
  va_end(arguments);
  return Check(written >= 0);
}

bool OutputChannel::Flush() {
  if (error_.load() != 0) return false;
  return Check(std::fflush(file_) == 0);
}

void OutputChannel::OnFailure(std::function<void()> action) {
  std::unique_lock<std::mutex> lock(action_mutex_);
  on_failure_ = std::move(action);
  if (error_.load() == 0 || told_ || !on_failure_) return;
  told_ = true;
  const std::function<void()> act = on_failure_;
  lock.unlock();
  act();
}

std::string OutputChannel::Failure() const {
  return "cannot write to " + name_ + ": " + std::strerror(error_.load());
}

bool OutputChannel::Check(bool written) {
  // A buffered stream may only notice the failure when it writes its buffer out, later than the
  // call that filled it: the error flag catches that too.
  if (written && !std::ferror(file_)) return true;
  int expected = 0;
  error_.compare_exchange_strong(expected, errno != 0 ? errno : EIO);
  std::function<void()> act;
  {
    std::lock_guard<std::mutex> lock(action_mutex_);
    if (told_ || !on_failure_) return false;
    told_ = true;
    act = on_failure_;
  }
  act();
  return false;
}

}  // namespace sonlet
