// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "cli/stop_signals.h"

namespace sonlet {

// --headless --calibrate OUT: a calibration by voice on the terminal, one vowel at a time, with
// the panel's Spanish prompts and, on a terminal, a level meter that shows the voice against
// the threshold and the take filling up. Listens to the microphone, or to a recording of the
// takes one after another (--input). Returns the exit status: 0 once OUT is written, 2 when
// the sound ended or a signal came first (OUT is then left as it was).
int RunGuidedCalibration(const CommandLine& line, StopSignals& stop_signals,
                         OutputChannel& standard_output);

}  // namespace sonlet
