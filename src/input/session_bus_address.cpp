// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/session_bus_address.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace sonlet {

namespace {

// After the limit, a cancelled attempt usually returns at once; this long it may take to hand
// its socket back.
constexpr int kCancelGraceMs = 500;

// The attempt's state, shared with GLib's completions.
struct Attempt {
  GDBusConnection* connection = nullptr;
  bool done = false;
  bool closed = false;
  bool time_up = false;
};

void Connected(GObject*, GAsyncResult* result, gpointer data) {
  auto* attempt = static_cast<Attempt*>(data);
  GError* error = nullptr;
  attempt->connection = g_dbus_connection_new_for_address_finish(result, &error);
  if (error != nullptr) g_error_free(error);
  attempt->done = true;
}

void Closed(GObject* connection, GAsyncResult* result, gpointer data) {
  g_dbus_connection_close_finish(G_DBUS_CONNECTION(connection), result, nullptr);
  static_cast<Attempt*>(data)->closed = true;
}

gboolean TimeUp(gpointer data) {
  static_cast<Attempt*>(data)->time_up = true;
  return G_SOURCE_REMOVE;
}

// Runs the context until *flag is set or limit_ms have passed; returns *flag.
bool RunUntil(GMainContext* context, Attempt* attempt, const bool* flag, int limit_ms) {
  attempt->time_up = false;
  GSource* timer = g_timeout_source_new(limit_ms);
  g_source_set_callback(timer, TimeUp, attempt, nullptr);
  g_source_attach(timer, context);
  while (!*flag && !attempt->time_up) g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
  return *flag;
}

// Whether the bus at address lets a client in, greeting included, within kBusAnswerLimitMs.
// A refusal (no socket there, no permission) is an answer too. GLib's own connection is used
// here, on a main context of this call's own, because it can be given up: Qt's waits for as long
// as the bus stays silent.
bool Answers(const std::string& address) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  auto* attempt = new Attempt;
  GCancellable* cancellable = g_cancellable_new();
  g_dbus_connection_new_for_address(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable, Connected, attempt);
  const bool answered = RunUntil(context, attempt, &attempt->done, kBusAnswerLimitMs);
  bool finished = answered;
  if (!answered) {
    g_cancellable_cancel(cancellable);
    finished = RunUntil(context, attempt, &attempt->done, kCancelGraceMs);
  }
  g_object_unref(cancellable);
  if (attempt->connection != nullptr) {
    // Closed here, and what GLib still has to say about it (the "closed" signal) said here,
    // while this context still runs: the connection then holds nothing of it.
    g_dbus_connection_close(attempt->connection, nullptr, Closed, attempt);
    RunUntil(context, attempt, &attempt->closed, kCancelGraceMs);
    while (g_main_context_pending(context)) g_main_context_iteration(context, FALSE);
    g_object_unref(attempt->connection);
  }
  g_main_context_pop_thread_default(context);
  // An attempt stuck past its cancellation (GLib cannot cancel the bus's greeting) would still
  // complete into it; its completion only ever runs on this context, which no one runs now, so
  // it stays allocated.
  if (finished) delete attempt;
  g_main_context_unref(context);
  return answered;
}

std::string NamedAddress(std::string* why) {
  const char* named = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (named != nullptr) {
    if (named[0] == '\0') *why = "DBUS_SESSION_BUS_ADDRESS is set to nothing";
    return named;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] == '\0') {
    *why = "DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are not set";
    return "";
  }
  const std::string socket = std::string(runtime) + "/bus";
  struct stat socket_status {};
  if (::stat(socket.c_str(), &socket_status) != 0 || !S_ISSOCK(socket_status.st_mode)) {
    *why = "DBUS_SESSION_BUS_ADDRESS is not set and there is no " + socket;
    return "";
  }
  return "unix:path=" + socket;
}

// Guards what is remembered below.
std::mutex& Remembered() {
  static std::mutex mutex;
  return mutex;
}
// Once hidden, the reason; the variable is empty then and must not read as "set to nothing".
std::string& HiddenBecause() {
  static std::string reason;
  return reason;
}

}  // namespace

std::string SessionBusAddress(std::string* why, bool* silent) {
  if (silent != nullptr) *silent = false;
  const std::lock_guard<std::mutex> lock(Remembered());
  if (!HiddenBecause().empty()) {
    *why = HiddenBecause();
    if (silent != nullptr) *silent = true;
    return "";
  }
  const std::string address = NamedAddress(why);
  if (address.empty()) return address;

  // Only silence is remembered: a bus that answered is tried again by the next who asks, since
  // it may have frozen meanwhile.
  static std::set<std::string> silent_addresses;
  if (silent_addresses.count(address) == 0 && Answers(address)) return address;
  silent_addresses.insert(address);
  *why = "the session bus (" + address + ") did not answer within " +
         std::to_string(kBusAnswerLimitMs / 1000) + " s";
  if (silent != nullptr) *silent = true;
  return "";
}

bool HideSilentSessionBus(std::string* why) {
  bool silent = false;
  SessionBusAddress(why, &silent);
  if (!silent) return false;
  const std::lock_guard<std::mutex> lock(Remembered());
  HiddenBecause() = *why;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "", 1);
  return true;
}

}  // namespace sonlet
