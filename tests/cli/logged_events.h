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
  // Every press and release in order, as "press left", "release right" (a logged click or double
  // click is its presses and releases); the motion while some button was held; the notches.
  std::vector<std::string> buttons;
  int held_dx = 0;
  int held_dy = 0;
  int scroll_dx = 0;
  int scroll_dy = 0;
};
LoggedEvents EventsLoggedFor(const std::string& recording);
// The same for the program run with `args` (without --output) and --output log.
LoggedEvents EventsLogged(std::vector<std::string> args);

// The bundled held "a" (vowel_a_male.wav) `times` over, written to `path`: a recording that
// steers long enough for a test to take the desktop away while the program runs on it.
void WriteRepeatedVowel(const std::string& path, int times);

// The bundled recordings `pieces` one after the other, written to `path` as one recording (they
// share one format). The header is the first piece's.
void WriteJoinedRecordings(const std::string& path, const std::vector<std::string>& pieces);

// A pointer action proven on a route: chosen with --action for a run on a recording of sounds
// (bundled recordings joined) that performs it, with a room heard first, as a microphone hears
// one before anyone speaks.
struct ActionRun {
  std::string action;
  std::vector<std::string> sounds;
  // What the log must show for the recording to prove the action.
  std::vector<std::string> buttons;
  int least_held_dx = 0;  // a drag this long at least
  int least_notches = 0;
};
// A right click, a double click, a drag and scrolling.
std::vector<ActionRun> ActionRuns();
// Writes the run's recording into `folder`, sets *args to the program's arguments for it (without
// --output) and returns what the log shows, having checked that it proves the action.
LoggedEvents LoggedAction(const ActionRun& run, const std::string& folder,
                          std::vector<std::string>* args);

// How many events the program's summary says never reached the desktop (or went unconfirmed);
// 0 when it has no such line.
long EventsNotDelivered(const std::string& err);

// What a run whose pointer output went away must leave: status 4, a message that says so, the
// summary, and a trace (at trace_path, "" for none) whose every row is whole and counted there.
void ExpectEndedAsLostOutput(int status, const std::string& err, const std::string& trace_path);

}  // namespace sonlet
