// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/panel_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace sonlet {

namespace fs = std::filesystem;

namespace {

// A whole number option of the kind later options will be, for the typed reading.
constexpr NumberOption kSize{"tamano", 5, 1, 10};

class PanelOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sonlet-options-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path() const { return (dir_ / kPanelOptionsFileName).string(); }

  void Put(const std::string& text) const {
    std::ofstream out(Path(), std::ios::binary);
    out << text;
  }

  std::string Contents() const {
    std::ifstream in(Path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path dir_;
};

TEST_F(PanelOptionsTest, ReadsWhatTheFileSaysAndTheDefaultForAnythingElse) {
  struct Row {
    const char* text;
    bool calibration;
    int size;
  };
  const Row table[] = {
      {nullptr, false, 5},  // no file
      {"", false, 5},
      {"calibracion 1\n", true, 5},
      {"calibracion 0\n", false, 5},
      {"calibracion 1", true, 5},                   // no end of line
      {"  calibracion\t1  \r\n", true, 5},          // blanks around, a DOS line end
      {"calibracion yes\n", false, 5},              // only 0 and 1
      {"calibracion 2\n", false, 5},                //
      {"calibracion\n", false, 5},                  // no value
      {"calibracion 1 0\n", false, 5},              // two values
      {"# calibracion 1\n", false, 5},              // a comment
      {"Calibracion 1\n", false, 5},                // keys are as written
      {"calibracion 0\ncalibracion 1\n", true, 5},  // the last line of a key wins
      {"tamano 7\ncalibracion 1\n", true, 7},
      {"tamano 10\n", false, 10},  // the ends of the range
      {"tamano 1\n", false, 1},
      {"tamano 11\n", false, 5},
      {"tamano 0\n", false, 5},
      {"tamano 7x\n", false, 5},
      {"tamano 99999999999\n", false, 5},
      {"otra cosa\n\n#\ncalibracion 1\n", true, 5},  // keys of another Sonlet
  };
  for (const Row& row : table) {
    const std::string text = row.text != nullptr ? row.text : "<no file>";
    fs::remove(Path());
    if (row.text != nullptr) Put(row.text);
    PanelOptions options;
    EXPECT_EQ(options.Read(Path()), "") << text;
    EXPECT_EQ(options.Get(kUseCalibration), row.calibration) << text;
    EXPECT_EQ(options.Get(kSize), row.size) << text;
  }
}

// A save changes the option's own line and nothing else: comments, blank lines and keys this
// Sonlet does not know stay as they were, in their place.
TEST_F(PanelOptionsTest, SavingKeepsEveryOtherLine) {
  struct Row {
    const char* before;
    bool calibration;
    const char* after;
  };
  const Row table[] = {
      {"", true, "calibracion 1\n"},
      {"calibracion 1\n", false, "calibracion 0\n"},
      {"# mis opciones\r\notra cosa 7\n\ncalibracion 1\nvoz alta\n", false,
       "# mis opciones\notra cosa 7\n\ncalibracion 0\nvoz alta\n"},
      {"calibracion 1\nx 2\ncalibracion 0\n", true, "x 2\ncalibracion 1\n"},
      {"  calibracion   0  \n", true, "calibracion 1\n"},
      {"otra 1", true, "otra 1\ncalibracion 1\n"},
  };
  for (const Row& row : table) {
    Put(row.before);
    PanelOptions options;
    ASSERT_EQ(options.Read(Path()), "");
    options.Set(kUseCalibration, row.calibration);
    ASSERT_EQ(options.Write(Path()), 0);
    EXPECT_EQ(Contents(), row.after) << row.before;
    PanelOptions again;
    ASSERT_EQ(again.Read(Path()), "");
    EXPECT_EQ(again.Get(kUseCalibration), row.calibration) << row.before;
  }
}

TEST_F(PanelOptionsTest, NumbersAreWrittenAsTheyReadBack) {
  PanelOptions options;
  options.Set(kSize, 9);
  options.Set(kUseCalibration, true);
  ASSERT_EQ(options.Write(Path()), 0);
  EXPECT_EQ(Contents(), "tamano 9\ncalibracion 1\n");
  PanelOptions again;
  ASSERT_EQ(again.Read(Path()), "");
  EXPECT_EQ(again.Get(kSize), 9);
}

TEST(PanelOptionsPath, LiesBesideTheProfile) {
  EXPECT_EQ(PanelOptionsPathBeside("user.txt"), "options.txt");
  EXPECT_EQ(PanelOptionsPathBeside("/home/ana/sonlet/user.txt"), "/home/ana/sonlet/options.txt");
  EXPECT_EQ(PanelOptionsPathBeside("perfiles/ana"), "perfiles/options.txt");
  EXPECT_EQ(PanelOptionsPathBeside("/perfil"), "/options.txt");
}

}  // namespace

}  // namespace sonlet
