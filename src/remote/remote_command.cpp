// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remote_command.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>
#include <QVariantList>
#include <cstdio>
#include <string>

#include "remote/session_bus.h"

namespace sonlet {

namespace {

// How long --quit waits for the running Sonlet to end: it stops its engine and saves its
// settings first, which takes well under a second; a box on its panel may hold it longer.
constexpr int kEndWaitMs = 30000;

QDBusMessage Call(const QDBusConnection& bus, const char* method,
                  const QVariantList& arguments = {}) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
      QString::fromLatin1(kBusInterface), QString::fromLatin1(method));
  call.setArguments(arguments);
  // The bus may start nothing in its place.
  call.setAutoStartService(false);
  return CallWithLimit(bus, call);
}

QDBusMessage AskBus(const QDBusConnection& bus, const char* method) {
  QDBusMessage ask = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
  ask << QString::fromLatin1(kBusName);
  return CallWithLimit(bus, ask);
}

// Whether someone holds the session's name, as far as the bus can tell within its limit.
enum class Owner { kNone, kSomeone, kUnknown };

Owner NameOwner(const QDBusConnection& bus) {
  const QDBusReply<bool> reply = AskBus(bus, "NameHasOwner");
  if (!reply.isValid()) return Owner::kUnknown;
  return reply.value() ? Owner::kSomeone : Owner::kNone;
}

// What came of a request to the running Sonlet.
enum class Outcome {
  kAnswered,
  kGone,     // no one owns the name any more: it ended before or while it was asked
  kSilent,   // it still owns the name, or the bus cannot say, but no answer came in time
  kRefused,  // it answered with an error
};

Outcome OutcomeOf(const QDBusConnection& bus, const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ErrorMessage) return Outcome::kAnswered;
  const QDBusError error(reply);
  if (error.type() == QDBusError::ServiceUnknown ||
      reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
    return Outcome::kGone;
  }
  if (!NoAnswer(error)) return Outcome::kRefused;
  // The bus also says "no reply" for a Sonlet that ended while it was asked.
  return NameOwner(bus) == Owner::kNone ? Outcome::kGone : Outcome::kSilent;
}

// For a Sonlet that holds the name but did not answer: its process, where the bus can tell, so
// that the user can end it.
std::string StuckAdvice(const QDBusConnection& bus) {
  const QDBusReply<uint> pid = AskBus(bus, "GetConnectionUnixProcessID");
  const std::string said = "it did not answer within " + std::to_string(kCallLimitMs / 1000) +
                           " s; if it is stuck, end it";
  if (!pid.isValid()) return said + " from the system's task manager";
  return said + " (kill " + std::to_string(pid.value()) + ")";
}

// Waits until no one owns the name, at most limit_ms; returns whether it went.
bool WaitUntilGone(const QDBusConnection& bus, int limit_ms) {
  QDBusServiceWatcher watcher(QString::fromLatin1(kBusName), bus,
                              QDBusServiceWatcher::WatchForUnregistration);
  QEventLoop loop;
  QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(limit_ms);
  // It may have gone before the watcher was in place.
  if (NameOwner(bus) != Owner::kNone) loop.exec();
  return NameOwner(bus) == Owner::kNone;
}

int SayNoneRuns() {
  std::fprintf(stderr, "sonlet: no Sonlet is running in this session\n");
  return 1;
}

int SayBusSilent() {
  std::fprintf(stderr,
               "sonlet: the session bus did not answer within %d s, so a running Sonlet cannot be "
               "reached; the session's bus may be stuck.\n",
               kCallLimitMs / 1000);
  return 2;
}

}  // namespace

int RunRemoteCommand(const std::string& command, const std::string& action) {
  const char* method = command == "status"   ? "Status"
                       : command == "start"  ? "Start"
                       : command == "stop"   ? "Stop"
                       : command == "toggle" ? "Toggle"
                       : command == "action" ? "SetAction"
                                             : "Quit";
  QVariantList arguments;
  if (command == "action") arguments << QString::fromStdString(action);
  std::string why;
  bool silent = false;
  const QDBusConnection bus = OpenSessionBus(&why, &silent);
  if (silent) {
    std::fprintf(stderr,
                 "sonlet: %s, so a running Sonlet cannot be reached; the session's bus may be "
                 "stuck.\n",
                 why.c_str());
    return 2;
  }
  if (!bus.isConnected()) {
    std::fprintf(stderr, "sonlet: no session bus: %s; a running Sonlet cannot be reached\n",
                 why.c_str());
    return 2;
  }
  switch (NameOwner(bus)) {
    case Owner::kNone:
      return SayNoneRuns();
    case Owner::kUnknown:
      return SayBusSilent();
    case Owner::kSomeone:
      break;
  }

  const QDBusMessage reply = Call(bus, method, arguments);
  switch (OutcomeOf(bus, reply)) {
    case Outcome::kAnswered:
      break;
    case Outcome::kGone:
      // Asked to end, it ended: done.
      return command == "quit" ? 0 : SayNoneRuns();
    case Outcome::kSilent:
      std::fprintf(stderr, "sonlet: a Sonlet runs in this session, but %s.\n",
                   StuckAdvice(bus).c_str());
      return 2;
    case Outcome::kRefused:
      std::fprintf(stderr, "sonlet: the running Sonlet %s: %s\n",
                   command == "action" ? "refused the action" : "did not answer",
                   reply.errorMessage().toLocal8Bit().constData());
      return 2;
  }
  if (command == "quit") {
    if (!WaitUntilGone(bus, kEndWaitMs)) {
      std::fprintf(stderr,
                   "sonlet: the running Sonlet was asked to end but still runs after %d s (a box "
                   "on its panel may be waiting for an answer)\n",
                   kEndWaitMs / 1000);
      return 2;
    }
    return 0;
  }
  const QString status = reply.arguments().value(0).toString();
  std::printf("%s\n", status.toLocal8Bit().constData());
  return 0;
}

RaiseResult RaiseRunningPanel(std::string* why) {
  const QDBusConnection bus = OpenSessionBus(why);
  if (!bus.isConnected()) return RaiseResult::kFailed;
  const QDBusMessage reply = Call(bus, "Raise");
  switch (OutcomeOf(bus, reply)) {
    case Outcome::kAnswered:
      return reply.arguments().value(0).toBool() ? RaiseResult::kRaised : RaiseResult::kNoPanel;
    case Outcome::kGone:
      return RaiseResult::kGone;
    case Outcome::kSilent:
      *why = StuckAdvice(bus);
      return RaiseResult::kSilent;
    case Outcome::kRefused:
      break;
  }
  *why = reply.errorMessage().toStdString();
  return RaiseResult::kFailed;
}

}  // namespace sonlet
