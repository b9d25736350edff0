// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/wayland_connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>

namespace sonlet {

uint32_t WaylandNowMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int FlushBefore(wl_display* display, std::chrono::steady_clock::time_point deadline) {
  // A connection already failed keeps failing, with the error it failed with (EAGAIN when a full
  // socket made it fail): waiting for room would not mend it.
  if (const int failed = wl_display_get_error(display); failed != 0) return failed;
  while (wl_display_flush(display) < 0) {
    if (errno != EAGAIN) return errno != 0 ? errno : EPIPE;
    pollfd writable = {wl_display_get_fd(display), POLLOUT, 0};
    const int ready = poll(&writable, 1, RemainingMs(deadline));
    if (ready == 0) return ETIMEDOUT;
    if (ready < 0 && errno != EINTR) return errno;
  }
  return 0;
}

int RoundTrip(wl_display* display, int limit_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  bool answered = false;
  static const wl_callback_listener kListener = {
      [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
  wl_callback* callback = wl_display_sync(display);
  wl_callback_add_listener(callback, &kListener, &answered);
  const int flushed = FlushBefore(display, deadline);
  bool timed_out = flushed == ETIMEDOUT;
  bool failed = flushed != 0;
  while (!answered && !failed) {
    // Messages already queued are handled before waiting for more: the answer may be among them.
    if (wl_display_prepare_read(display) != 0) {
      failed = wl_display_dispatch_pending(display) < 0;
      continue;
    }
    pollfd readable = {wl_display_get_fd(display), POLLIN, 0};
    const int ready = poll(&readable, 1, RemainingMs(deadline));
    if (ready <= 0) {
      wl_display_cancel_read(display);
      timed_out = ready == 0;
      failed = ready == 0 || errno != EINTR;
      continue;
    }
    failed = wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0;
  }
  wl_callback_destroy(callback);
  if (answered) return 0;
  if (const int error = wl_display_get_error(display); error != 0) return error;
  return timed_out ? ETIMEDOUT : EPIPE;
}

void ReadWithoutWaiting(wl_display* display) {
  while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
  pollfd readable = {wl_display_get_fd(display), POLLIN, 0};
  if (poll(&readable, 1, 0) > 0) {
    wl_display_read_events(display);
  } else {
    wl_display_cancel_read(display);
  }
  wl_display_dispatch_pending(display);
}

std::string WaylandConnectionError(const char* name, int error) {
  if (error == ETIMEDOUT) {
    return std::string("the Wayland compositor '") + name + "' did not answer within " +
           std::to_string(kWaylandAnswerLimitMs / 1000) +
           " s (is it stopped or hung? a compositor that has ended leaves its socket behind)";
  }
  return std::string("the connection to the compositor failed (") + std::strerror(error) + ")";
}

}  // namespace sonlet
