// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/session_bus.h"

#include <QDBusConnectionInterface>

namespace sonlet {

namespace {

// One connection per process, under this name, for the service and the requests alike.
const char kConnectionName[] = "sonlet-session";

QDBusConnection NotConnected() { return QDBusConnection(QStringLiteral("sonlet-no-bus")); }

}  // namespace

QDBusConnection OpenSessionBus(std::string* why, bool* silent) {
  if (silent != nullptr) *silent = false;
  QDBusConnection existing(QString::fromLatin1(kConnectionName));
  if (existing.isConnected()) return existing;

  // Qt's connection waits without a limit for a bus that is there but silent, so the address
  // comes only once the bus has answered.
  const std::string address = SessionBusAddress(why, silent);
  if (address.empty()) return NotConnected();
  QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address),
                                                      QString::fromLatin1(kConnectionName));
  if (!bus.isConnected()) {
    *why = "cannot connect to '" + address + "': " + bus.lastError().message().toStdString();
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnectionName));
    return bus;
  }
  // The requests to the bus itself through Qt's interface (asking for the name, whether it is
  // owned) keep the same limit as every other.
  bus.interface()->setTimeout(kCallLimitMs);
  return bus;
}

QDBusMessage CallWithLimit(const QDBusConnection& bus, const QDBusMessage& request) {
  return bus.call(request, QDBus::Block, kCallLimitMs);
}

bool NoAnswer(const QDBusError& error) {
  return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
         error.type() == QDBusError::Disconnected;
}

}  // namespace sonlet
