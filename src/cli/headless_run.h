#pragma once

#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "cli/stop_signals.h"

namespace sonlet {

// Runs the engine without the panel, as the command line asks, and returns the exit status.
// A signal stops it at any moment: before listening begins it ends at once with its summary;
// while listening, the engine stops at the end of its pass, the log and the trace are written
// out, what the input holds is released and the summary printed.
int RunHeadless(const CommandLine& line, StopSignals& stop_signals, OutputChannel& standard_output);

}  // namespace sonlet
