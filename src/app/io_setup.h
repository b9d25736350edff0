#pragma once

#include <memory>
#include <string>

#include "app/command_line.h"
#include "engine/audio_source.h"
#include "engine/input_sink.h"

// Opens what the command line names: the sound the engine listens to and the place its events
// go. The headless run and the control panel share these, so both accept the same options.

// A recording (--input) or the microphone. On failure returns null with a message for the user
// in *error and the exit status to end with in *exit_status.
std::unique_ptr<AudioSource> open_audio(const CommandLine& line, std::string* error,
                                        int* exit_status);

// The input backend chosen by --output. On failure returns null with a message and status. When
// notice is given, it receives a line for the user when there is something to tell: which way
// "auto" chose, or that X11 on a Wayland desktop reaches only X11 windows.
std::unique_ptr<InputSink> open_output(const CommandLine& line, std::string* error,
                                       int* exit_status, std::string* notice = nullptr);
