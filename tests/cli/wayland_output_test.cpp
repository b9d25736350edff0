// SPDX-License-Identifier: GPL-3.0-or-later
// The program moving the pointer of a real headless sway through --output wayland and auto, as
// a client of the test's own sees it.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/live_program.h"
#include "cli/logged_events.h"
#include "cli/run_program.h"
#include "support/child_process.h"
#include "support/headless_sway.h"
#include "support/wayland_observer.h"

namespace sonlet {

namespace {

const std::string kSonlet = SONLET_BINARY;
constexpr auto kRunLimit = std::chrono::seconds(60);

int Count(const std::vector<PointerRecord>& records, const std::string& what) {
  int n = 0;
  for (const PointerRecord& r : records) n += r.what == what ? 1 : 0;
  return n;
}

class WaylandOutput : public testing::Test {
 protected:
  void SetUp() override {
    if (sway_.missing()) GTEST_SKIP() << sway_.error();
    ASSERT_TRUE(sway_.running()) << sway_.error();
    observer_ = std::make_unique<WaylandObserver>(sway_.socket());
    ASSERT_TRUE(observer_->ready()) << observer_->error();
  }
  // The program sees the test's compositor and no X display.
  std::vector<std::string> OnTestCompositor() const {
    return {"WAYLAND_DISPLAY=" + sway_.socket(), "DISPLAY"};
  }

  HeadlessSway sway_;
  std::unique_ptr<WaylandObserver> observer_;
};

// No acceleration applies to the virtual pointer: the pointer moves by exactly the logged sum,
// through --output wayland and through auto, which takes the compositor's route first in a
// Wayland session and says so, and also on a machine busy on every core.
TEST_F(WaylandOutput, HeldVowelMovesThePointerRightByTheLoggedMotions) {
  const LoggedEvents logged = EventsLoggedFor("vowel_a_male.wav");
  ASSERT_GT(logged.dx, 0) << "the recording should steer right";
  const int start_x = 100;
  const int start_y = observer_->height() / 2;
  ASSERT_LT(start_x + logged.dx, observer_->width()) << "the output's edge would clamp";

  struct Case {
    const char* output;  // "" for the default, auto
    const char* notice;  // what standard error must say, or ""
    bool busy;           // a busy loop on every core beside it
  };
  const Case cases[] = {
      {"wayland", "", false},
      {"", "wlroots virtual pointer", false},
      {"wayland", "", true},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(observer_->PlacePointer(start_x, start_y));
    observer_->ClearRecords();
    ProgramRun run;
    {
      std::unique_ptr<BusyCores> load = c.busy ? std::make_unique<BusyCores>() : nullptr;
      run = RunProgram(kSonlet, HeadlessOnRecording("vowel_a_male.wav", c.output), "",
                       OnTestCompositor());
    }
    EXPECT_EQ(EventsNotDelivered(run.err), 0) << run.err;
    ASSERT_EQ(run.status, 0) << c.output << ": " << run.err;
    EXPECT_NE(run.err.find(c.notice), std::string::npos) << c.output << ": " << run.err;
    ASSERT_TRUE(observer_->Settle());
    const std::vector<PointerRecord> records = observer_->Records();
    const PointerRecord* at = LastPosition(records);
    ASSERT_NE(at, nullptr) << c.output;
    EXPECT_EQ(at->x, start_x + logged.dx) << c.output;
    EXPECT_EQ(at->y, start_y + logged.dy) << c.output;
  }
}

TEST_F(WaylandOutput, ClickRecordingGivesOnePressAndOneReleasePerClick) {
  const LoggedEvents logged = EventsLoggedFor("click.wav");
  ASSERT_EQ(logged.clicks, 1) << "the recording should click once";
  ASSERT_TRUE(observer_->PlacePointer(200, 200));
  observer_->ClearRecords();

  const ProgramRun run =
      RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "", OnTestCompositor());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(observer_->Settle());
  std::vector<std::string> buttons;
  for (const PointerRecord& r : observer_->Records()) {
    if (r.what == "press" || r.what == "release") {
      buttons.push_back(r.what + " " + std::to_string(r.button));
    }
  }
  EXPECT_EQ(buttons, (std::vector<std::string>{"press 272", "release 272"}));
}

// Every pointer action through the compositor, each chosen with --action for a run on a recording
// of sounds: the surface hears what the log shows, the buttons in order (a drag's press and
// release with its motions between, a double click's clicks at one place within GTK's 400 ms)
// and every notch.
TEST_F(WaylandOutput, EveryActionReachesTheSurfaceAsTheLogShowsIt) {
  char folder[] = "/tmp/sonlet-wayland-actions-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  int y = 100;
  for (const ActionRun& c : ActionRuns()) {
    SCOPED_TRACE(c.action);
    std::vector<std::string> args;
    const LoggedEvents logged = LoggedAction(c, folder, &args);
    // A new place each time: the surface hears of a placing only when the pointer moves.
    ASSERT_TRUE(observer_->PlacePointer(100, y += 20));
    ASSERT_LT(100 + logged.dx, observer_->width()) << "the output's edge would clamp";
    // From the placing on, which is the last record: the drag is measured from there.
    const long placed = static_cast<long>(observer_->Records().size()) - 1;
    args.insert(args.end(), {"--output", "wayland"});
    const ProgramRun run = RunProgram(kSonlet, args, "", OnTestCompositor());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(observer_->Settle());
    const std::vector<PointerRecord> all = observer_->Records();
    const std::vector<PointerRecord> records(all.begin() + placed, all.end());
    const HeardButtons heard = ButtonsHeard(records);
    EXPECT_EQ(heard.changes, logged.buttons);
    ASSERT_NE(LastPosition(records), nullptr);
    EXPECT_EQ(LastPosition(records)->x, 100 + logged.dx);
    EXPECT_EQ(LastPosition(records)->y, y + logged.dy);
    EXPECT_EQ(heard.held_dx, logged.held_dx);
    EXPECT_EQ(heard.held_dy, logged.held_dy);
    EXPECT_EQ(Notches(records, 0), logged.scroll_dy);
    EXPECT_EQ(Notches(records, 1), logged.scroll_dx);
    if (c.action == "double") {
      ASSERT_EQ(heard.press_times.size(), 2u);
      EXPECT_LT(heard.press_times[1] - heard.press_times[0], 400u);
    }
  }
  std::filesystem::remove_all(folder);
}

// TERM as soon as the compositor has passed on the press: the program ends through the path
// that releases what it holds, so every press has its release.
TEST_F(WaylandOutput, TerminatedDuringAClickLeavesNoButtonHeld) {
  ASSERT_TRUE(observer_->PlacePointer(200, 200));
  observer_->ClearRecords();
  std::vector<std::string> args = HeadlessOnRecording("click.wav", "wayland");
  args.push_back("--realtime");
  LiveProgram program(kSonlet, args, {"WAYLAND_DISPLAY=" + sway_.socket(), "DISPLAY="});
  ASSERT_TRUE(observer_->WaitFor(
      [](const std::vector<PointerRecord>& records) { return Count(records, "press") > 0; },
      kRunLimit))
      << program.err();
  EXPECT_EQ(program.Stop(SIGTERM, kRunLimit), 0) << program.err();
  ASSERT_TRUE(observer_->Settle());
  const std::vector<PointerRecord> records = observer_->Records();
  EXPECT_EQ(Count(records, "press"), 1);
  EXPECT_EQ(Count(records, "release"), Count(records, "press"));
  std::string last_button;
  for (const PointerRecord& r : records) {
    if (r.what == "press" || r.what == "release") last_button = r.what;
  }
  EXPECT_EQ(last_button, "release");
}

// The compositor ending while the program steers: the program stops moving a pointer that is no
// longer there and ends as for a lost output (status 4, the reason, the summary, a whole trace).
TEST_F(WaylandOutput, CompositorKilledMidRunEndsTheRunWithItsOwnStatus) {
  char folder[] = "/tmp/sonlet-wayland-lost-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  const std::string trace = std::string(folder) + "/trace.csv";
  WriteRepeatedVowel(recording, 30);
  std::vector<std::string> args = HeadlessOnRecording("vowel_a_male.wav", "wayland");
  args[2] = recording;
  args.insert(args.end(), {"--realtime", "--trace", trace});
  ASSERT_TRUE(observer_->PlacePointer(100, observer_->height() / 2));
  observer_->ClearRecords();

  LiveProgram program(kSonlet, args, {"WAYLAND_DISPLAY=" + sway_.socket(), "DISPLAY="});
  ASSERT_TRUE(observer_->WaitFor(
      [](const std::vector<PointerRecord>& records) { return Count(records, "motion") > 0; },
      kRunLimit))
      << program.err();
  ASSERT_EQ(kill(sway_.pid(), SIGKILL), 0);
  const int status = program.Wait(std::chrono::seconds(20));
  ExpectEndedAsLostOutput(status, program.err(), trace);
  std::filesystem::remove_all(folder);
}

// A compositor that stops answering (frozen with SIGSTOP): at the start the refusal says that it
// did not answer, not that a pipe broke; in the middle of a run a stop signal still ends the
// program promptly, with its summary.
TEST_F(WaylandOutput, FrozenCompositorIsNamedAtTheStartAndDoesNotHoldAStop) {
  ASSERT_EQ(kill(sway_.pid(), SIGSTOP), 0);
  const ProgramRun at_start =
      RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "", OnTestCompositor());
  EXPECT_EQ(at_start.status, 2) << at_start.err;
  EXPECT_NE(at_start.err.find("' did not answer within 5 s"), std::string::npos) << at_start.err;
  EXPECT_EQ(at_start.err.find("Broken pipe"), std::string::npos) << at_start.err;
  ASSERT_EQ(kill(sway_.pid(), SIGCONT), 0);

  char folder[] = "/tmp/sonlet-wayland-frozen-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  WriteRepeatedVowel(recording, 30);
  std::vector<std::string> args = HeadlessOnRecording("vowel_a_male.wav", "wayland");
  args[2] = recording;
  args.push_back("--realtime");
  ASSERT_TRUE(observer_->PlacePointer(100, observer_->height() / 2));
  observer_->ClearRecords();
  LiveProgram program(kSonlet, args, {"WAYLAND_DISPLAY=" + sway_.socket(), "DISPLAY="});
  ASSERT_TRUE(observer_->WaitFor(
      [](const std::vector<PointerRecord>& records) { return Count(records, "motion") > 0; },
      kRunLimit))
      << program.err();
  ASSERT_EQ(kill(sway_.pid(), SIGSTOP), 0);
  usleep(300000);  // the program's events now wait for the compositor
  const int status = program.Stop(SIGTERM, std::chrono::seconds(5));
  ASSERT_EQ(kill(sway_.pid(), SIGCONT), 0);
  EXPECT_EQ(status, 0) << program.err();
  EXPECT_NE(program.err().find(" passes; moves right "), std::string::npos) << program.err();
  std::filesystem::remove_all(folder);
}

// Without a compositor that offers a route, --output wayland refuses with the reasons and status
// 2, before the engine runs.
TEST(WaylandOutputMissing, NoCompositorGivesTheReasonAndStatus2) {
  struct Case {
    std::vector<std::string> environment;
    const char* reason;
  };
  const Case cases[] = {
      {{"WAYLAND_DISPLAY", "DISPLAY"}, "WAYLAND_DISPLAY is not set"},
      {{"WAYLAND_DISPLAY=/nonexistent/wayland-77", "DISPLAY"},
       "cannot connect to the Wayland compositor"},
  };
  for (const Case& c : cases) {
    const ProgramRun run =
        RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "", c.environment);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("--output wayland"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("; desktop portal: "), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(" passes;"), std::string::npos) << "the engine ran: " << run.err;
  }
}

// auto tries the compositor first in a Wayland session; one it cannot reach does not stop it, and
// what it took instead (or the refusal, with no other way) names the Wayland failure.
TEST(WaylandOutputMissing, AutoInAWaylandSessionSaysWhyTheCompositorsRouteFailed) {
  const ProgramRun run = RunProgram(kSonlet, HeadlessOnRecording("click.wav", ""), "",
                                    {"WAYLAND_DISPLAY=/nonexistent/wayland-77", "DISPLAY"});
  EXPECT_NE(run.err.find("Wayland: wlroots virtual pointer: cannot connect to the Wayland "
                         "compositor '/nonexistent/wayland-77'"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("GNOME remote desktop: "), std::string::npos) << run.err;
}

}  // namespace

}  // namespace sonlet
