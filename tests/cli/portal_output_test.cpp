// SPDX-License-Identifier: GPL-3.0-or-later
// The program asking the real desktop portal (xdg-desktop-portal) for a remote-desktop session
// through --output wayland, on a private bus where no compositor offers a route of its own. The
// portal's backend is the test's stand-in for the person who answers the consent dialog; it
// prints what the portal passed on.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/live_program.h"
#include "cli/logged_events.h"
#include "cli/run_program.h"
#include "support/private_bus.h"

namespace sonlet {

namespace {

const std::string kSonlet = SONLET_BINARY;
const std::string kStandin = SONLET_PORTAL_STANDIN;
const char kPortal[] = "/usr/libexec/xdg-desktop-portal";
const char kBackendName[] = "org.freedesktop.impl.portal.desktop.sonlettest";
constexpr auto kLimit = std::chrono::seconds(30);

// The portal, its backend and the bus they share. The backend answers Start with `answer`.
class PortalOutput : public testing::Test {
 protected:
  void Start(const std::string& answer) {
    if (access(kPortal, X_OK) != 0) {
      GTEST_SKIP() << kPortal << " is missing (scripts/install-deps installs xdg-desktop-portal)";
    }
    ASSERT_TRUE(bus_.running()) << bus_.error();
    backend_ =
        std::make_unique<LiveProgram>(kStandin, std::vector<std::string>{kBackendName, answer},
                                      std::vector<std::string>{bus_.Environment()});
    ASSERT_TRUE(backend_->WaitFor(
        [](const std::string& out, const std::string&) { return out.find("ready") == 0; }, kLimit))
        << backend_->err();
    // The portal finds its backend through a portal file of this made-up desktop's.
    const std::string portals = bus_.folder() + "/portals";
    ASSERT_EQ(mkdir(portals.c_str(), 0700), 0);
    std::ofstream(portals + "/sonlet-test.portal")
        << "[portal]\nDBusName=" << kBackendName
        << "\nInterfaces=org.freedesktop.impl.portal.RemoteDesktop;\nUseIn=sonlet-test\n";
    portal_ = std::make_unique<LiveProgram>(
        kPortal, std::vector<std::string>{"--verbose"},
        std::vector<std::string>{bus_.Environment(), "XDG_DESKTOP_PORTAL_DIR=" + portals,
                                 "XDG_CURRENT_DESKTOP=sonlet-test"});
    ASSERT_TRUE(portal_->WaitFor(
        [](const std::string&, const std::string& err) {
          return err.find("org.freedesktop.portal.Desktop acquired") != std::string::npos;
        },
        kLimit))
        << portal_->err();
  }
  // Only the bus: no compositor of either kind can be reached.
  std::vector<std::string> Environment() const {
    return {bus_.Environment(), "WAYLAND_DISPLAY", "DISPLAY"};
  }
  std::vector<std::string> BackendLines() const { return LinesOf(backend_->out()); }

  PrivateBus bus_;
  std::unique_ptr<LiveProgram> backend_;
  std::unique_ptr<LiveProgram> portal_;
};

// What the log says the recording does, as the backend's lines would say it: the button
// changes, then the sum of the motions.
std::vector<std::string> Expected(const std::string& recording) {
  const LoggedEvents logged = EventsLoggedFor(recording);
  std::vector<std::string> lines;
  for (int i = 0; i < logged.clicks; ++i)
    lines.insert(lines.end(), {"button 272 1", "button 272 0"});
  lines.push_back("motion " + std::to_string(logged.dx) + " " + std::to_string(logged.dy));
  return lines;
}

// Sums the backend's motion lines into one, keeping the other lines in order.
std::vector<std::string> Received(const std::vector<std::string>& backend_lines) {
  double dx = 0;
  double dy = 0;
  std::vector<std::string> lines;
  for (const std::string& line : backend_lines) {
    double x = 0;
    double y = 0;
    if (std::sscanf(line.c_str(), "motion %lf %lf", &x, &y) == 2) {
      dx += x;
      dy += y;
    } else if (line.rfind("button", 0) == 0) {
      lines.push_back(line);
    }
  }
  lines.push_back("motion " + std::to_string(static_cast<int>(dx)) + " " +
                  std::to_string(static_cast<int>(dy)));
  return lines;
}

// Accepted, the session carries exactly what the log shows, and is closed at the end.
TEST_F(PortalOutput, AcceptedSessionCarriesTheLoggedEventsAndIsClosed) {
  Start("grant");
  for (const char* recording : {"vowel_a_male.wav", "click.wav"}) {
    const std::vector<std::string> expected = Expected(recording);
    const size_t before = BackendLines().size();
    const ProgramRun run =
        RunProgram(kSonlet, HeadlessOnRecording(recording, "wayland"), "", Environment());
    ASSERT_EQ(run.status, 0) << recording << ": " << run.err;
    EXPECT_NE(run.err.find("accept its dialog"), std::string::npos) << run.err;
    // The portal passes the session's end on to its backend after answering the program.
    ASSERT_TRUE(backend_->WaitFor(
        [before](const std::string& out, const std::string&) {
          const std::vector<std::string> lines = LinesOf(out);
          return lines.size() > before && lines.back() == "close";
        },
        kLimit))
        << backend_->out();
    const std::vector<std::string> all = BackendLines();
    const std::vector<std::string> lines(all.begin() + static_cast<long>(before), all.end());
    ASSERT_GE(lines.size(), 4u) << backend_->out();
    EXPECT_EQ(lines[0], "CreateSession app_id=");
    EXPECT_EQ(lines[1], "SelectDevices types=3");  // the pointer and the keyboard, for ENTER
    EXPECT_EQ(lines[2], "Start");
    EXPECT_EQ(Received(lines), expected) << recording;
    EXPECT_EQ(lines.back(), "close");
  }
}

// What the backend was asked to do, in the log's words: the buttons, the motion while one was
// held, and the notches.
LoggedEvents Passed(const std::vector<std::string>& backend_lines) {
  LoggedEvents passed;
  int held = 0;
  for (const std::string& line : backend_lines) {
    double x = 0;
    double y = 0;
    int code = 0;
    unsigned state = 0;
    unsigned axis = 0;
    int steps = 0;
    if (std::sscanf(line.c_str(), "motion %lf %lf", &x, &y) == 2 && held > 0) {
      passed.held_dx += static_cast<int>(x);
      passed.held_dy += static_cast<int>(y);
    } else if (std::sscanf(line.c_str(), "button %d %u", &code, &state) == 2) {
      const char* names[] = {"left", "right", "middle"};
      passed.buttons.push_back(
          std::string(state != 0 ? "press " : "release ") +
          (code >= 272 && code <= 274 ? names[code - 272] : std::to_string(code).c_str()));
      held += state != 0 ? 1 : -1;
    } else if (std::sscanf(line.c_str(), "axis-discrete %u %d", &axis, &steps) == 2) {
      (axis == 0 ? passed.scroll_dy : passed.scroll_dx) += steps;
    }
  }
  return passed;
}

// Every pointer action through the portal, each chosen with --action for a run on a recording of
// sounds: the backend is asked for what the log shows, and every held button is let go.
TEST_F(PortalOutput, EveryActionReachesTheBackendAsTheLogShowsIt) {
  Start("grant");
  char folder[] = "/tmp/sonlet-portal-actions-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  for (const ActionRun& c : ActionRuns()) {
    SCOPED_TRACE(c.action);
    std::vector<std::string> args;
    const LoggedEvents logged = LoggedAction(c, folder, &args);
    const size_t before = BackendLines().size();
    args.insert(args.end(), {"--output", "wayland"});
    const ProgramRun run = RunProgram(kSonlet, args, "", Environment());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(backend_->WaitFor(
        [before](const std::string& out, const std::string&) {
          const std::vector<std::string> lines = LinesOf(out);
          return lines.size() > before && lines.back() == "close";
        },
        kLimit))
        << backend_->out();
    const std::vector<std::string> all = BackendLines();
    const LoggedEvents passed =
        Passed(std::vector<std::string>(all.begin() + static_cast<long>(before), all.end()));
    EXPECT_EQ(passed.buttons, logged.buttons);
    EXPECT_EQ(passed.held_dx, logged.held_dx);
    EXPECT_EQ(passed.held_dy, logged.held_dy);
    EXPECT_EQ(passed.scroll_dx, logged.scroll_dx);
    EXPECT_EQ(passed.scroll_dy, logged.scroll_dy);
  }
  std::filesystem::remove_all(folder);
}

// auto, in a Wayland session whose compositor offers no route of its own, takes the portal only
// after uinput, and says why the others failed.
TEST_F(PortalOutput, AutoTakesThePortalAfterUinputAndSaysWhy) {
  if (access("/dev/uinput", W_OK) == 0)
    GTEST_SKIP() << "uinput is open to this user: auto takes it";
  Start("grant");
  std::vector<std::string> environment = Environment();
  environment.push_back("WAYLAND_DISPLAY=/nonexistent/wayland-77");
  const ProgramRun run =
      RunProgram(kSonlet, HeadlessOnRecording("click.wav", "auto"), "", environment);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("pointer events go to the desktop portal's remote-desktop session "
                         "(wlroots virtual pointer: cannot connect"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("GNOME remote desktop: no org.gnome.Mutter.RemoteDesktop"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("; uinput: "), std::string::npos) << run.err;
}

// Declined, the program refuses with the reason and status 2 before the engine runs.
TEST_F(PortalOutput, DeclinedSaysWhyAndSendsNothing) {
  Start("decline");
  const ProgramRun run =
      RunProgram(kSonlet, HeadlessOnRecording("click.wav", "wayland"), "", Environment());
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("desktop portal: the request to control the pointer was declined"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find(" passes;"), std::string::npos) << "the engine ran: " << run.err;
}

// Nobody answers: a stop signal still ends the program at once, with nothing sent.
TEST_F(PortalOutput, StopSignalWhileTheDialogWaitsEndsTheProgram) {
  Start("silent");
  LiveProgram program(kSonlet, HeadlessOnRecording("click.wav", "wayland"), Environment());
  ASSERT_TRUE(
      backend_->WaitFor([](const std::string& out,
                           const std::string&) { return out.find("Start\n") != std::string::npos; },
                        kLimit))
      << program.err();
  EXPECT_NE(program.err().find("accept its dialog"), std::string::npos) << program.err();
  EXPECT_EQ(program.Stop(SIGTERM, kLimit), 0) << program.err();
  EXPECT_EQ(backend_->out().find("button"), std::string::npos) << backend_->out();
  EXPECT_EQ(backend_->out().find("motion"), std::string::npos) << backend_->out();
}

}  // namespace

}  // namespace sonlet
