// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/mutter_remote_desktop_sink.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QString>
#include <QVariant>
#include <atomic>
#include <cerrno>

#include "input/queued_sink.h"
#include "input/session_bus_address.h"

namespace sonlet {

namespace {

const char kService[] = "org.gnome.Mutter.RemoteDesktop";
const char kPath[] = "/org/gnome/Mutter/RemoteDesktop";
const char kSessionInterface[] = "org.gnome.Mutter.RemoteDesktop.Session";

// Linux's codes for the buttons (BTN_LEFT, BTN_RIGHT, BTN_MIDDLE), by PointerButton, which
// mutter takes as they are.
constexpr int kButtonCodes[] = {272, 273, 274};
// Mutter's scroll axes, as Wayland's.
constexpr unsigned int kVerticalAxis = 0;
constexpr unsigned int kHorizontalAxis = 1;
// The X keysym of Return: mutter finds the key for it in the desktop's current keymap, so ENTER
// works whatever the keyboard layout.
constexpr unsigned int kReturnKeysym = 0xff0d;

// Each event waits for mutter's reply, so that a refusal is known, on the thread of the QueuedSink
// that carries the events, never on the engine's; a blocking call needs no Qt event loop there
// (Qt DBus serves it on its own thread). A reply takes well under a millisecond; a desktop busy
// with other programs can take many times longer, and the queue waits for it meanwhile. The limit
// bounds how long the end of the program can wait on a desktop that answers nothing.
constexpr int kEventTimeoutMs = 500;
// Opening and closing happen once, outside the passes; a compositor starting up may be slow.
constexpr int kSetupTimeoutMs = 5000;
// Letting a held button go matters more than a prompt exit, but a stop must still end the
// program within a second or two.
constexpr int kReleaseTimeoutMs = 400;

int ErrorNumber(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ErrorMessage) return 0;
  switch (QDBusError(reply).type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
      return ETIMEDOUT;
    case QDBusError::Disconnected:
      return ENOTCONN;
    case QDBusError::AccessDenied:
      return EACCES;
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownMethod:
      return ENODEV;  // mutter, or the session, has gone
    default:
      return EIO;
  }
}

class MutterRemoteDesktopSink : public InputSink {
 public:
  MutterRemoteDesktopSink(const QString& connection_name, const QDBusConnection& bus,
                          const QString& session)
      : connection_name_(connection_name), bus_(bus), session_(session) {}

  // Mutter ends the session when its connection closes, but what it does then with a button
  // the session holds is its own affair: so what is held is let go first, then the session is
  // stopped, and only then the connection closed.
  ~MutterRemoteDesktopSink() override {
    if (!lost_) {
      for (const PointerButton button :
           {PointerButton::kLeft, PointerButton::kRight, PointerButton::kMiddle}) {
        if (held_[static_cast<int>(button)]) Button(button, false, kReleaseTimeoutMs);
      }
      if (enter_is_down_) Key(false, kReleaseTimeoutMs);
      SessionCall("Stop", {}, kReleaseTimeoutMs);
    }
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connection_name_);
  }
  MutterRemoteDesktopSink(const MutterRemoteDesktopSink&) = delete;
  MutterRemoteDesktopSink& operator=(const MutterRemoteDesktopSink&) = delete;

  int Move(int dx, int dy) override {
    return Checked(SessionCall("NotifyPointerMotionRelative",
                               {static_cast<double>(dx), static_cast<double>(dy)},
                               kEventTimeoutMs));
  }
  int LeftDown() override { return ButtonDown(PointerButton::kLeft); }
  int LeftUp() override { return ButtonUp(PointerButton::kLeft); }
  int ButtonDown(PointerButton button) override { return Button(button, true, kEventTimeoutMs); }
  int ButtonUp(PointerButton button) override { return Button(button, false, kEventTimeoutMs); }
  // Discrete steps reach applications as a wheel's notches; mutter 43 takes one step a call (it
  // treats more as one), so each notch is a call of its own. 0, or the first refusal.
  int Scroll(int dx, int dy) override {
    const struct {
      unsigned int axis;
      int notches;
    } axes[] = {{kVerticalAxis, dy}, {kHorizontalAxis, dx}};
    for (const auto& a : axes) {
      const int step = a.notches > 0 ? 1 : -1;
      for (int i = 0; i != a.notches; i += step) {
        const int error =
            Checked(SessionCall("NotifyPointerAxisDiscrete", {a.axis, step}, kEventTimeoutMs));
        if (error != 0) return error;
      }
    }
    return 0;
  }
  int EnterDown() override {
    enter_is_down_ = true;
    return Key(true, kEventTimeoutMs);
  }
  int EnterUp() override {
    enter_is_down_ = false;
    return Key(false, kEventTimeoutMs);
  }
  bool Lost() const override { return lost_; }

 private:
  QDBusMessage SessionCall(const char* method, const QList<QVariant>& arguments, int timeout_ms) {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), session_,
                                                       QString::fromLatin1(kSessionInterface),
                                                       QString::fromLatin1(method));
    call.setArguments(arguments);
    return bus_.call(call, QDBus::Block, timeout_ms);
  }
  int Button(PointerButton button, bool pressed, int timeout_ms) {
    const int index = static_cast<int>(button);
    held_[index] = pressed;
    return Checked(SessionCall("NotifyPointerButton", {kButtonCodes[index], pressed}, timeout_ms));
  }
  int Key(bool pressed, int timeout_ms) {
    return Checked(SessionCall("NotifyKeyboardKeysym", {kReturnKeysym, pressed}, timeout_ms));
  }
  // A bus that closed, or a mutter or session that is no longer on it, will not come back for
  // this session: the output is lost.
  int Checked(const QDBusMessage& reply) {
    const int error = ErrorNumber(reply);
    if (error == ENOTCONN || error == ENODEV) lost_ = true;
    return error;
  }

  QString connection_name_;
  QDBusConnection bus_;
  QString session_;
  bool held_[3] = {};  // by PointerButton; the sender's thread
  bool enter_is_down_ = false;
  bool lost_ = false;  // the sender's thread
};

std::string Message(const QDBusMessage& reply) { return QDBusError(reply).message().toStdString(); }

}  // namespace

std::unique_ptr<InputSink> OpenMutterRemoteDesktop(std::string* why) {
  const std::string address = SessionBusAddress(why);
  if (address.empty()) return nullptr;

  // A connection of its own, kept as long as the sink: the remote-desktop session lives only as
  // long as the connection that made it, and a shared one could be closed by its other user.
  static std::atomic<int> sinks_opened{0};
  const QString name = QStringLiteral("sonlet-mutter-remote-desktop-%1").arg(++sinks_opened);
  QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), name);
  const auto fail = [&](const std::string& reason) -> std::unique_ptr<InputSink> {
    *why = reason;
    bus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
    return nullptr;
  };
  if (!bus.isConnected()) {
    return fail("cannot connect to the session bus '" + address +
                "': " + bus.lastError().message().toStdString());
  }

  QDBusMessage create = QDBusMessage::createMethodCall(
      QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kService),
      QStringLiteral("CreateSession"));
  const QDBusMessage created = bus.call(create, QDBus::Block, kSetupTimeoutMs);
  if (created.type() == QDBusMessage::ErrorMessage) {
    const QDBusError::ErrorType type = QDBusError(created).type();
    if (type == QDBusError::ServiceUnknown) {
      return fail(std::string("no ") + kService +
                  " on the session bus: this is not a GNOME (mutter) session");
    }
    return fail("mutter did not open a remote-desktop session: " + Message(created));
  }
  const QList<QVariant> values = created.arguments();
  const QString session =
      values.isEmpty() ? QString() : qvariant_cast<QDBusObjectPath>(values.first()).path();
  if (session.isEmpty()) return fail("mutter's CreateSession gave no session");

  QDBusMessage start = QDBusMessage::createMethodCall(QString::fromLatin1(kService), session,
                                                      QString::fromLatin1(kSessionInterface),
                                                      QStringLiteral("Start"));
  const QDBusMessage started = bus.call(start, QDBus::Block, kSetupTimeoutMs);
  if (started.type() == QDBusMessage::ErrorMessage) {
    return fail("mutter did not start the remote-desktop session: " + Message(started));
  }
  // The events wait for mutter on a thread of their own: a desktop slowed by a busy machine
  // makes them late, not lost, and the engine never waits.
  return std::make_unique<QueuedSink>(std::make_unique<MutterRemoteDesktopSink>(name, bus, session),
                                      nullptr);
}

}  // namespace sonlet
