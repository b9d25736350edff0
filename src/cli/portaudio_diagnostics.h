// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

namespace sonlet {

// PortAudio's ALSA layer prints a line on the standard error stream for every failed internal
// check, and when a sound server goes away at the wrong moment its device thread can fail the
// same check in a loop: hundreds of megabytes a second into a terminal or the session's journal.
// These streams keep the first few such lines, which say what happened, and drop the rest;
// every other line passes unchanged.

// Replaces the process's `stderr` with a stream that does this and writes to `fd` (the standard
// error descriptor). Call once, at the start of main, before any other thread runs. Returns
// false, leaving stderr as it was, when the stream cannot be made.
bool LimitPortaudioDiagnostics(int fd = 2);

// The filtering stream itself, writing to `fd`: for tests.
std::FILE* OpenDiagnosticsFilter(int fd);

// How many of PortAudio's check lines pass before the rest are dropped.
inline constexpr int kPortAudioLinesKept = 20;

}  // namespace sonlet
