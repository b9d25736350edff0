#pragma once

#include "cli/command_line.h"

namespace sonlet {

// Runs the engine without the panel, as the command line asks, and returns the exit status.
int RunHeadless(const CommandLine& line);

}  // namespace sonlet
