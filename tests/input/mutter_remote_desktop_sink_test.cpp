// SPDX-License-Identifier: GPL-3.0-or-later
// The events reaching a real GNOME compositor: a headless mutter on a private bus, the sink in a
// remote-desktop session with it, and a Wayland client whose fullscreen surface sees the pointer.

#include "input/mutter_remote_desktop_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/live_program.h"
#include "cli/logged_events.h"
#include "cli/run_program.h"
#include "input/headless_mutter.h"
#include "support/child_process.h"
#include "support/private_bus.h"
#include "support/wayland_observer.h"

namespace sonlet {

namespace {

const std::string kSonlet = SONLET_BINARY;

struct Point {
  double x;
  double y;
  bool operator==(const Point&) const = default;
};

void PrintTo(const Point& p, std::ostream* out) { *out << "(" << p.x << ", " << p.y << ")"; }

// The buttons (`kind` "", as "press 272") or the keys (`kind` "key-", as "key-release 28") among
// the records, to compare whole sequences.
std::vector<std::string> Presses(const std::vector<PointerRecord>& records,
                                 const std::string& kind) {
  std::vector<std::string> out;
  for (const PointerRecord& r : records) {
    if (r.what == kind + "press" || r.what == kind + "release") {
      out.push_back(r.what + " " + std::to_string(r.button));
    }
  }
  return out;
}
std::vector<std::string> Buttons(const std::vector<PointerRecord>& r) { return Presses(r, ""); }
std::vector<std::string> Keys(const std::vector<PointerRecord>& r) { return Presses(r, "key-"); }

bool KeyboardEntered(const std::vector<PointerRecord>& records) {
  for (const PointerRecord& r : records) {
    if (r.what == "keyboard-enter") return true;
  }
  return false;
}

// Where the pointer last was among the records; (-1, -1) before it entered the surface.
Point Position(const std::vector<PointerRecord>& records) {
  const PointerRecord* at = LastPosition(records);
  return at == nullptr ? Point{-1, -1} : Point{at->x, at->y};
}

// dbus-monitor on the private bus: the remote-desktop session's calls as they went over it, to
// see in which order the sink made them (mutter's own reaction can hide the order).
class BusMonitor {
 public:
  explicit BusMonitor(const std::string& bus_address) {
    char file[] = "/tmp/sonlet-monitor-XXXXXX";
    const int fd = mkstemp(file);
    if (fd < 0) return;
    file_ = file;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(1);
      dup2(fd, 1);
      execlp("dbus-monitor", "dbus-monitor", "--address", bus_address.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fd);
    // It is told that it lost its own name once it has become a monitor.
    WaitFor([&] { return Text().find("NameLost") != std::string::npos; });
  }
  ~BusMonitor() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!file_.empty()) unlink(file_.c_str());
  }

  // The session's method calls: the member, then each argument's value.
  std::vector<std::string> SessionCalls() const {
    std::vector<std::string> calls;
    std::istringstream lines(Text());
    bool in_call = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("method call", 0) == 0 || line.rfind("method return", 0) == 0 ||
          line.rfind("signal", 0) == 0 || line.rfind("error", 0) == 0) {
        in_call =
            line.rfind("method call", 0) == 0 &&
            line.find("interface=org.gnome.Mutter.RemoteDesktop.Session;") != std::string::npos;
        if (in_call) calls.push_back(line.substr(line.find("member=") + 7));
      } else if (in_call) {
        std::istringstream fields(line);
        std::string type, value;
        fields >> type >> value;
        calls.back() += " " + value;
      }
    }
    return calls;
  }

  bool WaitFor(const std::function<bool()>& done) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

 private:
  std::string Text() const {
    std::ifstream in(file_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  pid_t pid_ = -1;
  std::string file_;
};

// Qt DBus wants an application object, as the program has one.
void EnsureApplication() {
  static int argc = 1;
  static char name[] = "mutter_remote_desktop_sink_test";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

class MutterRemoteDesktop : public testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    if (!HeadlessMutter::Installed()) {
      GTEST_SKIP() << "mutter is not installed (scripts/install-deps installs it)";
    }
    ASSERT_TRUE(bus_.running()) << bus_.error();
    setenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().c_str(), 1);
    mutter_ = std::make_unique<HeadlessMutter>(bus_.address());
    ASSERT_TRUE(mutter_->running()) << mutter_->error();
    observer_ = std::make_unique<WaylandObserver>(mutter_->WaylandSocket());
    ASSERT_TRUE(observer_->ready()) << observer_->error();
  }

  std::unique_ptr<InputSink> Open() {
    std::string why;
    std::unique_ptr<InputSink> sink = OpenMutterRemoteDesktop(&why);
    EXPECT_NE(sink, nullptr) << why;
    return sink;
  }

  Point Pointer() { return Position(observer_->Records()); }

  // Brings the pointer onto the surface with a step down and returns where it is then.
  Point Settle(InputSink& sink) {
    EXPECT_EQ(sink.Move(0, 1), 0);
    EXPECT_TRUE(observer_->WaitFor([](const auto& r) { return Position(r).x >= 0; }))
        << "the pointer never came";
    return Pointer();
  }

  // A step down after other events, waited for: the compositor keeps a session's events in
  // order, so once the observer has seen this, it has seen everything before it. Mutter may join
  // the motions of one frame into one, so the mark is known only by the pointer's height: the
  // events not yet seen must not move it up or down.
  void Mark(InputSink& sink) {
    const double y = Pointer().y;
    ASSERT_EQ(sink.Move(0, 1), 0);
    ASSERT_TRUE(observer_->WaitFor([y](const auto& r) { return Position(r).y != y; }))
        << "the mark never came";
  }

  PrivateBus bus_;
  std::unique_ptr<HeadlessMutter> mutter_;
  std::unique_ptr<WaylandObserver> observer_;
};

// Mutter does not accelerate a remote desktop's motion: the pointer moves by exactly the sum of
// the steps, whatever their sizes (accelerated, the large steps would move it further).
TEST_F(MutterRemoteDesktop, PointerMovesRightByTheSumOfTheSteps) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  const Point start = Settle(*sink);
  const std::vector<int> steps = {3, 10, 1, 25, 7, 40};
  int sum = 0;
  for (int dx : steps) {
    EXPECT_EQ(sink->Move(dx, 0), 0);
    sum += dx;
  }
  ASSERT_LT(start.x + sum, HeadlessMutter::kWidth) << "the screen edge would clamp";
  Mark(*sink);
  EXPECT_EQ(Pointer(), (Point{start.x + sum, start.y + 1}));
}

TEST_F(MutterRemoteDesktop, LeftStepsGoLeftAndDownStepsGoDown) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  const Point start = Settle(*sink);
  EXPECT_EQ(sink->Move(-12, 5), 0);
  // A step goes as one motion: once the pointer has left the start, all of it has been seen.
  ASSERT_TRUE(observer_->WaitFor([start](const auto& r) { return Position(r) != start; }));
  Mark(*sink);
  EXPECT_EQ(Pointer(), (Point{start.x - 12, start.y + 6}));
}

TEST_F(MutterRemoteDesktop, ClickGivesOnePressAndOneReleaseOfTheLeftButton) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  Settle(*sink);
  EXPECT_EQ(sink->LeftDown(), 0);
  EXPECT_EQ(sink->LeftUp(), 0);
  Mark(*sink);
  EXPECT_EQ(Buttons(observer_->Records()), (std::vector<std::string>{"press 272", "release 272"}));
}

// What the user sees: no button left held once the sink has gone.
TEST_F(MutterRemoteDesktop, ClosingInTheMiddleOfAClickReleasesTheButton) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  Settle(*sink);
  EXPECT_EQ(sink->LeftDown(), 0);
  ASSERT_TRUE(observer_->WaitFor([](const auto& r) { return !Buttons(r).empty(); }));
  sink.reset();
  observer_->WaitFor([](const auto& r) { return Buttons(r).size() >= 2; });
  EXPECT_EQ(Buttons(observer_->Records()), (std::vector<std::string>{"press 272", "release 272"}));
}

// Mutter 43 itself lets go of what a session holds when it stops, so the pointer alone does not
// show whether the sink let go first, as it must for a compositor that does not: the bus does.
TEST_F(MutterRemoteDesktop, ClosingLetsGoOfTheButtonsBeforeStopping) {
  BusMonitor monitor(bus_.address());
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(sink->ButtonDown(PointerButton::kMiddle), 0);
  EXPECT_EQ(sink->LeftDown(), 0);
  EXPECT_EQ(sink->ButtonDown(PointerButton::kRight), 0);
  sink.reset();
  monitor.WaitFor([&] {
    const std::vector<std::string> calls = monitor.SessionCalls();
    return !calls.empty() && calls.back() == "Stop";
  });
  EXPECT_EQ(monitor.SessionCalls(),
            (std::vector<std::string>{
                "Start", "NotifyPointerButton 274 true", "NotifyPointerButton 272 true",
                "NotifyPointerButton 273 true", "NotifyPointerButton 272 false",
                "NotifyPointerButton 273 false", "NotifyPointerButton 274 false", "Stop"}));
}

// The other buttons and the wheel as an application hears them: evdev's codes, and every notch
// one, in both directions on both axes (mutter takes one step a call), the pointer still.
TEST_F(MutterRemoteDesktop, ButtonsAndWheelReachTheSurface) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  const Point at = Settle(*sink);
  observer_->ClearRecords();
  EXPECT_EQ(sink->ButtonDown(PointerButton::kMiddle), 0);
  EXPECT_EQ(sink->Click(PointerButton::kRight), 0);
  EXPECT_EQ(sink->ButtonUp(PointerButton::kMiddle), 0);
  EXPECT_EQ(sink->Scroll(0, 5), 0);
  EXPECT_EQ(sink->Scroll(-2, -3), 0);
  Mark(*sink);
  const std::vector<PointerRecord> records = observer_->Records();
  EXPECT_EQ(
      ButtonsHeard(records).changes,
      (std::vector<std::string>{"press middle", "press right", "release right", "release middle"}));
  EXPECT_EQ(Notches(records, 0), 2);
  EXPECT_EQ(Notches(records, 1), -2);
  EXPECT_EQ(Pointer(), (Point{at.x, at.y + 1})) << "only the mark may move the pointer";
}

// Mutter gives the seat a keyboard only once a session has used its own, so applications never
// see that first key: one ENTER goes first, and the one that counts follows once the surface has
// the keyboard.
TEST_F(MutterRemoteDesktop, EnterPressesAndReleasesTheEnterKey) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  Settle(*sink);
  EXPECT_EQ(sink->EnterDown(), 0);
  EXPECT_EQ(sink->EnterUp(), 0);
  ASSERT_TRUE(observer_->WaitFor(KeyboardEntered)) << "the surface never had the keyboard";
  // The first stroke goes out on the sink's own thread: the mark comes after all of it.
  Mark(*sink);
  const size_t before = Keys(observer_->Records()).size();
  EXPECT_EQ(sink->EnterDown(), 0);
  EXPECT_EQ(sink->EnterUp(), 0);
  Mark(*sink);
  observer_->WaitFor([before](const auto& r) { return Keys(r).size() >= before + 2; });
  const std::vector<std::string> keys = Keys(observer_->Records());
  EXPECT_EQ(std::vector<std::string>(keys.begin() + static_cast<long>(before), keys.end()),
            (std::vector<std::string>{"key-press " + std::to_string(KEY_ENTER),
                                      "key-release " + std::to_string(KEY_ENTER)}));
}

// The session is gone with the compositor: the engine hears that the output is lost, as from
// the other routes, instead of steering nothing in silence.
TEST_F(MutterRemoteDesktop, OutputIsLostOnceMutterHasGone) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(sink->Move(1, 0), 0);
  mutter_->Stop();
  // The events wait on the sink's own thread: the refusal comes back with a later one.
  int error = 0;
  for (int i = 0; i < 500 && error == 0; ++i) {
    error = sink->Move(1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(error, 0);
  EXPECT_TRUE(sink->Lost());
  EXPECT_NE(sink->LeftDown(), 0);
}

// The whole program on GNOME, through --output wayland and through auto in a Wayland session: a
// held "a" read from a recording moves mutter's pointer right by exactly the motions the engine
// logs for it. A session of the test's own keeps the pointer on the surface and marks the end.
TEST_F(MutterRemoteDesktop, ProgramMovesThePointerByItsLoggedMotions) {
  const LoggedEvents logged = EventsLoggedFor("vowel_a_male.wav");
  const Point motion = {static_cast<double>(logged.dx), static_cast<double>(logged.dy)};
  ASSERT_GT(motion.x, 0) << "the recording should steer right";

  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  Settle(*sink);
  // The compositor's own route, as in a GNOME session: its Wayland socket (which has no wlroots
  // virtual pointer) and its session bus.
  const std::vector<std::string> session = {"WAYLAND_DISPLAY=" + mutter_->WaylandSocket(),
                                            "DBUS_SESSION_BUS_ADDRESS=" + bus_.address(),
                                            "DISPLAY"};
  for (const std::string output : {"wayland", "auto"}) {
    SCOPED_TRACE("--output " + output);
    const Point before = Pointer();
    ASSERT_LT(before.x + motion.x, HeadlessMutter::kWidth) << "the screen edge would clamp";
    const ProgramRun run =
        RunProgram(kSonlet, HeadlessOnRecording("vowel_a_male.wav", output), "", session);
    ASSERT_EQ(run.status, 0) << run.err;
    if (output == "auto") {
      EXPECT_NE(run.err.find("GNOME's remote-desktop service"), std::string::npos) << run.err;
    }
    Mark(*sink);
    EXPECT_EQ(Pointer(), (Point{before.x + motion.x, before.y + motion.y + 1}));
  }
}

// Every pointer action through the whole program on GNOME, each chosen with --action for a run on
// a recording of sounds: the surface hears what the log shows, the buttons in order (a drag's
// motions between its press and release, a double click's clicks within GTK's 400 ms) and every
// notch.
TEST_F(MutterRemoteDesktop, ProgramGivesEveryActionAsItsLogShowsIt) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  Settle(*sink);
  const std::vector<std::string> session = {"WAYLAND_DISPLAY=" + mutter_->WaylandSocket(),
                                            "DBUS_SESSION_BUS_ADDRESS=" + bus_.address(),
                                            "DISPLAY"};
  char folder[] = "/tmp/sonlet-mutter-actions-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  for (const ActionRun& c : ActionRuns()) {
    SCOPED_TRACE(c.action);
    std::vector<std::string> args;
    const LoggedEvents logged = LoggedAction(c, folder, &args);
    const Point start = Pointer();
    ASSERT_LT(start.x + logged.dx, HeadlessMutter::kWidth) << "the screen edge would clamp";
    // From the last place the pointer was seen at: the drag is measured from there.
    const std::vector<PointerRecord> before = observer_->Records();
    const long from =
        std::find_if(before.rbegin(), before.rend(),
                     [](const PointerRecord& r) { return r.what == "motion" || r.what == "enter"; })
            .base() -
        before.begin() - 1;
    args.insert(args.end(), {"--output", "wayland"});
    const ProgramRun run = RunProgram(kSonlet, args, "", session);
    ASSERT_EQ(run.status, 0) << run.err;
    Mark(*sink);
    const std::vector<PointerRecord> all = observer_->Records();
    const std::vector<PointerRecord> records(all.begin() + from, all.end());
    const HeardButtons heard = ButtonsHeard(records);
    EXPECT_EQ(heard.changes, logged.buttons);
    EXPECT_EQ(Pointer(), (Point{start.x + logged.dx, start.y + logged.dy + 1}));
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

// The whole program when mutter ends while it steers: it stops, says why, and ends with the
// status of a lost output, its summary and its trace whole.
TEST_F(MutterRemoteDesktop, ProgramEndsWithItsOwnStatusWhenMutterGoesMidRun) {
  char folder[] = "/tmp/sonlet-mutter-lost-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string recording = std::string(folder) + "/long.wav";
  const std::string trace = std::string(folder) + "/trace.csv";
  WriteRepeatedVowel(recording, 30);
  std::vector<std::string> args = HeadlessOnRecording("vowel_a_male.wav", "wayland");
  args[2] = recording;
  args.insert(args.end(), {"--realtime", "--trace", trace});
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  const Point start = Settle(*sink);

  LiveProgram program(kSonlet, args,
                      {"WAYLAND_DISPLAY=" + mutter_->WaylandSocket(),
                       "DBUS_SESSION_BUS_ADDRESS=" + bus_.address(), "DISPLAY="});
  ASSERT_TRUE(observer_->WaitFor([start](const auto& r) { return Position(r).x > start.x; }))
      << program.err();
  mutter_->Stop();
  const int status = program.Wait(std::chrono::seconds(20));
  ExpectEndedAsLostOutput(status, program.err(), trace);
  std::filesystem::remove_all(folder);
}

// A machine busy on every core makes mutter slow to answer, and a compositor busy with a frame
// can keep every client waiting for a while (here it stops for 300 ms in the middle of a held
// vowel); the events wait for it instead of being dropped, so every motion's sum and every click
// the engine logs still arrive, and nothing is reported refused. Recordings read at full speed
// queue events far faster than any desktop takes them.
TEST_F(MutterRemoteDesktop, UnderLoadEveryLoggedMotionAndClickArrives) {
  std::unique_ptr<InputSink> sink = Open();
  ASSERT_NE(sink, nullptr);
  Settle(*sink);
  const std::vector<std::string> session = {"WAYLAND_DISPLAY=" + mutter_->WaylandSocket(),
                                            "DBUS_SESSION_BUS_ADDRESS=" + bus_.address(),
                                            "DISPLAY="};
  struct Case {
    const char* recording;
    bool realtime;
    int pause_ms;  // mutter stopped this long once the pointer has begun to move
  };
  const Case cases[] = {
      {"session.wav", false, 0},
      {"click.wav", false, 0},
      {"vowel_a_male.wav", true, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recording);
    const LoggedEvents logged = EventsLoggedFor(c.recording);
    const Point before = Pointer();
    const size_t buttons_before = Buttons(observer_->Records()).size();
    std::vector<std::string> args = HeadlessOnRecording(c.recording, "wayland");
    if (c.realtime) args.push_back("--realtime");
    int status = -1;
    std::string err;
    {
      BusyCores load;
      LiveProgram program(kSonlet, args, session);
      if (c.pause_ms > 0) {
        ASSERT_TRUE(observer_->WaitFor([before](const auto& r) {
          return Position(r).x > before.x;
        })) << program.err();
        ASSERT_EQ(kill(mutter_->pid(), SIGSTOP), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(c.pause_ms));
        ASSERT_EQ(kill(mutter_->pid(), SIGCONT), 0);
      }
      status = program.Wait(std::chrono::seconds(60));
      err = program.err();
    }
    ASSERT_EQ(status, 0) << err;
    EXPECT_EQ(err.find("refused"), std::string::npos) << err;
    EXPECT_EQ(EventsNotDelivered(err), 0) << err;
    Mark(*sink);
    EXPECT_EQ(Pointer(), (Point{before.x + logged.dx, before.y + logged.dy + 1}));
    std::vector<std::string> expected;
    for (int i = 0; i < logged.clicks; ++i) {
      expected.insert(expected.end(), {"press 272", "release 272"});
    }
    const std::vector<std::string> buttons = Buttons(observer_->Records());
    EXPECT_EQ(std::vector<std::string>(buttons.begin() + static_cast<long>(buttons_before),
                                       buttons.end()),
              expected);
  }
}

TEST(MutterRemoteDesktopAbsent, BusWithoutMutterGivesNoSinkAndSaysWhy) {
  EnsureApplication();
  PrivateBus bus;
  ASSERT_TRUE(bus.running()) << bus.error();
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  std::string why;
  EXPECT_EQ(OpenMutterRemoteDesktop(&why), nullptr);
  EXPECT_NE(why.find("no org.gnome.Mutter.RemoteDesktop"), std::string::npos) << why;
}

TEST(MutterRemoteDesktopAbsent, NoSessionBusGivesNoSinkAndSaysWhy) {
  EnsureApplication();
  setenv("DBUS_SESSION_BUS_ADDRESS", "", 1);
  std::string why;
  EXPECT_EQ(OpenMutterRemoteDesktop(&why), nullptr);
  EXPECT_EQ(why, "DBUS_SESSION_BUS_ADDRESS is set to nothing");
}

}  // namespace

}  // namespace sonlet
