// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <string>

#include "cli/program_control.h"

namespace sonlet {

// The running Sonlet on the session bus: it owns the name org.sonlet.Sonlet, so that there is
// one per session, and answers at /org/sonlet/Sonlet (interface org.sonlet.Sonlet):
//
//   Status() -> s   "listening" or "stopped"
//   Start() -> s    as "Iniciar"; then the status
//   Stop() -> s     as "Detener"; then the status
//   Toggle() -> s   Start when stopped, Stop when listening; then the status
//   Quit()          as the close box (the panel) or a stop signal (headless)
//   Raise() -> b    brings the panel to the front; false where there is none (headless)
//   SetAction(s) -> s
//                   chooses what the next click does: "left", "right", "middle", "double",
//                   "drag" or "scroll" (the same twice in a row keeps it); then the action in
//                   force. Another name is an InvalidArgs error that changes nothing
//   Action() -> s   the action in force, by the same names; also the property Action
//
// Requests are answered on the thread this object lives on, through the target's functions.
class RemoteService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.sonlet.Sonlet")
  // Also readable as a property, for tools that watch properties rather than call methods.
  Q_PROPERTY(QString Action READ Action)

 public:
  enum class Claim {
    kOwned,  // the name is ours: this is the session's Sonlet
    kTaken,  // another Sonlet runs in this session
    kNoBus,  // there is no session bus; the program goes on unreachable
    // The session bus did not answer in time: whether another Sonlet runs cannot be known, and
    // the program goes on unreachable.
    kSilent,
  };

  explicit RemoteService(QObject* parent = nullptr);
  ~RemoteService() override;  // gives the name up

  // Where the requests go; null answers them with an error until a target is set.
  void SetTarget(ProgramControl* target) { target_ = target; }

  // Connects to the session bus and asks for the name, which goes to the first who asks and is
  // never handed over. For kNoBus and kSilent, *why says what is missing. Waits at most
  // kBusAnswerLimitMs plus kCallLimitMs.
  Claim ClaimName(std::string* why);

  // Gives the name up, at once: a Sonlet that is ending answers nothing more, and another may
  // start meanwhile. Waits for nothing: a bus that froze meanwhile must not hold up the end, and
  // the name goes with the connection at the latest.
  void Release();

  bool owned() const { return owned_; }

 public slots:
  Q_SCRIPTABLE QString Status();
  Q_SCRIPTABLE QString Start();
  Q_SCRIPTABLE QString Stop();
  Q_SCRIPTABLE QString Toggle();
  Q_SCRIPTABLE void Quit();
  Q_SCRIPTABLE bool Raise();
  Q_SCRIPTABLE QString SetAction(const QString& name);
  Q_SCRIPTABLE QString Action();

 private:
  // The target, or null after an error reply that says Sonlet is not ready.
  ProgramControl* Target();
  QString StatusOf(ProgramControl& target);
  // The target's actions, or null after an error reply that says this Sonlet has none.
  ActionSink* Actions();

  ProgramControl* target_ = nullptr;
  QDBusConnection bus_;
  bool owned_ = false;
};

}  // namespace sonlet
