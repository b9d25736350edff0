// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/command_line.h"
#include "cli/output_channel.h"
#include "cli/stop_signals.h"

namespace sonlet {

// The program with its control panel: reads the profile, opens the sound and the input that
// the command line names, starts the engine and runs the panel until the user leaves. The
// QApplication is the caller's, and so is the StopSignals, made before the QApplication, through
// which INT, TERM, HUP and QUIT close the panel as its close box does (the settings are saved,
// the engine stopped, nothing left pressed); a further signal while a box is open leaves as ESC
// does.
//
// One panel runs per session: it owns the session bus's name, through which sonlet --start and
// the like reach it, and a second start brings it to the front instead of opening another.
// Where the desktop has a tray, the panel has an icon there.
class PanelApp {
 public:
  // stop_signals and standard_output must outlive the app.
  PanelApp(CommandLine line, StopSignals& stop_signals, OutputChannel& standard_output)
      : line_(std::move(line)), stop_signals_(stop_signals), standard_output_(standard_output) {}

  // Needs a QApplication. Returns the exit status: 0 after a normal end, 1 when the profile
  // could not be read or saved, 2 when standard output, carrying the events, failed, and the
  // status OpenAudio or OpenOutput gives when the sound or the input cannot be opened. Every
  // failure is shown in a box before the end. When another Sonlet runs in this session: 0 once
  // its panel is in front, 2 when it runs headless (said on standard error).
  int Run();

  // Without a display there is no panel: the profile is still checked first, as with one, and
  // then the user is told to use --headless. Returns the exit status (1 or 2).
  static int RunWithoutDisplay(const CommandLine& line);

  // True when a window system is named in the environment (X11, Wayland, or a Qt platform).
  static bool DisplayAvailable();

 private:
  CommandLine line_;
  StopSignals& stop_signals_;
  OutputChannel& standard_output_;
};

}  // namespace sonlet
