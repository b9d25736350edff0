// SPDX-License-Identifier: GPL-3.0-or-later
// sonlet --headless listening to a real capture stream: the test sound server's default input,
// into which the test plays the bundled recordings.

#include <gtest/gtest.h>
#include <portaudio.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cli/live_program.h"
#include "support/test_sound_server.h"

namespace sonlet {

namespace {

using namespace std::chrono_literals;

const std::string kSonlet = SONLET_BINARY;
const std::string kData = SONLET_DATA_DIR;
const std::string kSoundServer = SONLET_SOUND_SERVER_SCRIPT;
const std::string kProfile = kData + "/user.txt";

struct Events {
  int right = 0;  // moves with dx > 0 and dy = 0
  int other = 0;  // any other move
  int clicks = 0;
  int unexpected = 0;  // lines that are neither events nor the engine's numeric warnings
};

// Tallies the event lines ("PASS<tab>move DX DY", "PASS<tab>click"). Silence from a null sink is
// exact zeros, on which the root finder prints its iteration warning: on standard error, as
// standard output carries the events, where any other line is unexpected.
Events EventsIn(const std::string& out) {
  Events e;
  for (const std::string& line : LinesOf(out)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      ++e.unexpected;
      continue;
    }
    const std::string event = line.substr(tab + 1);
    int dx = 0, dy = 0;
    if (event == "click") {
      ++e.clicks;
    } else if (std::sscanf(event.c_str(), "move %d %d", &dx, &dy) == 2) {
      (dx > 0 && dy == 0 ? e.right : e.other)++;
    } else {
      ++e.unexpected;
    }
  }
  return e;
}

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// What the engine makes of a recording when it reads it from the file: the reference for what
// it should make of the same sound heard through the sound server.
Events FromTheFile(const std::string& recording) {
  LiveProgram run(kSonlet,
                  {"--headless", "--input", recording, "--profile", kProfile, "--output", "log"});
  EXPECT_EQ(run.Wait(30s), 0);
  return EventsIn(run.out());
}

class LiveHeadless : public testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = SoundServerMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
  }
};

TEST_F(LiveHeadless, HeldAMovesRightLikeTheRecordingAndCtrlCEndsWithTheSummary) {
  const Events expected = FromTheFile(kData + "/vowel_a_male.wav");
  ASSERT_GT(expected.right, 20);

  LiveProgram sonlet(kSonlet, {"--headless", "--profile", kProfile, "--output", "log"});
  ASSERT_TRUE(sonlet.WaitUntilListening(10s)) << sonlet.err();
  ASSERT_TRUE(PlaySound(kData + "/vowel_a_male.wav"));
  // The last moves come within a pass or two of the end of the sound; give it ample time.
  sonlet.WaitFor([&](const std::string& out,
                     const std::string&) { return EventsIn(out).right >= expected.right; },
                 2s);
  EXPECT_EQ(sonlet.Stop(SIGINT, 10s), 0) << sonlet.err();

  const Events heard = EventsIn(sonlet.out());
  // Heard through the server the sound is resampled twice and cut into blocks elsewhere, so
  // the run may start or end a pass apart; the direction and about the length must hold.
  EXPECT_NEAR(heard.right, expected.right, std::max(3, expected.right / 8)) << sonlet.out();
  EXPECT_EQ(heard.other, 0) << sonlet.out();
  EXPECT_EQ(heard.clicks, 0) << sonlet.out();
  EXPECT_EQ(heard.unexpected, 0) << sonlet.out();
  // The way the sound came, and the summary. The root finder's count of the digital silence a
  // server's monitor may start with is no complaint.
  EXPECT_EQ(CountOf(sonlet.err(), "sonlet: ") - CountOf(sonlet.err(), "sonlet: the root finder"), 2)
      << sonlet.err();
  EXPECT_NE(sonlet.err().find("sonlet: listening through the sound server ("), std::string::npos)
      << sonlet.err();
  EXPECT_NE(sonlet.err().find("passes; moves right " + std::to_string(heard.right) + ","),
            std::string::npos)
      << sonlet.err();
}

TEST_F(LiveHeadless, ClickIsOneClickOnADeviceGivenByPartOfItsNameAndSigtermEndsIt) {
  const Events expected = FromTheFile(kData + "/click.wav");
  ASSERT_EQ(expected.clicks, 1);

  // The test server's source is "Monitor of Sonlet-test-sink", sonlet_sink.monitor.
  LiveProgram sonlet(
      kSonlet, {"--headless", "--device", "sonlet-TEST", "--profile", kProfile, "--output", "log"});
  ASSERT_TRUE(sonlet.WaitUntilListening(10s)) << sonlet.err();
  ASSERT_TRUE(PlaySound(kData + "/click.wav"));
  sonlet.WaitFor(
      [](const std::string& out, const std::string&) { return EventsIn(out).clicks > 0; }, 2s);
  std::this_thread::sleep_for(300ms);  // room for a second click, which must not come
  EXPECT_EQ(sonlet.Stop(SIGTERM, 10s), 0) << sonlet.err();

  const Events heard = EventsIn(sonlet.out());
  EXPECT_EQ(heard.clicks, 1) << sonlet.out();
  EXPECT_EQ(heard.right + heard.other, 0) << sonlet.out();
  EXPECT_NE(sonlet.err().find("clicks 1;"), std::string::npos) << sonlet.err();
}

TEST_F(LiveHeadless, HangUpAndQuitWhileListeningEndWithTheSummary) {
  for (int signal : {SIGHUP, SIGQUIT}) {
    LiveProgram sonlet(kSonlet, {"--headless", "--profile", kProfile, "--output", "log"});
    ASSERT_TRUE(sonlet.WaitUntilListening(10s)) << sonlet.err();
    EXPECT_EQ(sonlet.Stop(signal, 10s), 0) << strsignal(signal) << ": " << sonlet.err();
    EXPECT_NE(sonlet.err().find(" passes; moves right "), std::string::npos) << sonlet.err();
  }
}

// Runs a scripts/sound-server command; the destructor runs the one that undoes it unless the
// test did, so that a test that fails half-way leaves the shared server as it found it.
class ServerChange {
 public:
  ServerChange(const std::string& command, std::string undo) : undo_(std::move(undo)) {
    done_ = std::system((kSoundServer + " " + command).c_str()) == 0;
  }
  ~ServerChange() {
    if (done_) Undo();
  }
  ServerChange(const ServerChange&) = delete;
  ServerChange& operator=(const ServerChange&) = delete;
  bool done() const { return done_; }
  bool Undo() {
    done_ = false;
    return std::system((kSoundServer + " " + undo_).c_str()) == 0;
  }

 private:
  std::string undo_;
  bool done_ = false;
};

// The microphone goes away under a running stream and comes back: the whole sound server
// restarting while Sonlet follows the default input, the one input it was told to use pulled
// out and plugged in again, or the server stalling (stopped where it is, its socket and Sonlet's
// connection kept) and going on. A stall shorter than the server's two-second limit is waited
// out on the same connection; a longer one is given up on and waited for on a new one.
struct Outage {
  const char* what;
  const char* go;    // scripts/sound-server command that takes the microphone away
  const char* back;  // and the one that brings it back
  std::vector<std::string> device;
  std::chrono::milliseconds away;  // after Sonlet has said that the sound stopped
};

const Outage kOutages[] = {
    {"the server restarts", "stop", "start", {}, 1500ms},
    {"the named microphone is unplugged",
     "unplug",
     "plug",
     {"--device", "sonlet_sink.monitor"},
     1500ms},
    {"the server stalls for about 2 s", "freeze", "thaw", {}, 1000ms},
    {"the server stalls for about 8 s", "freeze", "thaw", {}, 7000ms},
};

TEST_F(LiveHeadless, MicrophoneThatGoesAndComesBackIsToldOnceAndListeningGoesOn) {
  for (const Outage& outage : kOutages) {
    SCOPED_TRACE(outage.what);
    std::vector<std::string> args = {"--headless", "--profile", kProfile, "--output", "log"};
    args.insert(args.end(), outage.device.begin(), outage.device.end());
    LiveProgram sonlet(kSonlet, args);
    ASSERT_TRUE(sonlet.WaitUntilListening(10s)) << sonlet.err();
    std::this_thread::sleep_for(1s);

    ServerChange away(outage.go, outage.back);
    ASSERT_TRUE(away.done());
    const bool told = sonlet.WaitFor(
        [](const std::string&, const std::string& err) {
          return err.find("microphone stopped") != std::string::npos;
        },
        5s);
    // Stay away for a few of the engine's reopening attempts.
    std::this_thread::sleep_for(outage.away);
    ASSERT_TRUE(away.Undo());
    ASSERT_TRUE(told) << sonlet.err();
    ASSERT_TRUE(sonlet.WaitUntilListening(15s)) << sonlet.err();

    ASSERT_TRUE(PlaySound(kData + "/vowel_a_male.wav"));
    sonlet.WaitFor(
        [](const std::string& out, const std::string&) { return EventsIn(out).right > 20; }, 2s);
    EXPECT_EQ(sonlet.Stop(SIGINT, 10s), 0) << sonlet.err();

    const std::string err = sonlet.err();
    EXPECT_EQ(CountOf(err, "the microphone stopped sending sound"), 1) << err;
    EXPECT_EQ(CountOf(err, "the microphone is back"), 1) << err;
    EXPECT_GT(EventsIn(sonlet.out()).right, 20) << sonlet.out();
    EXPECT_EQ(sonlet.out().find("Error al"), std::string::npos)
        << "reopening is not the first open";
  }
}

// A server that holds its socket but answers nothing when Sonlet starts. PortAudio, reached
// through ALSA's pulse plugin, would wait for the same server for minutes, so Sonlet must not
// turn to it; it names the server and ends.
TEST_F(LiveHeadless, ServerStalledAtTheStartIsNamedAndEndsWith255) {
  struct Start {
    std::vector<std::string> args;
    std::string out;
  };
  const Start kStarts[] = {
      {{"--list-devices"}, ""},
      {{"--headless", "--profile", kProfile, "--output", "log"},
       "Error al abrir el dispositivo de audio A/D " + std::to_string(paTimedOut) + "\n"},
  };
  ServerChange frozen("freeze", "thaw");
  ASSERT_TRUE(frozen.done());
  for (const Start& start : kStarts) {
    SCOPED_TRACE(start.args.front());
    LiveProgram sonlet(kSonlet, start.args);
    // Two seconds for the server, one for the message to be seen; the rest is a hang check.
    EXPECT_EQ(sonlet.Wait(15s), 255) << sonlet.err();
    EXPECT_EQ(sonlet.out(), start.out);
    EXPECT_NE(sonlet.err().find("did not answer within 2 s; it may be stalled. Restart it"),
              std::string::npos)
        << sonlet.err();
    EXPECT_EQ(sonlet.err().find(": OK"), std::string::npos) << sonlet.err();
    EXPECT_EQ(sonlet.err().find("PortAudio"), std::string::npos) << sonlet.err();
  }
}

TEST_F(LiveHeadless, DevicesAreListedAndAnUnknownOneEndsWithTheOpenError) {
  LiveProgram list(kSonlet, {"--list-devices"});
  EXPECT_EQ(list.Wait(30s), 0) << list.err();
  // The sound server's one source, the default, by its description and its name.
  EXPECT_NE(list.out().find("* Monitor of Sonlet-test-sink  (sonlet_sink.monitor; "),
            std::string::npos)
      << list.out();

  LiveProgram sonlet(kSonlet, {"--headless", "--device", "no-such-microphone", "--profile",
                               kProfile, "--output", "log"});
  EXPECT_EQ(sonlet.Wait(30s), 255);
  EXPECT_EQ(sonlet.out(),
            "Error al abrir el dispositivo de audio A/D " + std::to_string(paInvalidDevice) + "\n");
  EXPECT_NE(sonlet.err().find("no-such-microphone"), std::string::npos) << sonlet.err();
}

// Needs no sound server: it points the program at one that does not exist.
TEST(NoSoundDevice, HeadlessSaysSoAndEndsWith255) {
  const std::vector<std::string> no_server = {"PULSE_SERVER=unix:/nonexistent/sonlet-test"};
  LiveProgram list(kSonlet, {"--list-devices"}, no_server);
  const int listed = list.Wait(30s);
  if (listed == 0) GTEST_SKIP() << "this machine has sound input devices of its own";
  EXPECT_EQ(listed, 255);
  EXPECT_EQ(list.out(), "");
  EXPECT_NE(list.err().find("no sound input device"), std::string::npos) << list.err();

  LiveProgram sonlet(kSonlet, {"--headless", "--profile", kProfile, "--output", "log"}, no_server);
  EXPECT_EQ(sonlet.Wait(30s), 255);
  EXPECT_EQ(sonlet.out(), "Error al abrir el dispositivo de audio A/D " +
                              std::to_string(paDeviceUnavailable) + "\n");
  EXPECT_NE(sonlet.err().find("no sound input device was found"), std::string::npos)
      << sonlet.err();
}

}  // namespace

}  // namespace sonlet
