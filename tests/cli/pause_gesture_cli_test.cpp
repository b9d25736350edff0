// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A user's session: a held "a", a hiss of a second, a held "i" said while paused, another hiss
// and a held "a", with room noise between; or the same with room noise where the hisses were.
class PauseGestureRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sonlet-pause-gesture-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Session(bool hisses) {
    const std::vector<int16_t> room = RoomNoise(4800);
    std::vector<int16_t> all;
    hiss_ends_.clear();
    for (const std::string part : {"a", "hiss", "i", "hiss", "a"}) {
      std::vector<int16_t> sound;
      std::string error;
      if (part == "hiss") {
        sound = hisses ? SyntheticHiss(8000, 70.0) : RoomNoise(8000);
      } else {
        EXPECT_TRUE(ReadWav8kMono(kData + "/vowel_" + part + "_male.wav", &sound, &error));
      }
      all.insert(all.end(), room.begin(), room.end());
      all.insert(all.end(), sound.begin(), sound.end());
      if (part == "hiss") hiss_ends_.push_back(static_cast<long>(all.size()) / 150);
    }
    all.insert(all.end(), room.begin(), room.end());
    const std::string path = (dir_ / (hisses ? "hisses.wav" : "room.wav")).string();
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_write_short(file, all.data(), static_cast<sf_count_t>(all.size()));
    sf_close(file);
    return path;
  }

  ProgramRun Sonlet(const std::string& recording, std::vector<std::string> more) {
    std::vector<std::string> args = {"--headless", "--input", recording, "--profile",
                                     kData + "/user.txt"};
    args.insert(args.end(), more.begin(), more.end());
    return RunProgram(kSonlet, args);
  }

  fs::path dir_;
  std::vector<long> hiss_ends_;  // the block after each hiss
};

TEST_F(PauseGestureRun, AHissPausesSteeringAndAnotherResumesIt) {
  const ProgramRun run = Sonlet(Session(true), {"--output", "log", "--pause-gesture"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Each line's event, a run of moves counted once; a pause or resume within a tenth of a
  // second after its hiss (pass p reads block p + 1).
  std::vector<std::string> events;
  for (const std::string& line : LinesOf(run.out)) {
    const long pass = std::stol(line);
    std::string event = line.substr(line.find('\t') + 1);
    if (event.rfind("move ", 0) == 0) event = event[5] == '-' ? "left" : "right";
    if (event == "pause" || event == "resume") {
      const long end = hiss_ends_[event == "pause" ? 0 : 1] - 2;
      EXPECT_TRUE(pass >= end && pass <= end + 6) << line << ", the hiss ends on pass " << end;
    }
    if (events.empty() || events.back() != event) events.push_back(event);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"right", "pause", "resume", "right"})) << run.out;

  // Without the option the hisses change nothing: the "i" steers left.
  const ProgramRun plain = Sonlet(Session(true), {"--output", "log"});
  EXPECT_EQ(plain.out, Sonlet(Session(false), {"--output", "log"}).out);
  EXPECT_NE(plain.out.find("\tmove -"), std::string::npos);
}

TEST_F(PauseGestureRun, TheTraceKeepsItsFormAndShowsListeningOff) {
  // Without a hiss the option changes nothing the program writes.
  const std::string room = Session(false);
  const ProgramRun plain = Sonlet(room, {"--output", "none", "--trace", "-"});
  const ProgramRun gesture = Sonlet(room, {"--output", "none", "--trace", "-", "--pause-gesture"});
  EXPECT_EQ(gesture.out, plain.out);
  EXPECT_EQ(gesture.err, plain.err);

  // With the hisses, standard error tells the user at the terminal; the trace's rows keep their
  // columns and leave the analysis empty from the first hiss's end to the second's.
  const ProgramRun run =
      Sonlet(Session(true), {"--output", "none", "--trace", "-", "--pause-gesture"});
  ASSERT_EQ(run.status, 0) << run.err;
  const size_t paused = run.err.find("sonlet: paused");
  ASSERT_NE(paused, std::string::npos) << run.err;
  EXPECT_GT(run.err.find("sonlet: listening again"), paused) << run.err;
  const std::vector<std::string> rows = LinesOf(run.out);
  ASSERT_EQ(rows.size(), LinesOf(plain.out).size());
  long stopped = 0;
  for (const std::string& row : rows) {
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 14) << row;
    stopped += row.find(",,,,,,,,,,,,") != std::string::npos ? 1 : 0;
  }
  EXPECT_LE(std::labs(stopped - (hiss_ends_[1] - hiss_ends_[0])), 8) << stopped;
}

TEST(PauseGestureOption, IsForTheHeadlessRunAlone) {
  const std::vector<std::vector<std::string>> refused = {
      {"--pause-gesture", "--input", kData + "/session.wav"},
      {"--headless", "--calibrate", "out.txt", "--pause-gesture"},
      {"--make-calibration", "out.txt", "--from", "a=x.wav", "--from", "e=x.wav", "--from",
       "i=x.wav", "--from", "o=x.wav", "--pause-gesture"},
  };
  for (const auto& args : refused) {
    const ProgramRun run = RunProgram(kSonlet, args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_NE(run.err.find("--pause-gesture"), std::string::npos) << run.err;
  }
  EXPECT_NE(RunProgram(kSonlet, {"--help"}).out.find("\n  --pause-gesture "), std::string::npos);
}

}  // namespace

}  // namespace sonlet
