// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>

#include "cli/command_line.h"
#include "cli/program_control.h"
#include "remote/remote_service.h"

namespace sonlet {

// The headless run on the session bus, so that sonlet --stop and the like reach it. Only a run
// that goes on in real time takes the bus: from the microphone, or a recording played with
// --realtime. A recording read at full speed is over in moments and needs none. Without a
// session bus the run goes on as it would, unreachable.
//
// While the engine runs, the main thread, which otherwise only waits for it, serves the bus in
// a Qt event loop; a thread of this server's waits for the engine's end and then ends the loop.
class HeadlessBus : public ControlServer {
 public:
  // line, argc and argv must outlive the server; Qt keeps argc and argv.
  HeadlessBus(const CommandLine& line, int& argc, char** argv)
      : line_(line), argc_(argc), argv_(argv) {}
  ~HeadlessBus() override;

  // Refuses, with status 2, when another Sonlet runs in this session and this one would move
  // the pointer too: two would fight over it. One whose events go to the log or nowhere runs
  // beside it, unreachable, and says so. A bus that does not answer holds the run up a few
  // seconds at most (kBusAnswerLimitMs, kCallLimitMs); the run then goes on without it.
  int Open() override;
  void ServeUntil(ProgramControl& control, const std::function<void()>& wait_for_end) override;

 private:
  bool MovesThePointer() const { return line_.output != "log" && line_.output != "none"; }

  const CommandLine& line_;
  int& argc_;
  char** argv_;
  std::unique_ptr<QCoreApplication> application_;
  std::unique_ptr<RemoteService> service_;  // while it owns the name
};

}  // namespace sonlet
