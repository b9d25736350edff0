#include "remote/session_bus.h"

#include <sys/stat.h>

#include <QDBusError>
#include <cstdlib>

namespace sonlet {

namespace {

// One connection per process, under this name, for the service and the requests alike.
const char kConnectionName[] = "sonlet-session";

QDBusConnection NotConnected() { return QDBusConnection(QStringLiteral("sonlet-no-bus")); }

}  // namespace

QDBusConnection OpenSessionBus(std::string* why) {
  QDBusConnection existing(QString::fromLatin1(kConnectionName));
  if (existing.isConnected()) return existing;

  std::string address;
  const char* named = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (named != nullptr) {
    if (named[0] == '\0') {
      *why = "DBUS_SESSION_BUS_ADDRESS is set to nothing";
      return NotConnected();
    }
    address = named;
  } else {
    // Where systemd's user session and the desktops put the bus when they do not name it.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat socket_status {};
    const std::string socket =
        runtime != nullptr && runtime[0] != '\0' ? std::string(runtime) + "/bus" : std::string();
    if (socket.empty() || ::stat(socket.c_str(), &socket_status) != 0 ||
        !S_ISSOCK(socket_status.st_mode)) {
      *why = socket.empty() ? "DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are not set"
                            : "DBUS_SESSION_BUS_ADDRESS is not set and there is no " + socket;
      return NotConnected();
    }
    address = "unix:path=" + socket;
  }
  QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address),
                                                      QString::fromLatin1(kConnectionName));
  if (!bus.isConnected()) {
    *why = "cannot connect to '" + address + "': " + bus.lastError().message().toStdString();
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnectionName));
  }
  return bus;
}

}  // namespace sonlet
