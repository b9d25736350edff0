// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/input_sink.h"

namespace sonlet {

// Which way the engine's events reach the desktop.
enum class DesktopOutput {
  kAuto,     // in a Wayland session its compositor's route first; then uinput when
             // /dev/uinput can be opened, else the X server of $DISPLAY
  kUinput,   // the virtual device: X11, Wayland and the console
  kX11,      // the X server of $DISPLAY, through XTEST
  kWayland,  // the first route the Wayland desktop offers: its compositor's, then the portal
};

struct DesktopOutputChoice {
  std::unique_ptr<InputSink> sink;  // null when no way could be opened
  std::string error;                // when sink is null: why, and what the user can do
  std::string notice;               // when auto chose, or X11 was taken on Wayland: what and why
};

// Opens the way asked for. Never gives a sink that sends nothing: without one, error says what
// failed and how to grant access. `waiting` is told when a way waits for the person's consent
// (the desktop portal's dialog), before that wait.
DesktopOutputChoice OpenDesktopOutput(DesktopOutput which,
                                      const std::function<void(const std::string&)>& waiting);

// How to give a user access to /dev/uinput, and what that access also allows: several lines,
// without a final line break.
std::string UinputAccessAdvice();

}  // namespace sonlet
