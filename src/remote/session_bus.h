// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>
#include <string>

#include "input/session_bus_address.h"

namespace sonlet {

// The names under which the running Sonlet answers on the session bus: the desktop id, as the
// desktop's own files name the program.
inline constexpr char kBusName[] = "org.sonlet.Sonlet";
inline constexpr char kBusPath[] = "/org/sonlet/Sonlet";
inline constexpr char kBusInterface[] = "org.sonlet.Sonlet";

// How long any one request on the bus may take, to the bus itself or to the running Sonlet,
// which answers at once unless it is stuck. Qt's own limit, 25 s, would keep a user waiting for
// a program that is not coming back.
inline constexpr int kCallLimitMs = 5000;

// Connects to the session bus: the one DBUS_SESSION_BUS_ADDRESS names, or when that variable is
// not set, $XDG_RUNTIME_DIR/bus where it exists. Nothing else is tried: in particular no bus is
// started for the occasion, and a DBUS_SESSION_BUS_ADDRESS set to nothing means no bus. A bus
// that does not let us in within kBusAnswerLimitMs counts as none, with *silent set. Returns a
// connection that is not connected, with the reason in *why, when there is none. Needs a
// QCoreApplication.
QDBusConnection OpenSessionBus(std::string* why, bool* silent = nullptr);

// Sends a request and waits for its answer, at most kCallLimitMs.
QDBusMessage CallWithLimit(const QDBusConnection& bus, const QDBusMessage& request);

// Whether the error says that no answer came, rather than that the request was refused: the
// limit passed, or the one asked (or the bus) went away meanwhile. Only whether the name still
// has an owner tells a stuck Sonlet from one that ended.
bool NoAnswer(const QDBusError& error);

}  // namespace sonlet
