// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace sonlet {

// The headless program's arguments for a bundled recording read with the bundled profile, with
// "--output OUTPUT" unless `output` is empty (then the default, auto).
std::vector<std::string> HeadlessOnRecording(const std::string& recording,
                                             const std::string& output);

// What the program sends for a bundled recording, from its --output log: the sum of its motions
// and the number of its clicks. The pointer routes are checked against it.
struct LoggedEvents {
  int dx = 0;
  int dy = 0;
  int clicks = 0;
};
LoggedEvents EventsLoggedFor(const std::string& recording);

// The bundled held "a" (vowel_a_male.wav) `times` over, written to `path`: a recording that
// steers long enough for a test to take the desktop away while the program runs on it.
void WriteRepeatedVowel(const std::string& path, int times);

// The bundled recordings `pieces` one after the other, written to `path` as one recording (they
// share one format). The header is the first piece's.
void WriteJoinedRecordings(const std::string& path, const std::vector<std::string>& pieces);

// How many events the program's summary says never reached the desktop (or went unconfirmed);
// 0 when it has no such line.
long EventsNotDelivered(const std::string& err);

// What a run whose pointer output went away must leave: status 4, a message that says so, the
// summary, and a trace (at trace_path, "" for none) whose every row is whole and counted there.
void ExpectEndedAsLostOutput(int status, const std::string& err, const std::string& trace_path);

}  // namespace sonlet
