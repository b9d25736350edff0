// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace sonlet {

// A program running beside the test, as a user runs sonlet from a terminal: its standard output
// and error are collected while it runs, and it is stopped with a signal.
class LiveProgram {
 public:
  // Starts program with args; `environment` adds or replaces variables ("NAME=value").
  LiveProgram(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& environment = {});
  ~LiveProgram();  // kills it if it still runs
  LiveProgram(const LiveProgram&) = delete;
  LiveProgram& operator=(const LiveProgram&) = delete;

  pid_t pid() const { return pid_; }
  std::string out() const;
  std::string err() const;

  // Waits until `done` holds for (stdout, stderr) or `limit` has passed; returns whether it held.
  bool WaitFor(const std::function<bool(const std::string&, const std::string&)>& done,
               std::chrono::milliseconds limit) const;

  // Waits until the program records from the sound server (its stream shows there).
  bool WaitUntilListening(std::chrono::milliseconds limit) const;

  // Waits until the program has begun to take the stop signals itself (they show as blocked in
  // its status): a signal sent before that, while the system still loads it, ends it as any
  // program would be ended, which no code of its own can change.
  bool WaitUntilItTakesSignals(std::chrono::milliseconds limit) const;

  // Sends `signal` and waits for the end; returns the exit status, -1 when it did not exit
  // normally or not within `limit`.
  int Stop(int signal, std::chrono::milliseconds limit);
  // Waits for the end without a signal.
  int Wait(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  std::string out_path_;
  std::string err_path_;
};

std::vector<std::string> LinesOf(const std::string& text);

}  // namespace sonlet
