// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/output_channel.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstring>

namespace sonlet {

namespace {

// How long a write may still wait for a stalled reader once the program is ending.
constexpr std::chrono::milliseconds kLastWait{1000};

// The error the channel remembers when it gave up on a reader that stopped reading.
constexpr int kReaderStalled = ETIME;

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// Writes to a descriptor that may be a pipe or a terminal, whose reader decides when a write
// may go on. A write waits in poll() beside a wake-up descriptor, never inside write() itself,
// so that StopWaiting reaches it.
class OutputChannel::DescriptorWriter {
 public:
  explicit DescriptorWriter(int descriptor) : descriptor_(descriptor) {
    struct stat info {};
    // A file on disk never waits for a reader: it is written as it comes.
    waits_for_reader_ =
        ::fstat(descriptor, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode));
    if (waits_for_reader_) wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  }
  ~DescriptorWriter() {
    if (wake_ >= 0) ::close(wake_);
  }
  DescriptorWriter(const DescriptorWriter&) = delete;
  DescriptorWriter& operator=(const DescriptorWriter&) = delete;

  // The stream's write: all of data, or -1 with errno. What a stalled reader leaves unwritten
  // after the last wait is counted as given up and reported written, so that the stream keeps
  // no half-written buffer.
  ssize_t Write(const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      if (waits_for_reader_ && !WaitUntilWritable()) {
        given_up_.fetch_add(size - done);
        return static_cast<ssize_t>(size);
      }
      // A pipe that poll() finds writable takes PIPE_BUF bytes without waiting.
      const size_t chunk =
          waits_for_reader_ ? std::min<size_t>(size - done, PIPE_BUF) : size - done;
      ssize_t written = 0;
      if (waits_for_reader_ && nowait_) {
        iovec piece{const_cast<char*>(data + done), chunk};
        written = ::pwritev2(descriptor_, &piece, 1, -1, RWF_NOWAIT);
        if (written < 0 && (errno == EOPNOTSUPP || errno == EINVAL)) {
          nowait_ = false;  // a terminal, or an older kernel: poll() alone decides
          continue;
        }
      } else {
        written = ::write(descriptor_, data + done, chunk);
      }
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return -1;
      }
      done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(size);
  }

  void StopWaiting() {
    int64_t none = 0;
    deadline_ns_.compare_exchange_strong(
        none, Now() + std::chrono::duration_cast<std::chrono::nanoseconds>(kLastWait).count());
    if (wake_ >= 0) {
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t ignored = ::write(wake_, &one, sizeof one);
    }
  }

  uint64_t given_up() const { return given_up_.load(); }

 private:
  // False when the program is ending and the reader has not taken more before the last wait
  // ran out.
  bool WaitUntilWritable() {
    for (;;) {
      const int64_t deadline = deadline_ns_.load();
      int timeout_ms = -1;
      if (deadline != 0) {
        timeout_ms =
            static_cast<int>(std::max<int64_t>(0, (deadline - Now() + 999'999) / 1'000'000));
      }
      pollfd watched[2] = {{descriptor_, POLLOUT, 0}, {wake_, POLLIN, 0}};
      const nfds_t count = deadline == 0 && wake_ >= 0 ? 2 : 1;
      const int ready = ::poll(watched, count, timeout_ms);
      if (ready < 0) {
        if (errno == EINTR) continue;
        return true;  // the write itself tells what is wrong
      }
      // Writable, or an error (the reader gone) that the write reports.
      if (watched[0].revents != 0) return true;
      if (ready == 0) return false;
      // Woken: the program is ending; wait again, now with a limit.
    }
  }

  int descriptor_;
  bool waits_for_reader_ = true;
  bool nowait_ = true;  // the kernel refuses a write that would wait (RWF_NOWAIT)
  int wake_ = -1;
  std::atomic<int64_t> deadline_ns_{0};  // 0 while the program is not ending
  std::atomic<uint64_t> given_up_{0};    // bytes
};

OutputChannel::OutputChannel(std::FILE* file, std::string name, int initial_error)
    : file_(file), name_(std::move(name)), error_(initial_error) {}

OutputChannel::OutputChannel(int descriptor, std::string name, int initial_error)
    : writer_(std::make_unique<DescriptorWriter>(descriptor)),
      file_(nullptr),
      name_(std::move(name)),
      error_(initial_error) {
  cookie_io_functions_t functions{};
  functions.write = [](void* cookie, const char* data, size_t size) {
    return static_cast<DescriptorWriter*>(cookie)->Write(data, size);
  };
  file_ = ::fopencookie(writer_.get(), "w", functions);
  if (file_ == nullptr) {
    // Without memory for a stream of its own, standard output as it is: only the last wait
    // cannot be ended then.
    writer_.reset();
    file_ = stdout;
  }
}

OutputChannel::~OutputChannel() {
  if (writer_ == nullptr) return;
  // The program is ending: what is left goes out as far as the reader takes it.
  writer_->StopWaiting();
  std::fclose(file_);
}

OutputChannel OutputChannel::StandardOutput() {
  bool output_closed = false;
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is this one.
    const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) ::close(null);
    if (fd == STDOUT_FILENO) output_closed = true;
  }
  return OutputChannel(STDOUT_FILENO, "standard output", output_closed ? EBADF : 0);
}

void OutputChannel::LineBuffered() { std::setvbuf(file_, nullptr, _IOLBF, 0); }

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

void OutputChannel::StopWaiting() {
  if (writer_ != nullptr) writer_->StopWaiting();
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
  if (error_.load() == kReaderStalled && writer_ != nullptr) {
    return "cannot write to " + name_ + ": its reader stopped reading, and the last " +
           std::to_string(writer_->given_up()) + " bytes were not written";
  }
  return "cannot write to " + name_ + ": " + std::strerror(error_.load());
}

bool OutputChannel::Check(bool written) {
  const bool stalled = writer_ != nullptr && writer_->given_up() > 0;
  // A buffered stream may only notice the failure when it writes its buffer out, later than the
  // call that filled it: the error flag catches that too.
  if (written && !std::ferror(file_) && !stalled) return true;
  int expected = 0;
  const int error = stalled && !std::ferror(file_) ? kReaderStalled : errno != 0 ? errno : EIO;
  error_.compare_exchange_strong(expected, error);
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
