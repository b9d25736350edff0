// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace sonlet {

// How long the session bus may take to let us in (authentication and the bus's greeting): a
// bus that answers does so in milliseconds, also on a busy machine; one whose daemon is frozen
// never does.
inline constexpr int kBusAnswerLimitMs = 3000;

// The address of the desktop session's message bus: DBUS_SESSION_BUS_ADDRESS, or when it is not
// set the socket that systemd's user session and the desktops keep at $XDG_RUNTIME_DIR/bus. A
// bus is never started for the asking. Empty, with the reason for the user in *why, when there is
// none.
//
// The bus is a convenience, and nothing may wait for one that does not answer: the first time an
// address is asked for, it is tried within kBusAnswerLimitMs. A bus that did not answer in time
// is taken as absent for the rest of the process (every part of Sonlet that uses the bus asks
// here first), with *silent set and the reason in *why. A bus that refuses at once is left to
// the caller to report in its own words.
std::string SessionBusAddress(std::string* why, bool* silent = nullptr);

// For a process whose other parts (Qt's own among them: the desktop's menu bar and tray,
// accessibility) reach for the session bus by themselves, each waiting on it without a limit.
// When the bus does not answer, it is hidden from them all (DBUS_SESSION_BUS_ADDRESS set to
// nothing), and SessionBusAddress goes on giving its silence as the reason. Returns whether it
// was hidden, with the reason in *why. To be called before other threads read the environment.
bool HideSilentSessionBus(std::string* why);

}  // namespace sonlet
