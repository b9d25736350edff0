// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for a desktop's tray in the tests: the StatusNotifierWatcher of the
// StatusNotifierItem protocol, with a host, on the session bus the environment names. Prints
// "ready" once it owns its name, then "registered SERVICE" for each icon that registers.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <cstdio>

class StatusWatcher : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ True)
  Q_PROPERTY(int ProtocolVersion READ Zero)

 public:
  bool True() const { return true; }
  int Zero() const { return 0; }

 public slots:
  void RegisterStatusNotifierItem(const QString& service) {
    // An icon names its bus name, or only its path, and then the caller is it.
    const QString item = service.startsWith(QLatin1Char('/')) ? message().service() : service;
    std::printf("registered %s\n", item.toUtf8().constData());
    std::fflush(stdout);
  }
};

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  StatusWatcher watcher;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                          QDBusConnection::ExportAllContents) ||
      !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

#include "status_watcher.moc"
