// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remote_service.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QTimer>
#include <optional>
#include <string>
#include <string_view>

#include "actions/action_sink.h"
#include "remote/session_bus.h"

namespace sonlet {

namespace {

QString NameOf(PointerAction action) {
  const std::string_view name = ActionName(action);
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

RemoteService::RemoteService(QObject* parent)
    : QObject(parent), bus_(QStringLiteral("sonlet-no-bus")) {}

RemoteService::~RemoteService() { Release(); }

RemoteService::Claim RemoteService::ClaimName(std::string* why) {
  bool silent = false;
  bus_ = OpenSessionBus(why, &silent);
  if (!bus_.isConnected()) return silent ? Claim::kSilent : Claim::kNoBus;
  // The object first: whoever sees the name appear may call it straight away.
  bus_.registerObject(
      QString::fromLatin1(kBusPath), this,
      QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableProperties);
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
      bus_.interface()->registerService(QString::fromLatin1(kBusName),
                                        QDBusConnectionInterface::DontQueueService,
                                        QDBusConnectionInterface::DontAllowReplacement);
  owned_ = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
  if (owned_) return Claim::kOwned;
  bus_.unregisterObject(QString::fromLatin1(kBusPath));
  if (reply.isValid()) return Claim::kTaken;
  if (NoAnswer(reply.error())) {
    *why = "the session bus did not answer within " + std::to_string(kCallLimitMs / 1000) +
           " s when asked for the name " + kBusName;
    return Claim::kSilent;
  }
  *why = "the session bus refused the name " + std::string(kBusName) + ": " +
         reply.error().message().toStdString();
  return Claim::kNoBus;
}

void RemoteService::Release() {
  if (!owned_) return;
  owned_ = false;
  bus_.unregisterObject(QString::fromLatin1(kBusPath));
  // Sent before anything this connection sends later, such as a new claim, so it comes first.
  bus_.interface()->asyncCall(QStringLiteral("ReleaseName"), QString::fromLatin1(kBusName));
}

ProgramControl* RemoteService::Target() {
  if (target_ == nullptr && calledFromDBus()) {
    sendErrorReply(QDBusError::Failed, QStringLiteral("Sonlet is still starting"));
  }
  return target_;
}

QString RemoteService::StatusOf(ProgramControl& target) {
  return target.Listening() ? QStringLiteral("listening") : QStringLiteral("stopped");
}

QString RemoteService::Status() {
  ProgramControl* target = Target();
  return target == nullptr ? QString() : StatusOf(*target);
}

QString RemoteService::Start() {
  ProgramControl* target = Target();
  if (target == nullptr) return QString();
  target->Start();
  return StatusOf(*target);
}

QString RemoteService::Stop() {
  ProgramControl* target = Target();
  if (target == nullptr) return QString();
  target->Stop();
  return StatusOf(*target);
}

QString RemoteService::Toggle() {
  ProgramControl* target = Target();
  if (target == nullptr) return QString();
  if (target->Listening()) {
    target->Stop();
  } else {
    target->Start();
  }
  return StatusOf(*target);
}

void RemoteService::Quit() {
  ProgramControl* target = Target();
  if (target == nullptr) return;
  // After the answer has gone: the caller then waits for the name to go, which happens as the
  // program ends.
  QTimer::singleShot(0, this, [this] {
    if (target_ != nullptr) target_->Quit();
  });
}

ActionSink* RemoteService::Actions() {
  ProgramControl* target = Target();
  if (target == nullptr) return nullptr;
  ActionSink* actions = target->Actions();
  if (actions == nullptr && calledFromDBus()) {
    sendErrorReply(QDBusError::NotSupported,
                   QStringLiteral("this Sonlet has no pointer actions to choose from"));
  }
  return actions;
}

QString RemoteService::SetAction(const QString& name) {
  const std::optional<PointerAction> action = ActionNamed(name.toStdString());
  if (!action) {
    if (calledFromDBus()) {
      sendErrorReply(QDBusError::InvalidArgs,
                     QStringLiteral("unknown pointer action '%1'; the actions are left, right, "
                                    "middle, double, drag and scroll")
                         .arg(name));
    }
    return QString();
  }
  ActionSink* actions = Actions();
  if (actions == nullptr) return QString();
  actions->Choose(*action);
  return NameOf(actions->action());
}

QString RemoteService::Action() {
  ActionSink* actions = Actions();
  if (actions == nullptr) return QString();
  return NameOf(actions->action());
}

bool RemoteService::Raise() {
  ProgramControl* target = Target();
  return target != nullptr && target->Raise();
}

}  // namespace sonlet
