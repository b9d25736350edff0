// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "calibration/vowel_map.h"
#include "settings/profile_file.h"

namespace sonlet {

// What the user asked for on the command line.
struct CommandLine {
  bool help = false;
  bool version = false;  // print the name and version and exit
  bool headless = false;
  bool list_devices = false;               // print the sound input devices and exit
  std::string input;                       // a recording to listen to; empty: the microphone
  bool realtime = false;                   // play the recording at its own pace, not at full speed
  std::string device;                      // the microphone: a device name or part of one; empty:
                                           // the default input
  std::string profile = kProfileFileName;  // the settings file
  bool profile_given = false;              // --profile was on the command line
  std::string output = "auto";             // where events go: auto, uinput, x11, log or none
  std::string trace;                       // a CSV file of every pass, "-" for standard output
  std::string calibration;                 // a calibration file to steer with; empty: the regions
  std::string make_calibration;            // make a calibration file from recorded takes
  std::string takes[kVowelCount];          // --from: the recorded take of each vowel, if given
  std::string calibrate;                   // make a calibration file by voice, on the terminal
  bool pause_gesture = false;              // a hiss of about a second pauses and resumes listening
  bool speech_guard = false;               // talk near the microphone neither clicks nor steers
  bool agile = false;  // steering that starts fine and speeds up as a vowel holds
  // Choose the threshold from the room and the voice, and write it into the profile
  bool suggest_threshold = false;
  // The pointer action (left, right, middle, double, drag, scroll): with --headless, the way this
  // run clicks from its start; alone, chosen for the Sonlet running in this session
  std::string action;
  // --status, --start, --stop, --toggle, --quit or --action, without its dashes: ask the Sonlet
  // running in this session over the session bus; empty: run this one
  std::string control;
};

// Parses argv. Returns false with a message for the user in *error when the arguments are not
// understood; the caller then prints the message and the usage and ends with status 2.
bool ParseCommandLine(int argc, const char* const argv[], CommandLine* line, std::string* error);

// The text of --help.
const char* UsageText();

// The line --version prints: "sonlet" and the version the build was made from.
const char* VersionText();

}  // namespace sonlet
