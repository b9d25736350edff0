#include "remote/remote_command.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "remote/session_bus.h"

namespace sonlet {

namespace {

// How long --quit waits for the running Sonlet to end: it stops its engine and saves its
// settings first, which takes well under a second; a box on its panel may hold it longer.
constexpr int kEndWaitMs = 30000;

QDBusMessage Call(QDBusConnection& bus, const char* method) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
      QString::fromLatin1(kBusInterface), QString::fromLatin1(method));
  // The bus may start nothing in its place.
  call.setAutoStartService(false);
  return bus.call(call);
}

// Whether the error says that no one owns the name any more: the Sonlet ended before or while
// it was asked.
bool Gone(const QDBusMessage& reply) {
  const QString name = reply.errorName();
  return name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
         name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
         name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
         name == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

bool Running(QDBusConnection& bus) {
  return bus.interface()->isServiceRegistered(QString::fromLatin1(kBusName)).value();
}

// Waits until no one owns the name, at most limit_ms; returns whether it went.
bool WaitUntilGone(QDBusConnection& bus, int limit_ms) {
  QDBusServiceWatcher watcher(QString::fromLatin1(kBusName), bus,
                              QDBusServiceWatcher::WatchForUnregistration);
  QEventLoop loop;
  QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(limit_ms);
  // It may have gone before the watcher was in place.
  if (Running(bus)) loop.exec();
  return !Running(bus);
}

int SayNoneRuns() {
  std::fprintf(stderr, "sonlet: no Sonlet is running in this session\n");
  return 1;
}

}  // namespace

int RunRemoteCommand(const std::string& command) {
  const char* method = command == "status"   ? "Status"
                       : command == "start"  ? "Start"
                       : command == "stop"   ? "Stop"
                       : command == "toggle" ? "Toggle"
                                             : "Quit";
  std::string why;
  QDBusConnection bus = OpenSessionBus(&why);
  if (!bus.isConnected()) {
    std::fprintf(stderr, "sonlet: no session bus: %s; a running Sonlet cannot be reached\n",
                 why.c_str());
    return 2;
  }
  if (!Running(bus)) return SayNoneRuns();

  const QDBusMessage reply = Call(bus, method);
  if (command == "quit") {
    if (reply.type() == QDBusMessage::ErrorMessage && !Gone(reply)) {
      std::fprintf(stderr, "sonlet: the running Sonlet did not answer: %s\n",
                   reply.errorMessage().toLocal8Bit().constData());
      return 2;
    }
    if (!WaitUntilGone(bus, kEndWaitMs)) {
      std::fprintf(stderr,
                   "sonlet: the running Sonlet was asked to end but still runs after %d s (a box "
                   "on its panel may be waiting for an answer)\n",
                   kEndWaitMs / 1000);
      return 2;
    }
    return 0;
  }
  if (reply.type() == QDBusMessage::ErrorMessage) {
    if (Gone(reply)) return SayNoneRuns();
    std::fprintf(stderr, "sonlet: the running Sonlet did not answer: %s\n",
                 reply.errorMessage().toLocal8Bit().constData());
    return 2;
  }
  const QString status = reply.arguments().value(0).toString();
  std::printf("%s\n", status.toLocal8Bit().constData());
  return 0;
}

RaiseResult RaiseRunningPanel(std::string* why) {
  QDBusConnection bus = OpenSessionBus(why);
  if (!bus.isConnected()) return RaiseResult::kFailed;
  const QDBusMessage reply = Call(bus, "Raise");
  if (reply.type() == QDBusMessage::ErrorMessage) {
    if (Gone(reply)) return RaiseResult::kGone;
    *why = reply.errorMessage().toStdString();
    return RaiseResult::kFailed;
  }
  return reply.arguments().value(0).toBool() ? RaiseResult::kRaised : RaiseResult::kNoPanel;
}

}  // namespace sonlet
