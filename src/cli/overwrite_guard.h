// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "cli/command_line.h"

namespace sonlet {

// Whether the two paths name one existing file, under whatever names or links.
bool SameFile(const std::string& a, const std::string& b);

// Why a file the program writes may not be written where the command line says, or "" when it
// may: it is one of the program's own inputs (the recording, a take, the calibration, the
// settings file or the panel's options beside it), which writing would destroy. `what` names
// the output as the message speaks of it: "trace", "calibration".
std::string OverwriteRefusal(const CommandLine& line, const std::string& output,
                             const std::string& what);

}  // namespace sonlet
