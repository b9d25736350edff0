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

}  // namespace sonlet
