// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "support/wav_file.h"

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
      {"--headless", "--action", "triple"},
      {"--action", "right", "--output", "log"},
      {"--headless", "--suggest-threshold", "--action", "drag"},
  };
  for (const auto& args : cases) {
    const ProgramRun run = RunProgram(kSonlet, args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.err.find("sonlet: "), std::string::npos) << args.back();
    EXPECT_EQ(run.err.find(".. "), std::string::npos) << run.err;  // a reason's own full stop
    EXPECT_EQ(run.out, "") << args.back();
  }
}

// A user's session: a click, a held "a", a click, a held "e" and a click, with room noise
// between, run with each pointer action in force from the start.
TEST_F(Headless, ActionsTurnTheClickIntoButtonsDragsAndScrolling) {
  std::vector<int16_t> session, sound;
  std::string error;
  ASSERT_TRUE(ReadWav8kMono(kData + "/session.wav", &session, &error)) << error;
  const std::vector<int16_t> room(session.begin(), session.begin() + 4800);  // its first pause
  std::vector<int16_t> all = room;
  for (const char* part : {"click", "vowel_a_male", "click", "vowel_e_male", "click"}) {
    ASSERT_TRUE(ReadWav8kMono(kData + "/" + part + ".wav", &sound, &error)) << error;
    all.insert(all.end(), sound.begin(), sound.end());
    all.insert(all.end(), room.begin(), room.end());
  }
  ASSERT_TRUE(WriteWav8kMono(path("session.wav"), all));

  // A run's events, runs of motions or notches one way as one; the passes of the others; the
  // pixels moved with the left button held, and the notches.
  struct Logged {
    std::string events;
    std::vector<long> passes;
    int dragged = 0, notches = 0;
  };
  const auto run_with = [&](const std::string& output, const std::string& action) {
    std::vector<std::string> args = {"--headless", "--input",           path("session.wav"),
                                     "--profile",  kData + "/user.txt", "--output",
                                     output};
    if (!action.empty()) args.insert(args.end(), {"--action", action});
    const ProgramRun run = RunProgram(kSonlet, args);
    EXPECT_EQ(run.status, 0) << action << run.err;
    Logged logged;
    bool held = false;
    std::string last;
    for (const std::string& line : LinesOf(run.out)) {
      std::istringstream words(line.substr(line.find('\t') + 1));
      std::string event, word;
      int dx = 0, dy = 0;
      words >> event;
      if (event == "move" || event == "scroll") {
        words >> dx >> dy;
        if (held || event == "scroll") {
          (event == "scroll" ? logged.notches : logged.dragged) += std::abs(dx) + std::abs(dy);
        }
        event += dx > 0 ? " right" : dx < 0 ? " left" : dy > 0 ? " down" : " up";
      } else {
        while (words >> word) event += " " + word;
        held = event == "press left" || (held && event != "release left");
        logged.passes.push_back(std::stol(line));
      }
      if (event != last) logged.events += (logged.events.empty() ? "" : ", ") + event;
      last = event;
    }
    return std::make_pair(run, logged);
  };

  const auto [plain, clicks] = run_with("log", "");
  ASSERT_EQ(clicks.events, "click, move right, click, move up, click");
  const struct {
    std::string action, events;
  } cases[] = {
      {"left", clicks.events},
      {"right", "click right, move right, click right, move up, click right"},
      {"middle", "click middle, move right, click middle, move up, click middle"},
      {"double", "double, move right, double, move up, double"},
      // Kept from the start: each click presses or lets go in turn; the end lets go.
      {"drag", "press left, move right, release left, move up, press left, release left"},
      // The first click ends scrolling, the "a" moves the pointer, the next click clicks and
      // scrolling starts again.
      {"scroll", "move right, click, scroll up"},
  };
  for (const auto& c : cases) {
    auto [run, logged] = run_with("log", c.action);
    EXPECT_EQ(logged.events, c.events) << c.action;
    EXPECT_TRUE(c.action != "left" || run.out == plain.out);
    // Each action at its click's pass, the end's release at the last; scrolling clicks once.
    if (c.action == "drag") logged.passes.pop_back();
    EXPECT_EQ(logged.passes,
              c.action == "scroll" ? std::vector<long>{clicks.passes[1]} : clicks.passes)
        << c.action;
    EXPECT_GE(logged.dragged, c.action == "drag" ? 200 : 0);
    EXPECT_GE(logged.notches, c.action == "scroll" ? 5 : 0);
    // The engine heard the same, and sent nowhere, no action is refused.
    EXPECT_EQ(run.err, plain.err) << c.action;
    EXPECT_EQ(run_with("none", c.action).first.err, plain.err) << c.action;
  }
}

TEST_F(Headless, HelpDescribesEveryOption) {
  const ProgramRun run = RunProgram(kSonlet, {"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* option :
       {"--headless", "--input", "--profile", "--output", "--trace", "--action", "scroll DX DY"})
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

}  // namespace

}  // namespace sonlet
