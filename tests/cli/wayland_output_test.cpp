// SPDX-License-Identifier: GPL-3.0-or-later
// The program moving the pointer of a real headless sway and a real headless KWin through
// --output wayland and auto, as a client of the test's own sees it.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "cli/live_program.h"
#include "cli/logged_events.h"
#include "cli/run_program.h"
#include "support/child_process.h"
#include "support/headless_kwin.h"
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

// The compositors of the Wayland route, each with the route's name in what auto says it took.
struct Sway : HeadlessSway {
  static constexpr char kRoute[] = "wlroots virtual pointer";
  static constexpr bool kWheelSteps = true;  // a wheel's discrete steps beside the smooth value
};
// KWin grants its fake input to the program and to this test, whose observer places the pointer
// with it.
struct KWin : HeadlessKWin {
  KWin() : HeadlessKWin({kSonlet, std::filesystem::read_symlink("/proc/self/exe")}) {}
  static constexpr char kRoute[] = "KDE Plasma's compositor";
  static constexpr bool kWheelSteps = false;  // the fake input scrolls by the smooth value alone
};
struct CompositorName {
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, Sway> ? "Sway" : "KWin";
  }
};

template <typename Compositor>
class WaylandOutput : public testing::Test {
 protected:
  void SetUp() override {
    if (compositor_.missing()) GTEST_SKIP() << compositor_.error();
    ASSERT_TRUE(compositor_.running()) << compositor_.error();
    observer_ = std::make_unique<WaylandObserver>(compositor_.socket());
    ASSERT_TRUE(observer_->ready()) << observer_->error();
  }
  // The program sees the test's compositor and no X display.
  std::vector<std::string> OnTestCompositor() const {
    return {"WAYLAND_DISPLAY=" + compositor_.socket(), "DISPLAY"};
  }

  Compositor compositor_;
  std::unique_ptr<WaylandObserver> observer_;
};
using Compositors = testing::Types<Sway, KWin>;
TYPED_TEST_SUITE(WaylandOutput, Compositors, CompositorName);

// No acceleration applies to the virtual pointer: the pointer moves by exactly the logged sum,
// through --output wayland and through auto, which takes the compositor's route first in a
// Wayland session and says so, and also on a machine busy on every core.
TYPED_TEST(WaylandOutput, HeldVowelMovesThePointerRightByTheLoggedMotions) {
  const LoggedEvents logged = EventsLoggedFor("vowel_a_male.wav");
  ASSERT_GT(logged.dx, 0) << "the recording should steer right";
  const int start_x = 100;
  const int start_y = this->observer_->height() / 2;
  ASSERT_LT(start_x + logged.dx, this->observer_->width()) << "the output's edge would clamp";

  struct Case {
    const char* output;  // "" for the default, auto
    const char* notice;  // what standard error must say, or ""
    bool busy;           // a busy loop on every core beside it
  };
  const Case cases[] = {
      {"wayland", "", false},
      {"", TypeParam::kRoute, false},
      {"wayland", "", true},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(this->observer_->PlacePointer(start_x, start_y));
    this->observer_->ClearRecords();
    ProgramRun run;
    {
      std::unique_ptr<BusyCores> load = c.busy ? std::make_unique<BusyCores>() : nullptr;
      run = RunProgram(kSonlet, HeadlessOnRecording("vowel_a_male.wav", c.output), "",
                       this->OnTestCompositor());
    }
    EXPECT_EQ(EventsNotDelivered(run.err), 0) << run.err;
    ASSERT_EQ(run.status, 0) << c.output << ": " << run.err;
    EXPECT_NE(run.err.find(c.notice), std::string::npos) << c.output << ": " << run.err;
    ASSERT_TRUE(this->observer_->Settle());
    const std::vector<PointerRecord> records = this->observer_->Records();
    const PointerRecord* at = LastPosition(records);
    ASSERT_NE(at, nullptr) << c.output;
    EXPECT_EQ(at->x, start_x + logged.dx) << c.output;
    EXPECT_EQ(at->y, start_y + logged.dy) << c.output;
  }
}

TYPED_TEST(WaylandOutput, ClickRecordingGivesOnePressAndOneReleasePerClick) {
  const LoggedEvents logged = EventsLoggedFor("click.wav");
  ASSERT_EQ(logged.clicks, 1) << "the recording should click once";
  ASSERT_TRUE(this->observer_->PlacePointer(200, 200));
  this->observer_->ClearRecords();

  const ProgramRun run = RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "",
                                    this->OnTestCompositor());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(this->observer_->Settle());
  std::vector<std::string> buttons;
  for (const PointerRecord& r : this->observer_->Records()) {
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
TYPED_TEST(WaylandOutput, EveryActionReachesTheSurfaceAsTheLogShowsIt) {
  char folder[] = "/tmp/sonlet-wayland-actions-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  int y = 100;
  for (const ActionRun& c : ActionRuns()) {
    SCOPED_TRACE(c.action);
    std::vector<std::string> args;
    const LoggedEvents logged = LoggedAction(c, folder, &args);
    // A new place each time: the surface hears of a placing only when the pointer moves.
    ASSERT_TRUE(this->observer_->PlacePointer(100, y += 20));
    ASSERT_LT(100 + logged.dx, this->observer_->width()) << "the output's edge would clamp";
    // From the placing on, which is the last record: the drag is measured from there.
    const long placed = static_cast<long>(this->observer_->Records().size()) - 1;
    args.insert(args.end(), {"--output", "wayland"});
    const ProgramRun run = RunProgram(kSonlet, args, "", this->OnTestCompositor());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(this->observer_->Settle());
    const std::vector<PointerRecord> all = this->observer_->Records();
    const std::vector<PointerRecord> records(all.begin() + placed, all.end());
    const HeardButtons heard = ButtonsHeard(records);
    EXPECT_EQ(heard.changes, logged.buttons);
    ASSERT_NE(LastPosition(records), nullptr);
    EXPECT_EQ(LastPosition(records)->x, 100 + logged.dx);
    EXPECT_EQ(LastPosition(records)->y, y + logged.dy);
    EXPECT_EQ(heard.held_dx, logged.held_dx);
    EXPECT_EQ(heard.held_dy, logged.held_dy);
    // Every notch is libinput's 15 units of smooth scrolling, and where the compositor passes
    // them on, a wheel's step.
    double smooth[2] = {0, 0};
    for (const PointerRecord& r : records) {
      if (r.what == "axis" && r.button < 2) smooth[r.button] += r.x;
    }
    EXPECT_EQ(smooth[0], 15.0 * logged.scroll_dy);
    EXPECT_EQ(smooth[1], 15.0 * logged.scroll_dx);
    if (TypeParam::kWheelSteps) {
      EXPECT_EQ(Notches(records, 0), logged.scroll_dy);
      EXPECT_EQ(Notches(records, 1), logged.scroll_dx);
    }
    if (c.action == "double") {
      ASSERT_EQ(heard.press_times.size(), 2u);
      EXPECT_LT(heard.press_times[1] - heard.press_times[0], 400u);
    }
  }
  std::filesystem::remove_all(folder);
}

// TERM as soon as the compositor has passed on the press: the program ends through the path
// that releases what it holds, so every press has its release.
TYPED_TEST(WaylandOutput, TerminatedDuringAClickLeavesNoButtonHeld) {
  ASSERT_TRUE(this->observer_->PlacePointer(200, 200));
  this->observer_->ClearRecords();
  std::vector<std::string> args = HeadlessOnRecording("click.wav", "wayland");
  args.push_back("--realtime");
  LiveProgram program(kSonlet, args, {"WAYLAND_DISPLAY=" + this->compositor_.socket(), "DISPLAY="});
  ASSERT_TRUE(this->observer_->WaitFor(
      [](const std::vector<PointerRecord>& records) { return Count(records, "press") > 0; },
      kRunLimit))
      << program.err();
  EXPECT_EQ(program.Stop(SIGTERM, kRunLimit), 0) << program.err();
  ASSERT_TRUE(this->observer_->Settle());
  const std::vector<PointerRecord> records = this->observer_->Records();
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
TYPED_TEST(WaylandOutput, CompositorKilledMidRunEndsTheRunWithItsOwnStatus) {
  char folder[] = "/tmp/sonlet-wayland-lost-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  const std::string trace = std::string(folder) + "/trace.csv";
  WriteRepeatedVowel(recording, 30);
  std::vector<std::string> args = HeadlessOnRecording("vowel_a_male.wav", "wayland");
  args[2] = recording;
  args.insert(args.end(), {"--realtime", "--trace", trace});
  ASSERT_TRUE(this->observer_->PlacePointer(100, this->observer_->height() / 2));
  this->observer_->ClearRecords();

  LiveProgram program(kSonlet, args, {"WAYLAND_DISPLAY=" + this->compositor_.socket(), "DISPLAY="});
  ASSERT_TRUE(this->observer_->WaitFor(
      [](const std::vector<PointerRecord>& records) { return Count(records, "motion") > 0; },
      kRunLimit))
      << program.err();
  ASSERT_EQ(kill(this->compositor_.pid(), SIGKILL), 0);
  const int status = program.Wait(std::chrono::seconds(20));
  ExpectEndedAsLostOutput(status, program.err(), trace);
  std::filesystem::remove_all(folder);
}

// A compositor that stops answering (frozen with SIGSTOP): at the start the refusal says that it
// did not answer, not that a pipe broke; in the middle of a run a stop signal still ends the
// program promptly, with its summary.
TYPED_TEST(WaylandOutput, FrozenCompositorIsNamedAtTheStartAndDoesNotHoldAStop) {
  ASSERT_EQ(kill(this->compositor_.pid(), SIGSTOP), 0);
  const ProgramRun at_start = RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "",
                                         this->OnTestCompositor());
  EXPECT_EQ(at_start.status, 2) << at_start.err;
  EXPECT_NE(at_start.err.find("' did not answer within 5 s"), std::string::npos) << at_start.err;
  EXPECT_EQ(at_start.err.find("Broken pipe"), std::string::npos) << at_start.err;
  ASSERT_EQ(kill(this->compositor_.pid(), SIGCONT), 0);

  char folder[] = "/tmp/sonlet-wayland-frozen-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  WriteRepeatedVowel(recording, 30);
  std::vector<std::string> args = HeadlessOnRecording("vowel_a_male.wav", "wayland");
  args[2] = recording;
  args.push_back("--realtime");
  ASSERT_TRUE(this->observer_->PlacePointer(100, this->observer_->height() / 2));
  this->observer_->ClearRecords();
  LiveProgram program(kSonlet, args, {"WAYLAND_DISPLAY=" + this->compositor_.socket(), "DISPLAY="});
  ASSERT_TRUE(this->observer_->WaitFor(
      [](const std::vector<PointerRecord>& records) { return Count(records, "motion") > 0; },
      kRunLimit))
      << program.err();
  ASSERT_EQ(kill(this->compositor_.pid(), SIGSTOP), 0);
  usleep(300000);  // the program's events now wait for the compositor
  const int status = program.Stop(SIGTERM, std::chrono::seconds(5));
  ASSERT_EQ(kill(this->compositor_.pid(), SIGCONT), 0);
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

// A KWin with no desktop file naming the program hides its fake input: the refusal names the
// program's path and the remedy, and --output wayland goes on to the portal.
TEST(WaylandOutputMissing, KWinWithoutTheDesktopFileSaysWhatToInstall) {
  HeadlessKWin kwin({});
  if (kwin.missing()) GTEST_SKIP() << kwin.error();
  ASSERT_TRUE(kwin.running()) << kwin.error();
  const ProgramRun run = RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "",
                                    {"WAYLAND_DISPLAY=" + kwin.socket(), "DISPLAY"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("KDE fake input: KWin does not offer its fake input "
                         "(org_kde_kwin_fake_input) to " +
                         std::filesystem::canonical(kSonlet).string() + ": "),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input"), std::string::npos);
  EXPECT_NE(run.err.find("; desktop portal: "), std::string::npos) << run.err;
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
  EXPECT_NE(run.err.find("KDE fake input: "), std::string::npos) << run.err;
}

}  // namespace

}  // namespace sonlet
