// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/input_sink.h"

namespace sonlet {

// Opens a remote-desktop session through the desktop portal, org.freedesktop.portal.RemoteDesktop
// on the session bus, and sends the engine's events into it: relative motion, the three buttons,
// the wheel and the Return key. This is the route of desktops that offer neither the wlroots
// virtual pointer nor GNOME's own service to any client (KDE Plasma; GNOME too offers it).
//
// The portal shows the person a dialog and starts the session only once it is accepted, at every
// start: Debian 12's portal keeps no permission between sessions. `waiting` is told, once, when
// that wait begins, so that the person learns why nothing moves yet; the wait ends after two
// minutes without an answer. A stop signal during the wait ends the program as before any other
// start: nothing has been sent.
//
// Its calls block, with their own time limits, and need no event loop: they work on any thread.
// Null, with the reason for the user in *why, when there is no session bus, no portal or no
// remote desktop in it, or when the request is refused or not answered.
std::unique_ptr<InputSink> OpenPortalRemoteDesktop(
    const std::function<void(const std::string& what)>& waiting, std::string* why);

}  // namespace sonlet
