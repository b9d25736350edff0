// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>

struct wl_display;

namespace sonlet {

// What every route that talks to the compositor over its Wayland socket shares: bounded waits,
// because a compositor that is stopped or hung must never hold the engine or the program's end.

// How long the start waits for the compositor's answer, and how long one event may wait for a
// compositor that has stopped reading (its socket is full). One that keeps up reads within a
// frame.
inline constexpr int kWaylandAnswerLimitMs = 5000;
inline constexpr int kWaylandStalledLimitMs = 1000;

// The protocol's time stamps: milliseconds of a clock that does not jump.
uint32_t WaylandNowMs();

int RemainingMs(std::chrono::steady_clock::time_point deadline);

// Writes what is buffered, waiting while the socket is full, at most until the deadline. 0, or
// the error number (ETIMEDOUT when the compositor did not read in time).
int FlushBefore(wl_display* display, std::chrono::steady_clock::time_point deadline);

// wl_display_roundtrip with a limit: sends everything, then reads the compositor's messages until
// it has answered all of it. 0, ETIMEDOUT when the limit passed first, or the error of a failed
// connection.
int RoundTrip(wl_display* display, int limit_ms);

// Takes in what the compositor has sent, if anything, without blocking, so that its messages
// never fill the socket's other direction.
void ReadWithoutWaiting(wl_display* display);

// The reason for a round trip that failed, for the user: a compositor that did not answer is not
// a broken connection, and the remedy differs.
std::string WaylandConnectionError(const char* name, int error);

}  // namespace sonlet
