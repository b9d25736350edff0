// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/calibration_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace sonlet {

namespace {

namespace fs = std::filesystem;

class CalibrationFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sonlet-calibration-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& text) {
    const std::string path = (dir_ / "calibration.txt").string();
    std::ofstream(path) << text;
    return path;
  }
  fs::path dir_;
};

TEST_F(CalibrationFile, WhatIsWrittenReadsBackAsTheSameMap) {
  VowelMap map;
  map.vowels[0] = {true, 812.25f, 1400.5f, 2510.5f, 0.0913f, 0.05f, 0.1f, 61};
  map.vowels[1] = {true, 496.2f, 1909.8f, 0.0f, 0.07f, 0.062f, 0.0f, 58};
  map.vowels[2] = {true, 288.3f, 2282.4f, 2950.0f, 0.07f, 0.05f, 0.12f, 59};
  map.vowels[3] = {true, 640.8f, 832.9f, 2400.0f, 0.07f, 0.05f, 0.1f, 62};
  const std::string path = (dir_ / "calibration.txt").string();
  ASSERT_EQ(WriteCalibration(path, map), "");
  VowelMap back;
  ASSERT_EQ(ReadCalibration(path, &back), "");
  for (int v = 0; v < kVowelCount; ++v) {
    EXPECT_EQ(back.vowels[v].present, map.vowels[v].present) << v;
    EXPECT_NEAR(back.vowels[v].f1_hz, map.vowels[v].f1_hz, 0.05) << v;
    EXPECT_NEAR(back.vowels[v].f2_hz, map.vowels[v].f2_hz, 0.05) << v;
    EXPECT_NEAR(back.vowels[v].f1_spread, map.vowels[v].f1_spread, 0.0005) << v;
    EXPECT_NEAR(back.vowels[v].f2_spread, map.vowels[v].f2_spread, 0.0005) << v;
    EXPECT_NEAR(back.vowels[v].f3_hz, map.vowels[v].f3_hz, 0.05) << v;
    EXPECT_NEAR(back.vowels[v].f3_spread, map.vowels[v].f3_spread, 0.0005) << v;
    EXPECT_EQ(back.vowels[v].passes, map.vowels[v].passes) << v;
  }
  EXPECT_EQ(CalibrationPathBeside("/home/ana/user.txt"), "/home/ana/calibration.txt");
  EXPECT_EQ(CalibrationPathBeside("user.txt"), "calibration.txt");
}

TEST_F(CalibrationFile, AFileThatCannotBeTrustedIsRefusedWithItsLine) {
  const std::string body =
      "a 800 1400 2500 0.07 0.05 0.1 60\ne 500 1900 0 0.07 0.05 0 60\n"
      "i 290 2280 2900 0.07 0.05 0.1 60\no 640 830 2400 0.07 0.05 0.1 60\n";
  const struct {
    std::string text;
    std::string says;
  } cases[] = {
      {"", "is empty"},
      {"# only a comment\n", "is empty"},
      {"45\n3\n20\n80\n50\n1\n", "line 1: is not a Sonlet calibration"},
      {"sonlet-calibration 2\n" + body, "version 2"},
      {"sonlet-calibration 1\n" + body.substr(0, body.rfind("o ")), "no line for the vowel o"},
      {"sonlet-calibration 1\n" + body + "a 800 1400 2500 0.07 0.05 0.1 60\n",
       "line 6: gives the vowel a"},
      {"sonlet-calibration 1\n" + body + "x 800 1400 2500 0.07 0.05 0.1 60\n",
       "line 6: 'x' is not"},
      {"sonlet-calibration 1\n" + body + "u 300 700 0.07 0.05 60\n", "line 6: needs seven numbers"},
      {"sonlet-calibration 1\n" + body + "u 300 700 2300 0.07 0.05 0.1 60 9\n", "needs seven"},
      {"sonlet-calibration 1\n" + body + "u 0 700 2300 0.07 0.05 0.1 60\n", "between 50 and 4000"},
      {"sonlet-calibration 1\n" + body + "u 300 700 9000 0.07 0.05 0.1 60\n", "between 50 and"},
      {"sonlet-calibration 1\n" + body + "u nan 700 2300 0.07 0.05 0.1 60\n", "line 6"},
      // A spread below the floor would make a vowel that nothing live can hit.
      {"sonlet-calibration 1\n" + body + "u 300 700 2300 0.01 0.05 0.1 60\n", "spreads"},
      {"sonlet-calibration 1\n" + body + "u 300 700 2300 0.07 5 0.1 60\n", "spreads"},
      {"sonlet-calibration 1\n" + body + "u 300 700 2300 0.07 0.05 0 60\n", "spreads"},
  };
  for (const auto& c : cases) {
    VowelMap map;
    map.vowels[0].passes = -7;
    const std::string why = ReadCalibration(Write(c.text), &map);
    EXPECT_NE(why.find(c.says), std::string::npos) << c.text << "\n-> " << why;
    EXPECT_EQ(map.vowels[0].passes, -7) << "a refused file leaves the map alone";
  }
  EXPECT_NE(ReadCalibration((dir_ / "missing.txt").string(), nullptr).find("cannot open"),
            std::string::npos);
}

}  // namespace

}  // namespace sonlet
