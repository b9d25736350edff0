// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace sonlet {

// The command line's side of the session bus: sonlet --status, --start, --stop, --toggle,
// --quit and --action ask the Sonlet running in this session (command is "status", "start",
// "stop", "toggle", "quit" or "action", whose pointer action is `action`). The answer,
// "listening" or "stopped", or for --action the action then in force, goes to standard output;
// --quit prints nothing and returns once that Sonlet has ended (it saves its settings first).
// Returns the exit status: 0 when done; 1 when no Sonlet runs in this session; 2 when there is
// no session bus, or it or the running one did not answer. Every request has a limit of a few
// seconds (kCallLimitMs); --quit then waits some longer for the end. Needs a QCoreApplication.
int RunRemoteCommand(const std::string& command, const std::string& action = "");

// What came of asking the session's Sonlet to bring its panel to the front.
enum class RaiseResult {
  kRaised,   // its panel is in front now
  kNoPanel,  // it runs headless: there is no panel to show
  kGone,     // it ended meanwhile
  kSilent,   // it still holds the name but did not answer in time; *why says what to do
  kFailed,   // it answered with an error, or there is no bus; *why says what happened
};

RaiseResult RaiseRunningPanel(std::string* why);

}  // namespace sonlet
