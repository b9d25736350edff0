#include "audio/portaudio_diagnostics.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

// PortAudio's failed-check lines start so, as in
// "Expression 'err' failed in 'src/hostapi/alsa/pa_linux_alsa.c', line: 3665".
constexpr char kCheckLineStart[] = "Expression '";

struct Filter {
  int fd;
  std::string line;  // the unfinished line
  int check_lines = 0;
};

void write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to report it: the standard error stream itself failed
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void pass_line(Filter* filter) {
  const std::string& line = filter->line;
  if (line.compare(0, sizeof kCheckLineStart - 1, kCheckLineStart) == 0) {
    ++filter->check_lines;
    if (filter->check_lines > kPortAudioLinesKept) return;
    write_all(filter->fd, line.data(), line.size());
    if (filter->check_lines == kPortAudioLinesKept) {
      static constexpr char kNote[] =
          "sonlet: PortAudio's further failed-check lines are left out.\n";
      write_all(filter->fd, kNote, sizeof kNote - 1);
    }
    return;
  }
  write_all(filter->fd, line.data(), line.size());
}

// The stream's lock is held around every call, so one filter never sees two writers at once.
ssize_t filter_write(void* cookie, const char* data, size_t size) {
  auto* filter = static_cast<Filter*>(cookie);
  for (size_t i = 0; i < size; ++i) {
    filter->line.push_back(data[i]);
    if (data[i] == '\n') {
      pass_line(filter);
      filter->line.clear();
    }
  }
  // A line without its end yet, such as a prompt or the saturation line's "\r": let it out now
  // rather than hold it back, unless it may still turn into one of PortAudio's lines.
  if (!filter->line.empty() &&
      std::strncmp(filter->line.c_str(), kCheckLineStart,
                   std::min(filter->line.size(), sizeof kCheckLineStart - 1)) != 0) {
    write_all(filter->fd, filter->line.data(), filter->line.size());
    filter->line.clear();
  }
  return static_cast<ssize_t>(size);
}

int filter_close(void* cookie) {
  auto* filter = static_cast<Filter*>(cookie);
  if (!filter->line.empty()) pass_line(filter);
  delete filter;
  return 0;
}

}  // namespace

std::FILE* open_diagnostics_filter(int fd) {
  auto* filter = new Filter{fd, {}, 0};
  cookie_io_functions_t functions{};
  functions.write = filter_write;
  functions.close = filter_close;
  std::FILE* stream = fopencookie(filter, "w", functions);
  if (stream == nullptr) {
    delete filter;
    return nullptr;
  }
  // Unbuffered, as the standard error stream is: each message goes out when it is printed.
  std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

bool limit_portaudio_diagnostics(int fd) {
  std::FILE* stream = open_diagnostics_filter(fd);
  if (stream == nullptr) return false;
  // The C library lets a program set stderr as any other variable; PortAudio, Qt and Sonlet all
  // print through it.
  stderr = stream;
  return true;
}
