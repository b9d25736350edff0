// SPDX-License-Identifier: GPL-3.0-or-later
// The session's one Sonlet, driven from outside: sonlet --status, --start, --stop, --toggle and
// --quit against the real program, headless on a paced recording, on a private session bus.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/live_program.h"
#include "cli/run_program.h"
#include "support/private_bus.h"

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSonlet = SONLET_BINARY;
const std::string kData = SONLET_DATA_DIR;

int Moves(const std::string& log) {
  int moves = 0;
  for (const std::string& line : LinesOf(log)) moves += line.find("\tmove ") != std::string::npos;
  return moves;
}

bool Moved(const std::string& out, const std::string&) { return Moves(out) > 0; }

std::vector<std::string> Headless(const std::string& recording, const std::string& output) {
  return {"--headless", "--input",           recording,  "--realtime",
          "--profile",  kData + "/user.txt", "--output", output};
}

class RemoteCommands : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus_.running()) << bus_.error(); }

  // sonlet reaching the private bus; with no display, so that a run gone wrong could not move
  // the pointer of whoever runs the tests.
  ProgramRun Ask(const std::vector<std::string>& args) const {
    return RunProgram(kSonlet, args, "", {bus_.Environment(), "DISPLAY", "WAYLAND_DISPLAY"});
  }

  // A held "a" of about 15 s, ten takes of the bundled one: each steers right for most of its
  // 1.5 s, so a second of listening always moves the pointer.
  std::string LongVowel() const {
    const std::string path = bus_.folder() + "/held-a.wav";
    const ProgramRun sox =
        RunProgram("/usr/bin/sox", {kData + "/vowel_a_male.wav", path, "repeat", "9"});
    EXPECT_EQ(sox.status, 0) << sox.err;
    return path;
  }

  // As Ask, but a program that hangs is killed after a minute, so that the case fails instead
  // of the whole test; how long it took goes to *took.
  ProgramRun AskTimed(const std::vector<std::string>& args,
                      const std::vector<std::string>& environment,
                      std::chrono::steady_clock::duration* took) const {
    std::vector<std::string> bounded = {"--signal=KILL", "60", kSonlet};
    bounded.insert(bounded.end(), args.begin(), args.end());
    std::vector<std::string> changes = {bus_.Environment(), "DISPLAY", "WAYLAND_DISPLAY"};
    changes.insert(changes.end(), environment.begin(), environment.end());
    const auto start = std::chrono::steady_clock::now();
    ProgramRun run = RunProgram("/usr/bin/timeout", bounded, bus_.folder(), changes);
    *took = std::chrono::steady_clock::now() - start;
    return run;
  }

  PrivateBus bus_;
};

// Lets a frozen program go on again when the case ends, however it ends.
struct Thawed {
  pid_t pid;
  ~Thawed() { kill(pid, SIGCONT); }
};

TEST_F(RemoteCommands, SayWhyWhenThereIsNothingToReach) {
  const std::string runtime = bus_.folder() + "/runtime";
  fs::create_directories(runtime);
  const std::string none = "sonlet: no Sonlet is running in this session\n";
  const std::string no_bus = "sonlet: no session bus: ";
  struct Case {
    std::vector<std::string> environment;
    int status;
    std::string says;  // the start of standard error
  };
  const Case cases[] = {
      {{bus_.Environment()}, 1, none},
      // Without the variable, the bus in the runtime folder is the session's, as systemd has it.
      {{"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR=" + bus_.folder()}, 1, none},
      {{"DBUS_SESSION_BUS_ADDRESS="}, 2, no_bus + "DBUS_SESSION_BUS_ADDRESS is set to nothing"},
      {{"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR=" + runtime},
       2,
       no_bus + "DBUS_SESSION_BUS_ADDRESS is not set and there is no " + runtime + "/bus"},
      {{"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"},
       2,
       no_bus + "DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are not set"},
      {{"DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/bus"},
       2,
       no_bus + "cannot connect to 'unix:path=" + runtime + "/bus'"},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"--status"}, {"--start"}, {"--stop"}, {"--toggle"}, {"--quit"}, {"--action", "drag"}};
  for (const Case& c : cases) {
    for (const std::vector<std::string>& command : commands) {
      const ProgramRun run = RunProgram(kSonlet, command, "", c.environment);
      EXPECT_EQ(run.status, c.status) << command[0] << " " << c.says;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err.rfind(c.says, 0), 0u) << run.err;
    }
  }
  for (const std::vector<std::string>& alone :
       {std::vector<std::string>{"--stop", "--headless"}, {"--start", "--stop"}}) {
    const ProgramRun run = Ask(alone);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Usage:"), std::string::npos) << run.err;
  }
}

TEST_F(RemoteCommands, StopAndStartSwitchAHeadlessRunsListeningAndQuitEndsIt) {
  LiveProgram sonlet(kSonlet, Headless(LongVowel(), "log"), {bus_.Environment()});
  ASSERT_TRUE(sonlet.WaitFor(Moved, 20s)) << sonlet.err();
  EXPECT_EQ(Ask({"--status"}).out, "listening\n");

  const ProgramRun stop = Ask({"--stop"});
  EXPECT_EQ(stop.status, 0) << stop.err;
  EXPECT_EQ(stop.out, "stopped\n");
  const int moves_at_stop = Moves(sonlet.out());
  EXPECT_EQ(Ask({"--status"}).out, "stopped\n");
  EXPECT_EQ(Ask({"--stop"}).out, "stopped\n");
  // A second of held vowel, which moves the pointer on most of its 53 passes while listening;
  // at most the pass going on when the stop came may still move it.
  std::this_thread::sleep_for(1s);
  EXPECT_LE(Moves(sonlet.out()) - moves_at_stop, 1) << sonlet.out();

  EXPECT_EQ(Ask({"--start"}).out, "listening\n");
  const int moves_at_start = Moves(sonlet.out());
  EXPECT_TRUE(sonlet.WaitFor(
      [&](const std::string& out, const std::string&) { return Moves(out) > moves_at_start + 5; },
      20s));
  EXPECT_EQ(Ask({"--toggle"}).out, "stopped\n");
  EXPECT_EQ(Ask({"--toggle"}).out, "listening\n");

  // As a stop signal: log written out, summary printed, status 0, long before the recording's
  // 800 passes; and --quit returns once the run has given the name up.
  const ProgramRun quit = Ask({"--quit"});
  EXPECT_EQ(quit.status, 0) << quit.err;
  EXPECT_EQ(quit.out, "");
  EXPECT_EQ(sonlet.Wait(10s), 0) << sonlet.err();
  const std::string summary = sonlet.err();
  const size_t passes = summary.find(" passes; moves right ");
  ASSERT_NE(passes, std::string::npos) << summary;
  EXPECT_LT(std::stoi(summary.substr(summary.rfind(' ', passes - 1) + 1)), 700) << summary;
  EXPECT_EQ(sonlet.out().back(), '\n');
  EXPECT_EQ(Ask({"--status"}).status, 1);
}

// Another program chooses the next click's action: once, then the left click again.
TEST_F(RemoteCommands, ActionChoosesWhatTheNextClickDoes) {
  // A held "a" of 3 s, then the bundled session: a held "a", a click and a held "i".
  const std::string recording = bus_.folder() + "/then-click.wav";
  const std::string a = kData + "/vowel_a_male.wav";
  ASSERT_EQ(RunProgram("/usr/bin/sox", {a, a, kData + "/session.wav", recording}).status, 0);
  LiveProgram sonlet(kSonlet, Headless(recording, "log"), {bus_.Environment()});
  ASSERT_TRUE(sonlet.WaitFor(Moved, 20s)) << sonlet.err();

  const auto call = [&](const std::string& method, const std::vector<std::string>& arguments) {
    std::vector<std::string> args = {"--session", "--print-reply", "--dest=org.sonlet.Sonlet",
                                     "/org/sonlet/Sonlet", method};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return RunProgram("/usr/bin/dbus-send", args, "", {bus_.Environment()});
  };
  const ProgramRun chosen = Ask({"--action", "right"});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(chosen.out, "right\n");
  EXPECT_NE(call("org.sonlet.Sonlet.Action", {}).out.find("string \"right\""), std::string::npos);
  EXPECT_NE(
      call("org.freedesktop.DBus.Properties.Get", {"string:org.sonlet.Sonlet", "string:Action"})
          .out.find("string \"right\""),
      std::string::npos);
  // A name it does not know changes nothing and says which it knows.
  const ProgramRun unknown = call("org.sonlet.Sonlet.SetAction", {"string:triple"});
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.err.find("left, right, middle, double, drag and scroll"), std::string::npos)
      << unknown.err;
  EXPECT_NE(call("org.sonlet.Sonlet.Action", {}).out.find("string \"right\""), std::string::npos);

  ASSERT_TRUE(sonlet.WaitFor(
      [](const std::string& out, const std::string&) {
        return out.find("\tclick right\n") != std::string::npos;
      },
      20s))
      << sonlet.out();
  EXPECT_EQ(sonlet.out().find("\tclick\n"), std::string::npos);
  EXPECT_NE(call("org.sonlet.Sonlet.Action", {}).out.find("string \"left\""), std::string::npos);
  EXPECT_EQ(sonlet.Wait(20s), 0) << sonlet.err();
}

TEST_F(RemoteCommands, OneEngineMovesThePointerPerSession) {
  // Alone on the bus, a paced run prints what it prints off the bus.
  const std::string click = kData + "/click.wav";
  const ProgramRun on_bus = Ask(Headless(click, "log"));
  const ProgramRun off_bus =
      RunProgram(kSonlet, Headless(click, "log"), "", {"DBUS_SESSION_BUS_ADDRESS="});
  EXPECT_EQ(on_bus.status, 0);
  EXPECT_NE(on_bus.out.find("\tclick\n"), std::string::npos);
  EXPECT_EQ(on_bus.out, off_bus.out);
  EXPECT_EQ(on_bus.err, off_bus.err);

  LiveProgram first(kSonlet, Headless(LongVowel(), "log"), {bus_.Environment()});
  ASSERT_TRUE(first.WaitFor(Moved, 20s)) << first.err();
  // Refused before anything is opened.
  for (const char* output : {"auto", "uinput", "x11"}) {
    const ProgramRun second = Ask(Headless(click, output));
    EXPECT_EQ(second.status, 2) << output;
    EXPECT_NE(second.err.find("two would fight over the pointer"), std::string::npos) << second.err;
  }
  // One that moves no pointer runs beside it, unreachable, and says so.
  const ProgramRun beside = Ask(Headless(click, "log"));
  EXPECT_EQ(beside.status, 0);
  EXPECT_EQ(beside.out, off_bus.out);
  EXPECT_NE(beside.err.find("runs beside it"), std::string::npos) << beside.err;
  // At full speed no bus is taken at all.
  const ProgramRun full_speed =
      Ask({"--headless", "--input", click, "--profile", kData + "/user.txt", "--output", "x11"});
  EXPECT_EQ(full_speed.err.find("already running"), std::string::npos) << full_speed.err;
  // A panel says that a headless Sonlet runs, and ends.
  const ProgramRun panel =
      RunProgram(kSonlet, {"--input", click, "--output", "none"}, bus_.folder(),
                 {bus_.Environment(), "QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(panel.status, 2);
  EXPECT_NE(panel.err.find("already running in this session without its panel"), std::string::npos)
      << panel.err;

  EXPECT_EQ(Ask({"--status"}).out, "listening\n");  // still the first one's name
  EXPECT_EQ(Ask({"--quit"}).status, 0);
  EXPECT_EQ(first.Wait(10s), 0);
}

// A bus that does not answer (its daemon frozen) and a Sonlet that holds the name but does not
// answer (frozen itself, as a hung program): asking either ends within seconds with status 2 and
// says what did not answer, never that no Sonlet runs.
TEST_F(RemoteCommands, WhatDoesNotAnswerIsSaidSoWithinSeconds) {
  LiveProgram owner(kSonlet, Headless(LongVowel(), "log"), {bus_.Environment()});
  ASSERT_TRUE(owner.WaitFor(Moved, 20s)) << owner.err();
  const std::string stuck = "it did not answer within 5 s; if it is stuck, end it (kill " +
                            std::to_string(owner.pid()) + ")";
  const std::string bus_silent = "sonlet: the session bus (" + bus_.address() +
                                 ") did not answer within 3 s, so a running Sonlet cannot be "
                                 "reached; the session's bus may be stuck.\n";
  const std::vector<std::string> panel = {"--input", kData + "/click.wav", "--output", "none"};
  struct Case {
    bool bus_frozen;  // else the running Sonlet is
    std::vector<std::string> args;
    std::vector<std::string> environment;
    std::string says;  // the whole of standard error
  };
  const Case cases[] = {
      {false, {"--status"}, {}, "sonlet: a Sonlet runs in this session, but " + stuck + ".\n"},
      {false, {"--toggle"}, {}, "sonlet: a Sonlet runs in this session, but " + stuck + ".\n"},
      // A second panel would set two engines on one pointer.
      {false,
       panel,
       {"QT_QPA_PLATFORM=offscreen"},
       "sonlet: Sonlet is already running in this session, but " + stuck +
           ", and start Sonlet again.\n"},
      {false, {"--quit"}, {}, "sonlet: a Sonlet runs in this session, but " + stuck + ".\n"},
      {true, {"--status"}, {}, bus_silent},
      {true, {"--start"}, {}, bus_silent},
      {true, {"--quit"}, {}, bus_silent},
  };
  for (const Case& c : cases) {
    const pid_t frozen = c.bus_frozen ? bus_.pid() : owner.pid();
    kill(frozen, SIGSTOP);
    const Thawed thawed{frozen};
    std::chrono::steady_clock::duration took{};
    const ProgramRun run = AskTimed(c.args, c.environment, &took);
    EXPECT_EQ(run.status, 2) << c.args[0] << (c.bus_frozen ? " (bus)" : "") << "\n"
                             << run.err << "the running one said:\n"
                             << owner.err();
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    // Two limits of a few seconds at most, with room for a busy machine.
    EXPECT_LT(took, 30s) << c.args[0];
  }
  // Woken, it goes on as before; it may meanwhile take the requests that waited for it.
  EXPECT_EQ(owner.Stop(SIGTERM, 10s), 0) << owner.err();
}

// A frozen bus holds a run up a few seconds at most: a paced headless run prints what it prints
// without a bus, and the panel opens and takes its close box; each says once that it runs
// without the bus.
TEST_F(RemoteCommands, AFrozenBusLeavesTheRunAndThePanelAlone) {
  const std::string click = kData + "/click.wav";
  const ProgramRun off_bus =
      RunProgram(kSonlet, Headless(click, "log"), "", {"DBUS_SESSION_BUS_ADDRESS="});
  ASSERT_EQ(off_bus.status, 0) << off_bus.err;
  const std::string said =
      "sonlet: the session bus (" + bus_.address() + ") did not answer within 3 s; ";
  bus_.Freeze();
  const Thawed thawed{bus_.pid()};

  std::chrono::steady_clock::duration took{};
  const ProgramRun headless = AskTimed(Headless(click, "log"), {}, &took);
  EXPECT_EQ(headless.status, 0) << headless.err;
  EXPECT_EQ(headless.out, off_bus.out);
  EXPECT_EQ(headless.err, said +
                              "Sonlet goes on without it: sonlet --stop and the like cannot reach "
                              "this run.\n" +
                              off_bus.err);

  // One line of profile: the panel writes it back as six, so a rewritten file shows that it
  // reached its loop and saved at the close.
  const std::string profile = bus_.folder() + "/user.txt";
  std::ofstream(profile) << "40 2 25 60 30 0";
  LiveProgram panel(
      kSonlet,
      {"--input", kData + "/session.wav", "--realtime", "--profile", profile, "--output", "log"},
      {bus_.Environment(), "QT_QPA_PLATFORM=offscreen"});
  ASSERT_TRUE(panel.WaitFor(
      [&](const std::string&, const std::string& err) {
        return err.find("the panel opens without it") != std::string::npos;
      },
      30s))
      << panel.err();
  // Time for the panel to come up and its engine to start (a stop before its loop ends it at
  // once, without a save).
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(panel.Stop(SIGTERM, 10s), 0) << panel.err();
  std::ifstream saved(profile);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "40\n2\n25\n60\n30\n0\n");
  const std::string err = panel.err();
  EXPECT_EQ(err.find(said), err.rfind(said)) << err;
}

// A bus that freezes while Sonlet owns its name must not hold up the end: a stop signal ends the
// headless run and the panel as promptly as without a bus.
TEST_F(RemoteCommands, ABusThatFreezesMidRunDoesNotHoldUpTheEnd) {
  const std::string profile = bus_.folder() + "/user.txt";
  std::ofstream(profile) << "40 2 25 60 30 0";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> environment;
    std::string status;  // as --status finds it on the bus
  };
  const Case cases[] = {
      {Headless(LongVowel(), "log"), {}, "listening\n"},
      {{"--input", LongVowel(), "--realtime", "--profile", profile, "--output", "log"},
       {"QT_QPA_PLATFORM=offscreen"},
       "stopped\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> environment = c.environment;
    environment.push_back(bus_.Environment());
    LiveProgram sonlet(kSonlet, c.args, environment);
    std::string status;
    for (int tries = 0; tries < 100 && status != c.status; ++tries) {
      std::this_thread::sleep_for(100ms);
      status = Ask({"--status"}).out;
    }
    ASSERT_EQ(status, c.status) << sonlet.err();
    bus_.Freeze();
    const Thawed thawed{bus_.pid()};
    EXPECT_EQ(sonlet.Stop(SIGTERM, 5s), 0) << c.args[0] << "\n" << sonlet.err();
    EXPECT_EQ(sonlet.err().find("did not answer"), std::string::npos) << sonlet.err();
  }
}

}  // namespace
}  // namespace sonlet
