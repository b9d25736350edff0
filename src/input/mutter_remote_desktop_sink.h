// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "engine/input_sink.h"

namespace sonlet {

// Opens a remote-desktop session with GNOME's compositor (mutter), through its
// org.gnome.Mutter.RemoteDesktop service on the session bus, and sends the engine's events into
// it: relative motion (not accelerated), the three buttons, the wheel and the Return key. It needs
// no permission beyond being in the session. Its calls go through Qt DBus's own thread, so they
// work from any thread, with or without a QCoreApplication or an event loop.
//
// Null, with the reason for the user in *why, when there is no session bus or no such service
// (not a GNOME session), or when mutter refuses the session.
std::unique_ptr<InputSink> OpenMutterRemoteDesktop(std::string* why);

}  // namespace sonlet
