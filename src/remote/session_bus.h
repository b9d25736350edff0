#pragma once

#include <QDBusConnection>
#include <QString>
#include <string>

namespace sonlet {

// The names under which the running Sonlet answers on the session bus: the desktop id, as the
// desktop's own files name the program.
inline constexpr char kBusName[] = "org.sonlet.Sonlet";
inline constexpr char kBusPath[] = "/org/sonlet/Sonlet";
inline constexpr char kBusInterface[] = "org.sonlet.Sonlet";

// Connects to the session bus: the one DBUS_SESSION_BUS_ADDRESS names, or when that variable is
// not set, $XDG_RUNTIME_DIR/bus where it exists. Nothing else is tried: in particular no bus is
// started for the occasion, and a DBUS_SESSION_BUS_ADDRESS set to nothing means no bus. Returns
// a connection that is not connected, with the reason in *why, when there is none. Needs a
// QCoreApplication.
QDBusConnection OpenSessionBus(std::string* why);

}  // namespace sonlet
