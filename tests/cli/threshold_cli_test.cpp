// SPDX-License-Identifier: GPL-3.0-or-later
// --headless --suggest-threshold through the real program, on recordings of a room and a voice
// made at known levels.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/live_program.h"
#include "cli/run_program.h"
#include "support/sound_level.h"
#include "support/wav_file.h"

namespace sonlet {

namespace {

namespace fs = std::filesystem;

const std::string kSonlet = SONLET_BINARY;
const std::string kProfile = "45\n3\n20\n80\n50\n1\n";

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<int16_t> Joined(std::initializer_list<std::vector<int16_t>> parts) {
  std::vector<int16_t> all;
  for (const std::vector<int16_t>& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class SuggestThreshold : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("sonlet-threshold-cli-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string Recording(const std::string& name, const std::vector<int16_t>& samples) {
    EXPECT_TRUE(WriteWav8kMono(path(name), samples));
    return path(name);
  }

  fs::path dir_;
};

// Each recording is heard room first, then the voice. Chosen: the profile's first line becomes
// the setting printed, the other five stay. Refused or unfinished: status 2 and the profile as
// it was.
TEST_F(SuggestThreshold, WritesTheChoiceOrRefusesAndKeepsTheProfile) {
  struct Row {
    const char* what;
    std::vector<int16_t> sound;
    int status;
    const char* says;
    int least = 0, most = 0;  // the setting written
  };
  const Row table[] = {
      // 70 - 16 = 54 dB: setting 46, give or take the meter's reading of the made levels.
      {"room 35, voice 70", RoomThenVoices(35, {{53, 70}}), 0, "Umbral sugerido: ", 45, 47},
      // The room rules: 45 + 6 = 51 (or 52 with its loud moments), and "e" is told to be louder.
      {"room 45, voice 60", RoomThenVoices(45, {{53, 60}}), 0, "la «e» (arriba) pide", 48, 49},
      // A fan switched on after the room was heard (30 dB, then 50): the room is heard again,
      // and the voice at 75 gives 75 - 16 = 59 dB, setting 41.
      {"a fan switched on",
       Joined({RoomNoise(213, 30), RoomNoise(400, 50, 3), RoomThenVoices(50, {{53, 75}})}), 0,
       "la sala ha cambiado", 40, 42},
      {"room 45, voice 52", RoomThenVoices(45, {{53, 52}}), 2, "no se oye con claridad"},
      {"room 45, nothing said", RoomThenVoices(45, {}), 2, "No se ha oído ninguna «aaa»"},
      {"two seconds of room", RoomNoise(107, 35), 2, "El sonido terminó antes"},
  };
  for (const Row& row : table) {
    const std::string profile = path("user.txt");
    std::ofstream(profile) << kProfile;
    const std::string sound = Recording("room-and-voice.wav", row.sound);
    const ProgramRun run = RunProgram(
        kSonlet, {"--headless", "--suggest-threshold", "--input", sound, "--profile", profile});
    EXPECT_EQ(run.status, row.status) << row.what << "\n" << run.out << run.err;
    EXPECT_NE(run.out.find(row.says), std::string::npos) << row.what << "\n" << run.out;
    if (row.status != 0) {
      EXPECT_EQ(Read(profile), kProfile) << row.what;
      EXPECT_NE(run.out.find("el umbral sigue en 45"), std::string::npos) << run.out;
      continue;
    }
    int printed = -1;
    const size_t at = run.out.find("Umbral sugerido: ");
    ASSERT_NE(at, std::string::npos) << run.out;
    printed = std::stoi(run.out.substr(at + 17));
    EXPECT_GE(printed, row.least) << row.what;
    EXPECT_LE(printed, row.most) << row.what;
    EXPECT_EQ(Read(profile), std::to_string(printed) + "\n3\n20\n80\n50\n1\n") << row.what;
    EXPECT_NE(run.out.find("Umbral escrito en " + profile + " (antes 45)"), std::string::npos)
        << run.out;
  }
}

TEST_F(SuggestThreshold, WrongUseGetsAMessage) {
  const std::string sound = Recording("room.wav", RoomNoise(10, 35));
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const Row table[] = {
      {{"--suggest-threshold", "--input", sound}, 2, "add --headless"},
      {{"--headless", "--suggest-threshold", "--input", sound, "--trace", "-"}, 2, "only listens"},
      {{"--headless", "--suggest-threshold", "--input", sound, "--output", "log"},
       2,
       "only listens"},
      {{"--headless", "--suggest-threshold", "--input", sound, "--profile", path("absent.txt")},
       1,
       "Error opening user.txt"},
  };
  for (const Row& row : table) {
    const ProgramRun run = RunProgram(kSonlet, row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(path("absent.txt")));
}

// A stop signal while the room is heard (at its own pace) ends with status 2, the profile kept.
TEST_F(SuggestThreshold, AStopSignalEndsWithStatus2AndKeepsTheProfile) {
  using namespace std::chrono_literals;
  const std::string sound = Recording("room.wav", RoomThenVoices(35, {{53, 70}}));
  const std::string profile = path("user.txt");
  for (int signal : {SIGINT, SIGTERM}) {
    std::ofstream(profile) << kProfile;
    LiveProgram sonlet(kSonlet, {"--headless", "--suggest-threshold", "--input", sound,
                                 "--realtime", "--profile", profile});
    ASSERT_TRUE(sonlet.WaitUntilItTakesSignals(5s));
    ASSERT_TRUE(sonlet.WaitFor(
        [](const std::string& out, const std::string&) {
          return out.find("no diga nada") != std::string::npos;
        },
        5s));
    EXPECT_EQ(sonlet.Stop(signal, 5s), 2) << sonlet.err();
    EXPECT_NE(sonlet.out().find("Ajuste del umbral interrumpido"), std::string::npos)
        << sonlet.out();
    EXPECT_EQ(Read(profile), kProfile);
  }
}

}  // namespace

}  // namespace sonlet
