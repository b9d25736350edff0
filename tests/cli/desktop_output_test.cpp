// SPDX-License-Identifier: GPL-3.0-or-later
// The program moving a real pointer: sonlet --headless against a private X server, and its choice
// of output when uinput or the display is missing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/live_program.h"
#include "cli/logged_events.h"
#include "cli/run_program.h"
#include "support/child_process.h"
#include "support/private_bus.h"
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
  // Also on a machine busy on every core, where the X server falls behind the engine.
  for (const bool busy : {false, true}) {
    watcher_->WarpPointer(start);
    ProgramRun run;
    {
      std::unique_ptr<BusyCores> load = busy ? std::make_unique<BusyCores>() : nullptr;
      run =
          RunProgram(kSonlet, HeadlessOnRecording("vowel_a_male.wav", "x11"), "", OnTestDisplay());
    }
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(EventsNotDelivered(run.err), 0) << run.err;
    EXPECT_EQ(watcher_->Pointer(), (ScreenPoint{start.x + logged.dx, start.y + logged.dy}))
        << (busy ? "busy" : "idle");
  }
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

// A run's --output log: the sum of its motions, and its scrolling as X's wheel buttons take it,
// notches of 4 up, 5 down, 6 left, 7 right.
struct Logged {
  ScreenPoint moved;
  std::map<int, int> notches;
};

Logged LoggedFor(const std::vector<std::string>& args) {
  const ProgramRun run = RunProgram(kSonlet, args);
  EXPECT_EQ(run.status, 0) << run.err;
  Logged logged;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line.substr(line.find('\t') + 1));
    std::string kind;
    int dx = 0;
    int dy = 0;
    if (fields >> kind >> dx >> dy && kind == "move") {
      logged.moved = {logged.moved.x + dx, logged.moved.y + dy};
    } else if (kind == "scroll") {
      if (dy != 0) logged.notches[dy < 0 ? 4 : 5] += std::abs(dy);
      if (dx != 0) logged.notches[dx < 0 ? 6 : 7] += std::abs(dx);
    }
  }
  return logged;
}

// The pointer actions chosen for a run's start, on recordings of sounds, reach the window as a
// mouse's would, and as the run's log says.
TEST_F(DesktopOutput, ActionsGiveRightAndDoubleClicksADragAndScrolling) {
  char folder[] = "/tmp/sonlet-x-actions-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/sounds.wav";
  const std::string pause = "room_noise.wav";
  const struct {
    const char* action;
    std::vector<std::string> sounds;
    std::vector<int> clicked;  // the buttons pressed and released, the wheel aside
  } runs[] = {
      {"right", {"click.wav"}, {3}},
      {"double", {"click.wav"}, {1, 1}},
      {"drag", {"click.wav", pause, "vowel_a_male.wav", pause, "click.wav"}, {1}},
      // Up, then right, then a click that only ends the scrolling.
      {"scroll", {"vowel_e_male.wav", pause, "vowel_a_male.wav", pause, "click.wav"}, {}},
  };
  watcher_->OpenWindow(0, 0, XvfbServer::kWidth, XvfbServer::kHeight);
  for (const auto& r : runs) {
    WriteJoinedRecordings(recording, r.sounds);
    std::vector<std::string> args = HeadlessOnRecording("", "log");
    args[2] = recording;
    args.insert(args.end(), {"--action", r.action});
    const Logged logged = LoggedFor(args);
    const ScreenPoint start = {200, 300};
    watcher_->WarpPointer(start);

    args[args.size() - 3] = "x11";
    const ProgramRun run = RunProgram(kSonlet, args, "", OnTestDisplay());
    ASSERT_EQ(run.status, 0) << r.action << run.err;
    std::vector<WindowEvent> buttons;
    std::vector<WindowEvent> motions;
    std::map<int, int> notches;
    for (const WindowEvent& e : watcher_->WindowEvents()) {
      const int button = e.what == "motion" ? 0 : e.what.back() - '0';
      if (button >= 4) {
        notches[button] += e.what.starts_with("press") ? 1 : 0;
      } else {
        (button == 0 ? motions : buttons).push_back(e);
      }
    }
    ASSERT_EQ(Whats(buttons), PressesAndReleases(r.clicked)) << r.action;
    EXPECT_EQ(notches, logged.notches) << r.action;
    EXPECT_EQ(watcher_->Pointer(),
              (ScreenPoint{start.x + logged.moved.x, start.y + logged.moved.y}))
        << r.action;
    EXPECT_EQ(watcher_->HeldButtons(), std::vector<int>{}) << r.action;
    if (r.action == std::string("scroll")) {
      EXPECT_GE(notches[4], 5);
      EXPECT_GE(notches[7], 5);
    } else if (r.action == std::string("double")) {
      // One place, within any toolkit's double-click interval (200 ms for Xt, 400 for GTK, Qt).
      EXPECT_EQ(buttons[2].at, buttons[0].at);
      EXPECT_LT(buttons[3].time - buttons[0].time, 200u);
    } else if (r.action == std::string("drag")) {
      // The window hears of motions only while a button is held.
      EXPECT_GE(buttons[1].at.x - buttons[0].at.x, 200);
      ASSERT_FALSE(motions.empty());
      EXPECT_EQ(motions.back().at, buttons[1].at);
    }
  }
  std::filesystem::remove_all(folder);
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

// The X server going away while the program steers: killed, the program ends as for a lost
// output (status 4, the reason, the summary, a whole trace) instead of inside Xlib; frozen, a stop
// signal still ends the program, with its summary.
TEST(DesktopOutputLost, XServerGoneMidRunEndsTheRunWithItsOwnStatus) {
  char folder[] = "/tmp/sonlet-x-lost-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  const std::string trace = std::string(folder) + "/trace.csv";
  WriteRepeatedVowel(recording, 30);
  std::vector<std::string> args = HeadlessOnRecording("vowel_a_male.wav", "x11");
  args[2] = recording;
  args.insert(args.end(), {"--realtime", "--trace", trace});

  for (const int server_signal : {SIGKILL, SIGSTOP}) {
    const char* name = server_signal == SIGKILL ? "killed" : "frozen";
    XvfbServer server;
    ASSERT_TRUE(server.running()) << server.error();
    auto watcher = std::make_unique<XWatcher>(server.display());
    const ScreenPoint start = {100, 300};
    watcher->WarpPointer(start);
    LiveProgram program(kSonlet, args, {"DISPLAY=" + server.display(), "WAYLAND_DISPLAY="});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (watcher->Pointer() == start && std::chrono::steady_clock::now() < deadline) {
      usleep(20000);
    }
    ASSERT_NE(watcher->Pointer(), start) << name << ": the pointer never moved\n" << program.err();
    if (server_signal == SIGKILL) {
      watcher.reset();  // the test's own connection must not meet the dead server
      kill(server.pid(), SIGKILL);
      const int status = program.Wait(std::chrono::seconds(20));
      ExpectEndedAsLostOutput(status, program.err(), trace);
    } else {
      ASSERT_EQ(kill(server.pid(), SIGSTOP), 0);
      usleep(300000);  // the program's events now wait for the server
      EXPECT_EQ(program.Stop(SIGTERM, std::chrono::seconds(5)), 0) << name << program.err();
      EXPECT_NE(program.err().find(" passes; moves right "), std::string::npos) << program.err();
      kill(server.pid(), SIGCONT);
    }
  }
  std::filesystem::remove_all(folder);
}

// The panel's X server going away while it steers: the panel saves its settings, closes, and the
// program ends with the status of a lost output, saying why. Started over the bus, as a user's
// voice-driven session would start it.
TEST(DesktopOutputLost, PanelSavesItsSettingsAndEndsWithItsOwnStatusWhenTheXServerGoes) {
  char folder[] = "/tmp/sonlet-x-lost-panel-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  const std::string profile = std::string(folder) + "/user.txt";
  WriteRepeatedVowel(recording, 30);
  // The bundled profile on one line: the panel writes it back as six, so a rewritten file shows
  // that it saved.
  std::ofstream(profile) << "45 3 20 80 50 1";
  PrivateBus bus;
  ASSERT_TRUE(bus.running()) << bus.error();
  XvfbServer server;
  ASSERT_TRUE(server.running()) << server.error();
  auto watcher = std::make_unique<XWatcher>(server.display());
  const ScreenPoint start = {100, 300};
  watcher->WarpPointer(start);

  const std::vector<std::string> session = {"DISPLAY=" + server.display(),
                                            "WAYLAND_DISPLAY=", bus.Environment(),
                                            "QT_QPA_PLATFORM=offscreen"};
  LiveProgram panel(kSonlet,
                    {"--input", recording, "--realtime", "--profile", profile, "--output", "x11"},
                    session);
  // The panel starts stopped; --start reaches it once it is on the bus.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (RunProgram(kSonlet, {"--start"}, "", session).status != 0 &&
         std::chrono::steady_clock::now() < deadline) {
    usleep(100000);
  }
  while (watcher->Pointer() == start && std::chrono::steady_clock::now() < deadline) {
    usleep(20000);
  }
  ASSERT_NE(watcher->Pointer(), start) << "the pointer never moved\n" << panel.err();
  watcher.reset();
  kill(server.pid(), SIGKILL);
  EXPECT_EQ(panel.Wait(std::chrono::seconds(20)), 4) << panel.err();
  EXPECT_NE(panel.err().find("the pointer output was lost"), std::string::npos) << panel.err();
  std::ifstream saved(profile);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "45\n3\n20\n80\n50\n1\n");
  std::filesystem::remove_all(folder);
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
