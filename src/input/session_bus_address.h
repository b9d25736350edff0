#pragma once

#include <string>

namespace sonlet {

// The address of the desktop session's message bus: DBUS_SESSION_BUS_ADDRESS, or when it is not
// set the socket that systemd's user session and the desktops keep at $XDG_RUNTIME_DIR/bus. A
// bus is never started for the asking. Empty, with the reason for the user in *why, when there is
// none.
std::string SessionBusAddress(std::string* why);

}  // namespace sonlet
