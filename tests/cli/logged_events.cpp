#include "cli/logged_events.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/run_program.h"

namespace sonlet {

std::vector<std::string> HeadlessOnRecording(const std::string& recording,
                                             const std::string& output) {
  const std::string data = SONLET_DATA_DIR;
  std::vector<std::string> args = {"--headless", "--input", data + "/" + recording, "--profile",
                                   data + "/user.txt"};
  if (!output.empty()) args.insert(args.end(), {"--output", output});
  return args;
}

LoggedEvents EventsLoggedFor(const std::string& recording) {
  const ProgramRun run = RunProgram(SONLET_BINARY, HeadlessOnRecording(recording, "log"));
  EXPECT_EQ(run.status, 0) << run.err;
  LoggedEvents logged;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line.substr(line.find('\t') + 1));
    std::string kind;
    fields >> kind;
    int dx = 0;
    int dy = 0;
    if (kind == "move" && fields >> dx >> dy) {
      logged.dx += dx;
      logged.dy += dy;
    } else if (kind == "click") {
      ++logged.clicks;
    }
  }
  return logged;
}

}  // namespace sonlet
