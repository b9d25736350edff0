#pragma once

#include <string>

namespace sonlet {

// The command line's side of the session bus: sonlet --status, --start, --stop, --toggle and
// --quit ask the Sonlet running in this session (command is "status", "start", "stop",
// "toggle" or "quit"). The answer, "listening" or "stopped", goes to standard output; --quit
// prints nothing and returns once that Sonlet has ended (it saves its settings first).
// Returns the exit status: 0 when done; 1 when no Sonlet runs in this session; 2 when there is
// no session bus or the running one did not answer. Needs a QCoreApplication.
int RunRemoteCommand(const std::string& command);

// What came of asking the session's Sonlet to bring its panel to the front.
enum class RaiseResult {
  kRaised,   // its panel is in front now
  kNoPanel,  // it runs headless: there is no panel to show
  kGone,     // it ended meanwhile
  kFailed,   // it did not answer; *why says what happened
};

RaiseResult RaiseRunningPanel(std::string* why);

}  // namespace sonlet
