// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/portaudio_diagnostics.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sonlet {

namespace {

// PortAudio's failed-check lines start so, as in
// "Expression 'err' failed in 'src/hostapi/alsa/pa_linux_alsa.c', line: 3665".
constexpr char kCheckLineStart[] = "Expression '";

// Trivially destructible, so that the process's filter can live in static storage and still
// serve whatever is printed while the program ends.
struct Filter {
  int fd;
  bool owned;  // made by open_diagnostics_filter, freed when its stream closes
  int check_lines;
  size_t length;    // of the unfinished line
  char line[1024];  // the unfinished line; a longer one goes out in pieces
};

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to report it: the standard error stream itself failed
    data += n;
    size -= static_cast<size_t>(n);
  }
}

bool IsCheckLineStart(const Filter& filter) {
  return std::strncmp(filter.line, kCheckLineStart,
                      std::min(filter.length, sizeof kCheckLineStart - 1)) == 0;
}

void PassLine(Filter* filter) {
  const bool check_line = filter->length >= sizeof kCheckLineStart - 1 && IsCheckLineStart(*filter);
  if (check_line && ++filter->check_lines > kPortAudioLinesKept) return;
  WriteAll(filter->fd, filter->line, filter->length);
  if (check_line && filter->check_lines == kPortAudioLinesKept) {
    static constexpr char kNote[] =
        "sonlet: PortAudio's further failed-check lines are left out.\n";
    WriteAll(filter->fd, kNote, sizeof kNote - 1);
  }
}

// The stream's lock is held around every call, so one filter never sees two writers at once.
ssize_t FilterWrite(void* cookie, const char* data, size_t size) {
  auto* filter = static_cast<Filter*>(cookie);
  for (size_t i = 0; i < size; ++i) {
    filter->line[filter->length++] = data[i];
    if (data[i] == '\n' || filter->length == sizeof filter->line) {
      PassLine(filter);
      filter->length = 0;
    }
  }
  // A line without its end yet, such as the saturation line that ends in a return: let it out
  // now rather than hold it back, unless it may still turn into one of PortAudio's lines.
  if (filter->length > 0 && !IsCheckLineStart(*filter)) {
    WriteAll(filter->fd, filter->line, filter->length);
    filter->length = 0;
  }
  return static_cast<ssize_t>(size);
}

int FilterClose(void* cookie) {
  auto* filter = static_cast<Filter*>(cookie);
  if (filter->length > 0) PassLine(filter);
  filter->length = 0;
  if (filter->owned) delete filter;
  return 0;
}

std::FILE* OpenStream(Filter* filter) {
  cookie_io_functions_t functions{};
  functions.write = FilterWrite;
  functions.close = FilterClose;
  std::FILE* stream = fopencookie(filter, "w", functions);
  // Unbuffered, as the standard error stream is: each message goes out when it is printed.
  if (stream != nullptr) std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

}  // namespace

std::FILE* OpenDiagnosticsFilter(int fd) {
  auto* filter = new Filter{fd, true, 0, 0, {}};
  std::FILE* stream = OpenStream(filter);
  if (stream == nullptr) delete filter;
  return stream;
}

bool LimitPortaudioDiagnostics(int fd) {
  static Filter process_filter{fd, false, 0, 0, {}};
  std::FILE* stream = OpenStream(&process_filter);
  if (stream == nullptr) return false;
  // The C library lets a program set stderr as any other variable; PortAudio, Qt and Sonlet all
  // print through it.
  stderr = stream;
  return true;
}

}  // namespace sonlet
