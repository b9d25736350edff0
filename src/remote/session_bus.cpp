#include "remote/session_bus.h"

#include <QDBusError>

#include "input/session_bus_address.h"

namespace sonlet {

namespace {

// One connection per process, under this name, for the service and the requests alike.
const char kConnectionName[] = "sonlet-session";

QDBusConnection NotConnected() { return QDBusConnection(QStringLiteral("sonlet-no-bus")); }

}  // namespace

QDBusConnection OpenSessionBus(std::string* why) {
  QDBusConnection existing(QString::fromLatin1(kConnectionName));
  if (existing.isConnected()) return existing;

  const std::string address = SessionBusAddress(why);
  if (address.empty()) return NotConnected();
  QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address),
                                                      QString::fromLatin1(kConnectionName));
  if (!bus.isConnected()) {
    *why = "cannot connect to '" + address + "': " + bus.lastError().message().toStdString();
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnectionName));
  }
  return bus;
}

}  // namespace sonlet
