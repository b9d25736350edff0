// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "cli/program_control.h"
#include "cli/stop_signals.h"

namespace sonlet {

// Runs the engine without the panel, as the command line asks, and returns the exit status.
// A signal stops it at any moment: before listening begins it ends at once with its summary;
// while listening, the engine stops at the end of its pass, the log and the trace are written
// out, what the input holds is released and the summary printed.
//
// With a server (the session bus), the run may also be asked from outside to start or stop
// listening or to end; it ends then as on a signal. Without one, nothing else can reach it.
int RunHeadless(const CommandLine& line, StopSignals& stop_signals, OutputChannel& standard_output,
                ControlServer* server = nullptr);

}  // namespace sonlet
