// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calibration/calibration_builder.h"
#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "cli/stop_signals.h"
#include "settings/profile.h"

namespace sonlet {

// --make-calibration: runs the engine over each vowel's recorded take, learns the map from the
// passes a held vowel steers with, prints what it found and writes the file, or refuses.
// Returns the exit status; a stop signal before the file is written ends the program with
// status 2 and nothing written.
int MakeCalibration(const CommandLine& line, StopSignals& stop_signals,
                    OutputChannel& standard_output);

// Whether the calibration may be written to `out`, checked before the user's time is spent on
// takes: not over one of the program's inputs, and into a folder where it can be saved. Tells
// the user on standard error why not and returns false (then the status is 2).
bool CalibrationOutputUsable(const CommandLine& line, const std::string& out);

// The settings a calibration hears the takes with: the settings file, or, when none was named
// and user.txt is not there, a threshold low enough for any held vowel (30 dB). Returns false
// after telling the user on standard error when the named file cannot be read.
bool CalibrationProfile(const CommandLine& line, Profile* profile);

// What a built map says, for the user: the passes and centre of each vowel, and how far each
// lies from its nearest neighbour of another direction.
void PrintCalibration(const CalibrationResult& result, OutputChannel& out);

// Why a map was refused, in one sentence, naming the files of the takes when given.
std::string CalibrationRefusal(const CalibrationResult& result, const CommandLine* line);

}  // namespace sonlet
