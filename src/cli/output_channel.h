// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace sonlet {

// A stream the program writes its results to (standard output, with the events, the trace or
// the numeric warnings; or the trace file), watched for failure. The first write that fails (a
// full disk, a closed or broken pipe) is remembered with its error number and the program is
// told once, so that it can stop rather than go on writing into nothing.
//
// Standard output may be a pipe whose reader stops reading. A write then waits, as it must
// while a slow reader catches up; but once the program is ending (StopWaiting), the wait lasts
// at most a second in all, so that a stop signal or --quit is never held up by someone else's
// stalled program. What the reader still takes by then is written; the rest is given up, and
// the channel counts as failed.
class OutputChannel {
 public:
  // `name` names the stream in messages: "standard output", "the trace file 'x.csv'".
  // initial_error: the error number of a stream that cannot be written from the start, or 0.
  // The caller keeps owning file.
  OutputChannel(std::FILE* file, std::string name, int initial_error = 0);
  ~OutputChannel();
  OutputChannel(const OutputChannel&) = delete;
  OutputChannel& operator=(const OutputChannel&) = delete;

  // Standard output, made safe to use first: when the program was started with it closed, a
  // file opened later would take its number and receive what is meant for it, so /dev/null is
  // put in its place (and in standard input's and standard error's) and the channel counts as
  // failed from the start. Its writes go to the descriptor through a stream of its own, whose
  // waits StopWaiting can end. Call first thing in main, before anything opens a file.
  static OutputChannel StandardOutput();

  // Lets each line out as it is written, for events in real time that a program may be
  // waiting for. Call before the first write.
  void LineBuffered();

  // Writes as printf does; false when the stream has failed, now or before.
  bool Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes out what the stream buffers; false when the stream has failed.
  bool Flush();

  // Any thread, any number of times: the program is ending. From now on a write that waits for
  // the reader gives up one second after the first call, and any later one at once.
  void StopWaiting();

  // Called once, on the thread of the write that fails first (or at once when the stream has
  // failed already).
  void OnFailure(std::function<void()> action);

  // 0, or the error number of the first failure.
  int error() const { return error_.load(); }
  // "cannot write to standard output: No space left on device".
  std::string Failure() const;

 private:
  class DescriptorWriter;  // the waits of a descriptor that may be a pipe

  OutputChannel(int descriptor, std::string name, int initial_error);
  bool Check(bool written);

  std::unique_ptr<DescriptorWriter> writer_;  // null for a stream the caller owns
  std::FILE* file_;
  std::string name_;
  std::atomic<int> error_{0};
  std::mutex action_mutex_;
  std::function<void()> on_failure_;
  bool told_ = false;  // under action_mutex_
};

}  // namespace sonlet
