// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "engine/audio_source.h"
#include "engine/input_sink.h"

namespace sonlet {

// Opens what the command line names: the sound the engine listens to and the place its events
// go. The headless run and the control panel share these, so both accept the same options.

// The exit status when the microphone cannot be opened (-1 as a byte).
inline constexpr int kAudioOpenFailed = 255;

// A recording (--input) or the microphone (--device, or the default input). On failure returns
// null with a message for the user in *error and the exit status to end with in *exit_status.
// When it is the microphone that failed, the line that names the failing step and PortAudio's
// error number has already gone to standard output, and the status is kAudioOpenFailed: the
// caller shows *error, waits a second (EndAfterAudioFailure) and ends.
std::unique_ptr<AudioSource> OpenAudio(const CommandLine& line, OutputChannel& standard_output,
                                       std::string* error, int* exit_status);

// The pause before the program ends because the microphone could not be opened, so that the
// message is seen when the program was started from a launcher that closes its window.
void EndAfterAudioFailure();

// The input backend chosen by --output; "log" prints the events on standard_output, which must
// outlive the sink. On failure returns null with a message and status. When notice is given, it
// receives a line for the user when there is something to tell: which way "auto" chose, or that
// X11 on a Wayland desktop reaches only X11 windows.
std::unique_ptr<InputSink> OpenOutput(const CommandLine& line, OutputChannel& standard_output,
                                      std::string* error, int* exit_status,
                                      std::string* notice = nullptr);

}  // namespace sonlet
