// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_program.h"

namespace sonlet {

namespace {

namespace fs = std::filesystem;

const std::string kSonlet = SONLET_BINARY;
const std::string kData = SONLET_DATA_DIR;

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A fresh folder per test, removed afterwards.
class Headless : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sonlet-headless-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(Headless, SessionSteersRightClicksThenSteersLeft) {
  const ProgramRun run = RunProgram(kSonlet, {"--headless", "--input", kData + "/session.wav",
                                              "--profile", kData + "/user.txt", "--output", "log"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Each line: the pass number, a tab, the event. The held "a" comes first, then the click,
  // then the held "i"; the pass numbers only grow.
  std::vector<std::string> kinds;
  long previous_pass = -1;
  for (const std::string& line : LinesOf(run.out)) {
    const size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    const long pass = std::stol(line.substr(0, tab));
    EXPECT_GT(pass, previous_pass);
    previous_pass = pass;
    const std::string event = line.substr(tab + 1);
    std::string kind = event == "click"                ? "click"
                       : event.rfind("move -", 0) == 0 ? "left"
                                                       : "right";
    if (event != "click") {
      EXPECT_EQ(event.substr(event.size() - 2), " 0") << "not horizontal";
    }
    if (kinds.empty() || kinds.back() != kind) kinds.push_back(kind);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"right", "click", "left"}));
  EXPECT_NE(run.err.find("clicks 1"), std::string::npos) << run.err;
}

TEST_F(Headless, TraceHasOneRowPerPassAndTheSameEvents) {
  const std::string trace = path("trace.csv");
  const ProgramRun run =
      RunProgram(kSonlet, {"--headless", "--input", kData + "/session.wav", "--profile",
                           kData + "/user.txt", "--output", "log", "--trace", trace});
  ASSERT_EQ(run.status, 0) << run.err;
  std::ifstream in(trace);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header,
            "pass,level,loud,lag,f0,ratio,f1_cand,f2_cand,pitch_med,f1_med,f2_med,f1_norm,f2_norm,"
            "run,event");
  std::vector<std::string> events_from_trace;
  long rows = 0;
  for (std::string row; std::getline(in, row); ++rows) {
    EXPECT_EQ(std::stol(row), rows);  // pass numbers from 0 without a gap
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 14) << row;
    const std::string event = row.substr(row.rfind(',') + 1);
    if (!event.empty()) events_from_trace.push_back(std::to_string(rows) + "\t" + event);
  }
  EXPECT_EQ(events_from_trace, LinesOf(run.out));
  const std::string passes = "sonlet: " + std::to_string(rows) + " passes";
  EXPECT_EQ(run.err.rfind(passes, 0), 0u) << run.err;
}

TEST_F(Headless, RoomNoiseSendsNothing) {
  const ProgramRun run = RunProgram(kSonlet, {"--headless", "--input", kData + "/room_noise.wav",
                                              "--profile", kData + "/user.txt", "--output", "log"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(Headless, ProfileComesFromTheCurrentFolderByDefault) {
  // No user.txt in the folder: the message the users know, and status 1.
  ProgramRun run = RunProgram(
      kSonlet, {"--headless", "--input", kData + "/session.wav", "--output", "log"}, dir_.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Error opening user.txt\nsonlet: cannot open the settings file 'user.txt': No such "
            "file or directory.\n");
  EXPECT_EQ(run.out, "");

  fs::copy_file(kData + "/user.txt", path("user.txt"));
  run = RunProgram(kSonlet, {"--headless", "--input", kData + "/session.wav", "--output", "log"},
                   dir_.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("click"), std::string::npos);
}

TEST_F(Headless, BadArgumentsAndInputsGetAMessageAndStatus2) {
  const std::string profile = kData + "/user.txt";
  std::ofstream(path("empty.wav")).close();
  std::ofstream(path("junk.wav")) << "this is not a sound file";
  const std::vector<std::vector<std::string>> cases = {
      {"--headless", "--input", path("missing.wav"), "--profile", profile},
      {"--headless", "--input", path("empty.wav"), "--profile", profile},
      {"--headless", "--input", path("junk.wav"), "--profile", profile},
      {"--headless", "--input", kData + "/session.wav", "--profile", profile, "--output", "none",
       "--trace", path("no/such/folder/trace.csv")},
      {"--headless", "--bogus"},
      {"--headless", "--input"},
      {"--headless", "--output", "printer"},
  };
  for (const auto& args : cases) {
    const ProgramRun run = RunProgram(kSonlet, args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.err.find("sonlet: "), std::string::npos) << args.back();
    EXPECT_EQ(run.out, "") << args.back();
  }
}

TEST_F(Headless, HelpDescribesEveryOption) {
  const ProgramRun run = RunProgram(kSonlet, {"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* option : {"--headless", "--input", "--profile", "--output", "--trace"})
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

}  // namespace

}  // namespace sonlet
