// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for the person at a desktop portal's consent dialog: a portal backend that offers
// the remote desktop (org.freedesktop.impl.portal.RemoteDesktop) to the real xdg-desktop-portal,
// answers its Start as the person would, and prints every call it is passed, one per line, on
// standard output. The real portal in front of it checks the program's requests and forwards
// only what it accepts, so the lines are what a desktop's backend would be asked to do.
//
// Usage: portal-backend-standin BUS_NAME grant|decline|silent
//   grant    the person accepts: Start answers 0 with the pointer and the keyboard
//   decline  the person presses Cancel: Start answers 1
//   silent   nobody answers: Start never returns

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>
#include <cstdio>
#include <string>

namespace {

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class StandinSession : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Session")

 public slots:
  void Close() { Print("close"); }
};

class StandinRemoteDesktop : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.RemoteDesktop")
  Q_PROPERTY(uint AvailableDeviceTypes READ AvailableDeviceTypes)
  Q_PROPERTY(uint version READ version)

 public:
  explicit StandinRemoteDesktop(std::string answer) : answer_(std::move(answer)) {}
  uint AvailableDeviceTypes() const { return 3; }  // keyboard | pointer
  uint version() const { return 1; }

 public slots:
  uint CreateSession(const QDBusObjectPath& /*handle*/, const QDBusObjectPath& session,
                     const QString& app_id, const QVariantMap& /*options*/, QVariantMap& results) {
    QDBusConnection::sessionBus().registerObject(session.path(), &session_,
                                                 QDBusConnection::ExportAllSlots);
    Print("CreateSession app_id=" + app_id.toStdString());
    results = {};
    return 0;
  }
  uint SelectDevices(const QDBusObjectPath& /*handle*/, const QDBusObjectPath& /*session*/,
                     const QString& /*app_id*/, const QVariantMap& options, QVariantMap& results) {
    Print("SelectDevices types=" + std::to_string(options.value("types").toUInt()));
    results = {};
    return 0;
  }
  uint Start(const QDBusObjectPath& /*handle*/, const QDBusObjectPath& /*session*/,
             const QString& /*app_id*/, const QString& /*parent_window*/,
             const QVariantMap& /*options*/, QVariantMap& results) {
    Print("Start");
    results = {};
    if (answer_ == "silent") {
      setDelayedReply(true);  // and never send it
      return 0;
    }
    if (answer_ == "decline") return 1;
    results.insert(QStringLiteral("devices"), QVariant::fromValue(3u));
    return 0;
  }
  void NotifyPointerMotion(const QDBusObjectPath& /*session*/, const QVariantMap& /*options*/,
                           double dx, double dy) {
    Print("motion " + std::to_string(dx) + " " + std::to_string(dy));
  }
  void NotifyPointerButton(const QDBusObjectPath& /*session*/, const QVariantMap& /*options*/,
                           int button, uint state) {
    Print("button " + std::to_string(button) + " " + std::to_string(state));
  }
  void NotifyPointerAxisDiscrete(const QDBusObjectPath& /*session*/, const QVariantMap& /*options*/,
                                 uint axis, int steps) {
    Print("axis-discrete " + std::to_string(axis) + " " + std::to_string(steps));
  }
  void NotifyKeyboardKeysym(const QDBusObjectPath& /*session*/, const QVariantMap& /*options*/,
                            int keysym, uint state) {
    Print("keysym " + std::to_string(keysym) + " " + std::to_string(state));
  }

 private:
  std::string answer_;
  StandinSession session_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: portal-backend-standin BUS_NAME grant|decline|silent\n");
    return 2;
  }
  StandinRemoteDesktop remote_desktop(argv[2]);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &remote_desktop,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
      !bus.registerService(QString::fromLatin1(argv[1]))) {
    std::fprintf(stderr, "portal-backend-standin: cannot serve on the session bus\n");
    return 1;
  }
  Print("ready");
  return QCoreApplication::exec();
}

#include "portal_backend_standin.moc"
