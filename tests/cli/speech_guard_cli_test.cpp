// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "support/synthetic_hiss.h"
#include "support/wav_file.h"

namespace sonlet {

namespace {

namespace fs = std::filesystem;

const std::string kSonlet = SONLET_BINARY;
const std::string kData = SONLET_DATA_DIR;
const std::string kProfile = kData + "/user.txt";

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The events of a log, a run of moves counted once: "right", "left", "click", "pause", ...
std::vector<std::string> Events(const std::string& log) {
  std::vector<std::string> events;
  for (const std::string& line : LinesOf(log)) {
    std::string event = line.substr(line.find('\t') + 1);
    if (event.rfind("move ", 0) == 0) event = event[5] == '-' ? "left" : "right";
    if (events.empty() || events.back() != event) events.push_back(event);
  }
  return events;
}

class SpeechGuardRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sonlet-speech-guard-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // A recording of the parts one after another: a bundled recording's name, "hiss" (a second
  // of it) or "room" (0.6 s of room noise).
  std::string Recording(const std::string& name, const std::vector<std::string>& parts) {
    std::vector<int16_t> all;
    for (const std::string& part : parts) {
      std::vector<int16_t> sound;
      std::string error;
      if (part == "hiss") {
        sound = SyntheticHiss(8000, 70.0);
      } else if (part == "room") {
        sound = RoomNoise(4800);
      } else {
        EXPECT_TRUE(ReadWav8kMono(kData + "/" + part, &sound, &error)) << error;
      }
      all.insert(all.end(), sound.begin(), sound.end());
    }
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path(name).c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr);
    sf_write_short(file, all.data(), static_cast<sf_count_t>(all.size()));
    sf_close(file);
    return path(name);
  }

  ProgramRun Sonlet(const std::string& recording, std::vector<std::string> more) {
    std::vector<std::string> args = {"--headless", "--input", recording, "--profile", kProfile};
    args.insert(args.end(), more.begin(), more.end());
    return RunProgram(kSonlet, args);
  }

  fs::path dir_;
};

// One user's session with everything on: the guard, a calibration and the pause gesture. The
// held vowels steer, the hisses pause and resume, "click" standing alone clicks; the same word
// said over and over, as in talk, clicks without the guard and not with it.
TEST_F(SpeechGuardRun, WorksWithTheCalibrationAndThePauseGesture) {
  const std::string calibration = path("calibration.txt");
  ProgramRun made = RunProgram(
      kSonlet,
      {"--make-calibration", calibration, "--from", "a=" + kData + "/vowel_a_male.wav", "--from",
       "e=" + kData + "/vowel_e_male.wav", "--from", "i=" + kData + "/vowel_i_male.wav", "--from",
       "o=" + kData + "/vowel_o_male.wav", "--profile", kProfile});
  ASSERT_EQ(made.status, 0) << made.err;

  const std::string session = Recording("session.wav", {"room",
                                                        "vowel_a_male.wav",
                                                        "room",
                                                        "hiss",
                                                        "room",
                                                        "vowel_i_male.wav",
                                                        "room",
                                                        "hiss",
                                                        "room",
                                                        "click.wav",
                                                        "room",
                                                        "room",
                                                        "vowel_i_male.wav",
                                                        "room",
                                                        "room",
                                                        "room",
                                                        "click.wav",
                                                        "click.wav",
                                                        "click.wav",
                                                        "click.wav",
                                                        "click.wav",
                                                        "click.wav",
                                                        "room"});
  const std::vector<std::string> everything = {"--calibration", calibration, "--pause-gesture",
                                               "--output", "log"};
  std::vector<std::string> guarded = everything;
  guarded.push_back("--speech-guard");
  const ProgramRun run = Sonlet(session, guarded);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Events(run.out),
            (std::vector<std::string>{"right", "pause", "resume", "click", "left"}))
      << run.out;
  const ProgramRun plain = Sonlet(session, everything);
  const std::vector<std::string> unguarded = Events(plain.out);
  // Said over and over, the words run together: at least one click among them besides the one
  // standing alone.
  EXPECT_GE(std::count(unguarded.begin(), unguarded.end(), "click"), 2) << plain.out;

  // The trace says why, in a last column after the vowel's.
  guarded = {"--calibration", calibration, "--speech-guard", "--output", "none", "--trace", "-"};
  const ProgramRun traced = Sonlet(session, guarded);
  ASSERT_EQ(traced.status, 0) << traced.err;
  const std::vector<std::string> rows = LinesOf(traced.out);
  ASSERT_GT(rows.size(), 100u);
  EXPECT_EQ(rows[0].substr(rows[0].size() - 18), ",event,vowel,guard");
  std::vector<std::string> reasons;
  for (const std::string& row : rows) {
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 16) << row;
    const std::string reason = row.substr(row.rfind(',') + 1);
    if (!reason.empty() && (reasons.empty() || reasons.back() != reason)) {
      reasons.push_back(reason);
    }
  }
  // The first "a" fades with a last breath of voice, which carries its steering on; the hisses
  // and the room do nothing here.
  EXPECT_EQ(reasons, (std::vector<std::string>{"guard", "held", "tail", "held", "wait", "click",
                                               "held", "wait", "speech"}))
      << traced.out;
}

TEST(SpeechGuardOption, IsForTheHeadlessRunAlone) {
  const std::vector<std::vector<std::string>> refused = {
      {"--speech-guard", "--input", kData + "/session.wav"},
      {"--headless", "--calibrate", "out.txt", "--speech-guard"},
      {"--make-calibration", "out.txt", "--from", "a=x.wav", "--from", "e=x.wav", "--from",
       "i=x.wav", "--from", "o=x.wav", "--speech-guard"},
  };
  for (const auto& args : refused) {
    const ProgramRun run = RunProgram(kSonlet, args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_NE(run.err.find("--speech-guard"), std::string::npos) << run.err;
  }
  EXPECT_NE(RunProgram(kSonlet, {"--help"}).out.find("\n  --speech-guard "), std::string::npos);
}

}  // namespace

}  // namespace sonlet
