// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program with its control panel, ended from outside: a session that logs out sends
// SIGTERM, a terminal sends SIGINT, SIGHUP when it closes and SIGQUIT on Ctrl-\. Each must close
// the panel as its close box does.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "cli/live_program.h"

namespace sonlet {

namespace {

using namespace std::chrono_literals;

const std::string kSonlet = SONLET_BINARY;
const std::string kData = SONLET_DATA_DIR;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PanelSignal : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sonlet-panel-signal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    profile_ = folder_ + "/user.txt";
    // One line: the panel writes it back as six, so a rewritten file shows that it saved.
    std::ofstream(profile_) << "40 2 25 60 30 0";
  }
  void TearDown() override {
    std::remove(profile_.c_str());
    rmdir(folder_.c_str());
  }
  std::string folder_;
  std::string profile_;
};

using PanelSignalWithoutFolder = PanelSignal;

TEST_P(PanelSignal, SavesTheSettingsStopsTheEngineAndEndsWithZero) {
  LiveProgram sonlet(
      kSonlet,
      {"--input", kData + "/session.wav", "--realtime", "--profile", profile_, "--output", "log"},
      {"QT_QPA_PLATFORM=offscreen"});
  // Time for the panel to come up and its engine to start. A signal that came sooner would
  // still be taken (it waits, blocked, from the first lines of main) unless it came before
  // them, which a second rules out.
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(sonlet.Stop(GetParam(), 10s), 0) << sonlet.err();
  EXPECT_EQ(ReadFile(profile_), "40\n2\n25\n60\n30\n0\n") << sonlet.err();
  // The panel starts in the Stopped state: nothing may have been sent.
  EXPECT_EQ(sonlet.out(), "");
}

INSTANTIATE_TEST_SUITE_P(StopSignals, PanelSignal,
                         testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT));

// A first signal whose save fails leaves the panel showing why, in a box; a second one leaves
// as ESC does, with the save's failure as the status.
TEST_F(PanelSignalWithoutFolder, ASecondSignalEndsAFailedSaveAsEscDoes) {
  LiveProgram sonlet(
      kSonlet,
      {"--input", kData + "/session.wav", "--realtime", "--profile", profile_, "--output", "none"},
      {"QT_QPA_PLATFORM=offscreen"});
  std::this_thread::sleep_for(1s);
  // The folder goes away under the running panel: no save can succeed now.
  std::remove(profile_.c_str());
  ASSERT_EQ(rmdir(folder_.c_str()), 0);
  ASSERT_EQ(kill(sonlet.pid(), SIGTERM), 0);
  EXPECT_EQ(sonlet.Wait(1s), -1) << "the box that says the save failed keeps it open";
  EXPECT_EQ(sonlet.Stop(SIGTERM, 10s), 1) << sonlet.err();
  EXPECT_NE(sonlet.err().find("Error abriendo user.txt para escritura"), std::string::npos)
      << sonlet.err();
}

}  // namespace

}  // namespace sonlet
