// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "cli/stop_signals.h"

namespace sonlet {

// --headless --suggest-threshold: hears the room for about three seconds, asks for an "aaa" at
// the user's normal voice, with Spanish prompts and, on a terminal, a level meter, and chooses
// the threshold (ThresholdProbe). The choice is written into the profile (--profile, or
// user.txt), the other five settings as they were: the user this is for may have no hands to
// type a number into a file. Listens to the microphone, or to a recording of the room followed
// by the voice (--input). Returns the exit status: 0 once the profile is written, 1 when it
// cannot be read or written, 2 when the voice was not clearly louder than the room, the sound
// ended first or a stop signal came (the profile is then left as it was).
int RunThresholdGuide(const CommandLine& line, StopSignals& stop_signals,
                      OutputChannel& standard_output);

}  // namespace sonlet
