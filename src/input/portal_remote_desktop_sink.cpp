// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/portal_remote_desktop_sink.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "input/queued_sink.h"
#include "input/session_bus_address.h"

namespace sonlet {

namespace {

// GDBus rather than Qt DBus, which the other bus code uses: the portal answers each request
// with a signal, and a Qt DBus signal reaches only a thread that runs a Qt event loop, which a
// recording read headless does not have. GDBus delivers it to a main context of our own that
// this code runs while it waits.

const char kService[] = "org.freedesktop.portal.Desktop";
const char kPath[] = "/org/freedesktop/portal/desktop";
const char kRemoteDesktop[] = "org.freedesktop.portal.RemoteDesktop";

// The portal's device types, a bit mask.
constexpr guint32 kKeyboard = 1;
constexpr guint32 kPointer = 2;
// The portal's answers to a request.
constexpr guint32 kGranted = 0;
constexpr guint32 kCancelledByUser = 1;

// Linux's BTN_LEFT, BTN_RIGHT and BTN_MIDDLE, by PointerButton, which the portal takes as they are.
constexpr int kButtonCodes[] = {272, 273, 274};
// The portal's scroll axes, as Wayland's.
constexpr guint32 kVerticalAxis = 0;
constexpr guint32 kHorizontalAxis = 1;
constexpr gint32 kReturnKeysym = 0xff0d;  // found in the desktop's own keymap
// The events wait for the portal on the QueuedSink's thread, never on the engine's: as for the
// GNOME route, the limit is for a desktop that answers nothing, not for a busy one.
constexpr int kEventTimeoutMs = 500;
constexpr int kSetupTimeoutMs = 10000;  // a portal started on demand may be slow
// Letting go matters more than a prompt exit, but a stop must end the program in a second or two.
constexpr int kReleaseTimeoutMs = 400;
constexpr int kConsentTimeoutMs = 120000;  // the person reads the dialog and answers

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorHolder = std::unique_ptr<GError, GErrorFree>;

std::string Text(const GError* error) { return error != nullptr ? error->message : "?"; }

int ErrorNumber(const GError* error) {
  if (error == nullptr) return 0;
  if (error->domain == G_IO_ERROR) {
    if (error->code == G_IO_ERROR_TIMED_OUT) return ETIMEDOUT;
    if (error->code == G_IO_ERROR_CLOSED) return ENOTCONN;
  }
  if (error->domain == G_DBUS_ERROR) {
    switch (error->code) {
      case G_DBUS_ERROR_NO_REPLY:
      case G_DBUS_ERROR_TIMEOUT:
      case G_DBUS_ERROR_TIMED_OUT:
        return ETIMEDOUT;
      case G_DBUS_ERROR_DISCONNECTED:
        return ENOTCONN;
      case G_DBUS_ERROR_ACCESS_DENIED:
        return EACCES;
      case G_DBUS_ERROR_SERVICE_UNKNOWN:
      case G_DBUS_ERROR_UNKNOWN_OBJECT:
      case G_DBUS_ERROR_UNKNOWN_METHOD:
        return ENODEV;  // the portal, or the session, has gone
      default:
        break;
    }
  }
  return EIO;
}

// One call to the portal, waiting at most timeout_ms; the reply, or null with *error set.
GVariant* Call(GDBusConnection* bus, const std::string& path, const char* interface,
               const char* method, GVariant* parameters, int timeout_ms, ErrorHolder* error) {
  GError* raw = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(bus, kService, path.c_str(), interface, method, parameters,
                                  nullptr, G_DBUS_CALL_FLAGS_NONE, timeout_ms, nullptr, &raw);
  error->reset(raw);
  return reply;
}

// Where the portal will put the request with this token: the caller's unique name without its
// colon, dots made underscores. Knowing it before the call lets the answer be awaited before it
// can come.
std::string RequestPath(GDBusConnection* bus, const std::string& token) {
  std::string sender = g_dbus_connection_get_unique_name(bus);
  if (!sender.empty() && sender[0] == ':') sender.erase(0, 1);
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return std::string(kPath) + "/request/" + sender + "/" + token;
}

std::string NewToken() {
  static std::atomic<int> tokens{0};
  return "sonlet" + std::to_string(::getpid()) + "_" + std::to_string(++tokens);
}

// The portal's answer to one request.
struct Answer {
  bool arrived = false;
  bool timed_out = false;
  guint32 code = 2;
  GVariant* results = nullptr;  // a{sv}, owned
  ~Answer() {
    if (results != nullptr) g_variant_unref(results);
  }
};

void TakeAnswer(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
                const gchar* /*interface*/, const gchar* /*signal*/, GVariant* parameters,
                gpointer data) {
  auto* answer = static_cast<Answer*>(data);
  if (answer->arrived || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
  g_variant_get(parameters, "(u@a{sv})", &answer->code, &answer->results);
  answer->arrived = true;
}

gboolean TimeUp(gpointer data) {
  static_cast<Answer*>(data)->timed_out = true;
  return G_SOURCE_REMOVE;
}

// A portal request: calls `method` with `arguments` and, last, the options in `options` plus a
// fresh handle token, then waits up to answer_ms for the portal's Response on the request
// object. False, with *why, when the call fails or no answer comes in time.
bool Ask(GDBusConnection* bus, GMainContext* context, const char* method, GVariant* arguments,
         GVariantBuilder* options, int answer_ms, Answer* answer, std::string* why) {
  const std::string token = NewToken();
  g_variant_builder_add(options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  GVariantBuilder parameters;
  g_variant_builder_init(&parameters, G_VARIANT_TYPE_TUPLE);
  if (arguments != nullptr) {
    GVariantIter iter;
    g_variant_iter_init(&iter, arguments);
    while (GVariant* child = g_variant_iter_next_value(&iter)) {
      g_variant_builder_add_value(&parameters, child);
      g_variant_unref(child);
    }
    g_variant_unref(g_variant_ref_sink(arguments));
  }
  g_variant_builder_add_value(&parameters, g_variant_builder_end(options));

  // Subscribed in our own context, so the answer waits there until this code runs it.
  g_main_context_push_thread_default(context);
  const std::string expected = RequestPath(bus, token);
  guint subscription = g_dbus_connection_signal_subscribe(
      bus, kService, "org.freedesktop.portal.Request", "Response", expected.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, TakeAnswer, answer, nullptr);
  ErrorHolder error;
  GVariant* reply = Call(bus, kPath, kRemoteDesktop, method, g_variant_builder_end(&parameters),
                         kSetupTimeoutMs, &error);
  bool asked = reply != nullptr && g_variant_is_of_type(reply, G_VARIANT_TYPE("(o)"));
  if (reply != nullptr && !asked) g_variant_unref(reply);
  if (asked) {
    const gchar* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    // A portal older than the request-path rule names another object: listen there instead.
    if (expected != handle) {
      g_dbus_connection_signal_unsubscribe(bus, subscription);
      subscription = g_dbus_connection_signal_subscribe(
          bus, kService, "org.freedesktop.portal.Request", "Response", handle, nullptr,
          G_DBUS_SIGNAL_FLAGS_NONE, TakeAnswer, answer, nullptr);
    }
    g_variant_unref(reply);
    GSource* timer = g_timeout_source_new(answer_ms);
    g_source_set_callback(timer, TimeUp, answer, nullptr);
    g_source_attach(timer, context);
    while (!answer->arrived && !answer->timed_out) g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
  }
  g_dbus_connection_signal_unsubscribe(bus, subscription);
  g_main_context_pop_thread_default(context);

  if (!asked) {
    *why = std::string("the portal refused ") + method + ": " +
           (error != nullptr ? Text(error.get()) : "its reply is not a request");
    return false;
  }
  if (!answer->arrived) {
    *why = std::string("the portal did not answer ") + method + " in time";
    return false;
  }
  return true;
}

class PortalRemoteDesktopSink : public InputSink {
 public:
  PortalRemoteDesktopSink(GDBusConnection* bus, GMainContext* context, std::string session,
                          guint32 devices)
      : bus_(bus), context_(context), session_(std::move(session)), devices_(devices) {}

  // The portal ends the session when its caller leaves, but a button it holds is the desktop's
  // affair: so what is held is let go first, then the session is closed, then the connection.
  ~PortalRemoteDesktopSink() override {
    if (!lost_) {
      for (const PointerButton button :
           {PointerButton::kLeft, PointerButton::kRight, PointerButton::kMiddle}) {
        if (held_[static_cast<int>(button)]) Button(button, false, kReleaseTimeoutMs);
      }
      if (enter_is_down_) Key(false, kReleaseTimeoutMs);
      CloseSession(bus_, session_);
    }
    g_dbus_connection_close_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
    g_main_context_unref(context_);
  }
  PortalRemoteDesktopSink(const PortalRemoteDesktopSink&) = delete;
  PortalRemoteDesktopSink& operator=(const PortalRemoteDesktopSink&) = delete;

  static void CloseSession(GDBusConnection* bus, const std::string& session) {
    ErrorHolder ignored;
    GVariant* reply = Call(bus, session, "org.freedesktop.portal.Session", "Close", nullptr,
                           kReleaseTimeoutMs, &ignored);
    if (reply != nullptr) g_variant_unref(reply);
  }

  int Move(int dx, int dy) override {
    return Notify("NotifyPointerMotion",
                  g_variant_new("(oa{sv}dd)", session_.c_str(), nullptr, static_cast<double>(dx),
                                static_cast<double>(dy)),
                  kEventTimeoutMs);
  }
  int LeftDown() override { return ButtonDown(PointerButton::kLeft); }
  int LeftUp() override { return ButtonUp(PointerButton::kLeft); }
  int ButtonDown(PointerButton button) override { return Button(button, true, kEventTimeoutMs); }
  int ButtonUp(PointerButton button) override { return Button(button, false, kEventTimeoutMs); }
  // Discrete steps reach applications as a wheel's notches. GNOME's backend passes them on to
  // mutter, which takes one step a call, so each notch is a call of its own. 0, or the first
  // refusal.
  int Scroll(int dx, int dy) override {
    const struct {
      guint32 axis;
      int notches;
    } axes[] = {{kVerticalAxis, dy}, {kHorizontalAxis, dx}};
    for (const auto& a : axes) {
      const gint32 step = a.notches > 0 ? 1 : -1;
      for (int i = 0; i != a.notches; i += step) {
        const int error = Notify(
            "NotifyPointerAxisDiscrete",
            g_variant_new("(oa{sv}ui)", session_.c_str(), nullptr, a.axis, step), kEventTimeoutMs);
        if (error != 0) return error;
      }
    }
    return 0;
  }
  int EnterDown() override {
    if ((devices_ & kKeyboard) == 0) return ENOTSUP;
    enter_is_down_ = true;
    return Key(true, kEventTimeoutMs);
  }
  int EnterUp() override {
    if ((devices_ & kKeyboard) == 0) return ENOTSUP;
    enter_is_down_ = false;
    return Key(false, kEventTimeoutMs);
  }
  bool Lost() const override { return lost_; }

 private:
  // A bus that closed, or a portal or session no longer on it, will not come back for this
  // session: the output is lost.
  int Notify(const char* method, GVariant* parameters, int timeout_ms) {
    ErrorHolder error;
    GVariant* reply = Call(bus_, kPath, kRemoteDesktop, method, parameters, timeout_ms, &error);
    if (reply != nullptr) g_variant_unref(reply);
    const int number = ErrorNumber(error.get());
    if (number == ENOTCONN || number == ENODEV) lost_ = true;
    return number;
  }
  int Button(PointerButton button, bool pressed, int timeout_ms) {
    const int index = static_cast<int>(button);
    held_[index] = pressed;
    return Notify("NotifyPointerButton",
                  g_variant_new("(oa{sv}iu)", session_.c_str(), nullptr, kButtonCodes[index],
                                pressed ? 1u : 0u),
                  timeout_ms);
  }
  int Key(bool pressed, int timeout_ms) {
    return Notify(
        "NotifyKeyboardKeysym",
        g_variant_new("(oa{sv}iu)", session_.c_str(), nullptr, kReturnKeysym, pressed ? 1u : 0u),
        timeout_ms);
  }

  GDBusConnection* bus_;
  GMainContext* context_;
  std::string session_;
  guint32 devices_;
  bool held_[3] = {};  // by PointerButton; the sender's thread
  bool enter_is_down_ = false;
  bool lost_ = false;
};

// What the portal's RemoteDesktop can control, or why it cannot be used at all.
bool AvailableDevices(GDBusConnection* bus, guint32* devices, std::string* why) {
  ErrorHolder error;
  GVariant* reply =
      Call(bus, kPath, "org.freedesktop.DBus.Properties", "Get",
           g_variant_new("(ss)", kRemoteDesktop, "AvailableDeviceTypes"), kSetupTimeoutMs, &error);
  if (reply == nullptr) {
    if (g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
      *why = "no desktop portal (xdg-desktop-portal) on the session bus";
    } else {
      *why = "the desktop portal offers no remote desktop here (" + Text(error.get()) +
             "): this desktop's portal backend lacks it";
    }
    return false;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  *devices = g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
  g_variant_unref(value);
  g_variant_unref(reply);
  if ((*devices & kPointer) == 0) {
    *why = "the desktop portal's remote desktop offers no pointer";
    return false;
  }
  return true;
}

// The session handle from CreateSession's answer: a string, or an object path in some versions.
std::string SessionHandle(GVariant* results) {
  GVariant* handle = g_variant_lookup_value(results, "session_handle", nullptr);
  if (handle == nullptr) return "";
  std::string session;
  if (g_variant_is_of_type(handle, G_VARIANT_TYPE_STRING) ||
      g_variant_is_of_type(handle, G_VARIANT_TYPE_OBJECT_PATH)) {
    session = g_variant_get_string(handle, nullptr);
  }
  g_variant_unref(handle);
  return g_variant_is_object_path(session.c_str()) ? session : "";
}

std::string Refusal(const char* step, const Answer& answer) {
  if (answer.code == kCancelledByUser) {
    return std::string("the request to control the pointer was declined (") + step + ")";
  }
  return std::string("the portal ended the request (") + step + ", answer " +
         std::to_string(answer.code) + ")";
}

}  // namespace

std::unique_ptr<InputSink> OpenPortalRemoteDesktop(
    const std::function<void(const std::string& what)>& waiting, std::string* why) {
  const std::string address = SessionBusAddress(why);
  if (address.empty()) return nullptr;

  // A connection of its own for the session's life: the portal closes the session when the
  // connection that made it goes.
  GError* raw = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &raw);
  if (bus == nullptr) {
    ErrorHolder error(raw);
    *why = "cannot connect to the session bus '" + address + "': " + Text(error.get());
    return nullptr;
  }
  GMainContext* context = g_main_context_new();
  std::string session;
  const auto fail = [&](const std::string& reason) -> std::unique_ptr<InputSink> {
    *why = reason;
    if (!session.empty()) PortalRemoteDesktopSink::CloseSession(bus, session);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    g_main_context_unref(context);
    return nullptr;
  };

  guint32 available = 0;
  std::string reason;
  if (!AvailableDevices(bus, &available, &reason)) return fail(reason);

  GVariantBuilder options;
  {
    Answer created;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(NewToken().c_str()));
    if (!Ask(bus, context, "CreateSession", nullptr, &options, kSetupTimeoutMs, &created,
             &reason)) {
      return fail(reason);
    }
    if (created.code != kGranted) return fail(Refusal("CreateSession", created));
    session = SessionHandle(created.results);
    if (session.empty()) return fail("the portal's CreateSession gave no session");
  }
  {
    Answer selected;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "types",
                          g_variant_new_uint32(kPointer | (available & kKeyboard)));
    if (!Ask(bus, context, "SelectDevices", g_variant_new("(o)", session.c_str()), &options,
             kSetupTimeoutMs, &selected, &reason)) {
      return fail(reason);
    }
    if (selected.code != kGranted) return fail(Refusal("SelectDevices", selected));
  }
  guint32 devices = 0;
  {
    Answer started;
    waiting(
        "the desktop asks whether Sonlet may control the pointer: accept its dialog (it "
        "asks at every start; waiting up to 2 minutes)");
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    if (!Ask(bus, context, "Start", g_variant_new("(os)", session.c_str(), ""), &options,
             kConsentTimeoutMs, &started, &reason)) {
      return fail(started.timed_out ? "nobody answered the desktop's dialog within 2 minutes"
                                    : reason);
    }
    if (started.code != kGranted) return fail(Refusal("Start", started));
    if (!g_variant_lookup(started.results, "devices", "u", &devices)) devices = 0;
    if ((devices & kPointer) == 0) return fail("the desktop granted no pointer");
  }
  // The events wait for the desktop on a thread of their own: a busy desktop makes them late,
  // not lost, and the engine never waits.
  return std::make_unique<QueuedSink>(
      std::make_unique<PortalRemoteDesktopSink>(bus, context, session, devices), nullptr);
}

}  // namespace sonlet
