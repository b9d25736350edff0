// The program moving a real pointer: sonlet --headless against a private X server, and its choice
// of output when uinput or the display is missing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/logged_events.h"
#include "cli/run_program.h"
#include "support/x_watcher.h"
#include "support/xvfb_server.h"

namespace sonlet {

namespace {

const std::string kSonlet = SONLET_BINARY;
const std::string kSource = SONLET_SOURCE_DIR;

bool UinputCanBeOpened() {
  const int fd = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// The rule line of the udev rule file the installation ships.
std::string ShippedUdevRule() {
  std::ifstream in(kSource + "/packaging/60-sonlet-uinput.rules");
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') return line;
  }
  return "";
}

class DesktopOutput : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.running()) << server_.error();
    watcher_ = std::make_unique<XWatcher>(server_.display());
    ASSERT_TRUE(watcher_->connected());
  }
  // The program sees the test's server and no Wayland session.
  std::vector<std::string> OnTestDisplay() const {
    return {"DISPLAY=" + server_.display(), "WAYLAND_DISPLAY"};
  }

  XvfbServer server_;
  std::unique_ptr<XWatcher> watcher_;
};

// XTEST motion is not accelerated (see the X11 sink's tests), so the pointer moves by exactly the
// sum of the motions the log shows for the same recording.
TEST_F(DesktopOutput, HeldVowelMovesThePointerRightByTheLoggedMotions) {
  const LoggedEvents logged = EventsLoggedFor("vowel_a_male.wav");
  ASSERT_GT(logged.dx, 0) << "the recording should steer right";
  const ScreenPoint start = {100, 300};
  ASSERT_LT(start.x + logged.dx, XvfbServer::kWidth) << "the screen edge would clamp";
  watcher_->WarpPointer(start);

  const ProgramRun run =
      RunProgram(kSonlet, HeadlessOnRecording("vowel_a_male.wav", "x11"), "", OnTestDisplay());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(watcher_->Pointer(), (ScreenPoint{start.x + logged.dx, start.y + logged.dy}));
}

TEST_F(DesktopOutput, ClickRecordingClicksTheWindowUnderThePointer) {
  const LoggedEvents logged = EventsLoggedFor("click.wav");
  ASSERT_GT(logged.clicks, 0) << "the recording should click";
  watcher_->OpenWindow(100, 100, 300, 200);
  watcher_->WarpPointer({200, 200});

  const ProgramRun run =
      RunProgram(kSonlet, HeadlessOnRecording("click.wav", "x11"), "", OnTestDisplay());
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> expected;
  for (int i = 0; i < logged.clicks; ++i) expected.insert(expected.end(), {"press 1", "release 1"});
  EXPECT_EQ(Whats(watcher_->WindowEvents()), expected);
  EXPECT_FALSE(watcher_->LeftButtonDown());
}

TEST_F(DesktopOutput, AutoTakesX11WhenUinputCannotBeOpenedAndSaysSo) {
  if (UinputCanBeOpened()) GTEST_SKIP() << "/dev/uinput opens here, so auto rightly takes it";
  const LoggedEvents logged = EventsLoggedFor("vowel_a_male.wav");
  const ScreenPoint start = {100, 300};
  watcher_->WarpPointer(start);

  // auto is the default: no --output.
  const ProgramRun run =
      RunProgram(kSonlet, HeadlessOnRecording("vowel_a_male.wav", ""), "", OnTestDisplay());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("X display " + server_.display()), std::string::npos) << run.err;
  EXPECT_EQ(watcher_->Pointer(), (ScreenPoint{start.x + logged.dx, start.y + logged.dy}));
}

TEST_F(DesktopOutput, X11OnAWaylandDesktopWarnsThatItReachesX11WindowsOnly) {
  const ProgramRun run = RunProgram(kSonlet, HeadlessOnRecording("click.wav", "x11"), "",
                                    {"DISPLAY=" + server_.display(), "WAYLAND_DISPLAY=wayland-9"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Wayland"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(ShippedUdevRule()), std::string::npos) << run.err;
}

// With nowhere to send events the program must not run as if it did: it says why and how to
// grant access, ends with status 2, and nothing runs.
TEST(DesktopOutputMissing, NoUinputAndNoDisplayGiveTheAdviceAndStatus2) {
  if (UinputCanBeOpened()) GTEST_SKIP() << "/dev/uinput opens here, so auto would take it";
  const std::string rule = ShippedUdevRule();
  ASSERT_NE(rule, "");
  const std::vector<std::string> no_display = {"DISPLAY", "WAYLAND_DISPLAY"};

  for (const char* output : {"auto", "uinput"}) {
    const ProgramRun run =
        RunProgram(kSonlet, HeadlessOnRecording("click.wav", output), "", no_display);
    EXPECT_EQ(run.status, 2) << output;
    EXPECT_EQ(run.out, "") << output;
    EXPECT_NE(run.err.find("/dev/uinput"), std::string::npos) << output << ": " << run.err;
    EXPECT_NE(run.err.find(rule), std::string::npos) << output << ": " << run.err;
    EXPECT_NE(run.err.find("usermod -aG input"), std::string::npos) << output << ": " << run.err;
    EXPECT_NE(run.err.find("read every keyboard"), std::string::npos) << output << ": " << run.err;
    EXPECT_EQ(run.err.find(" passes;"), std::string::npos) << output << ": the engine ran";
  }

  const ProgramRun x11 =
      RunProgram(kSonlet, HeadlessOnRecording("click.wav", "x11"), "", no_display);
  EXPECT_EQ(x11.status, 2);
  EXPECT_NE(x11.err.find("DISPLAY is not set"), std::string::npos) << x11.err;
}

}  // namespace

}  // namespace sonlet
