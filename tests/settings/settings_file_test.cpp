// SPDX-License-Identifier: GPL-3.0-or-later
// The files Sonlet keeps (the profile, the panel's options, the calibration) as their own readers
// and writers meet what a hostile or careless world puts at their names: devices, pipes, files
// far too large, folders, and links planted in a shared folder by another user.

#include "settings/settings_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "calibration/calibration_file.h"
#include "settings/panel_options.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace fs = std::filesystem;

namespace {

// Another user, as the links planted by someone else are owned: nobody.
constexpr uid_t kOtherUser = 65534;

const char kCalibration[] =
    "sonlet-calibration 1\n"
    "a 800 1400 2500 0.07 0.05 0.1 60\ne 500 1900 0 0.07 0.05 0 60\n"
    "i 290 2280 2900 0.07 0.05 0.1 60\no 640 830 2400 0.07 0.05 0.1 60\n";

// One kind of file, through its own reader and writer. Each gives 0, or why not: the reason
// settings_file.h names, or kRefusedOtherwise for a reader that refuses for its contents.
constexpr int kRefusedOtherwise = -100;
struct FileKind {
  const char* name;
  std::string good;  // contents its reader accepts
  std::function<int(const std::string&)> read;
  std::function<int(const std::string&)> write;
};

std::vector<FileKind> Kinds() {
  return {
      {"profile", "45\n3\n20\n80\n50\n1\n",
       [](const std::string& path) {
         Profile profile;
         int error = 0;
         ReadProfile(path, &profile, &error);
         return error;
       },
       [](const std::string& path) {
         int error = 0;
         WriteProfile(path, Profile{}, &error);
         return error;
       }},
      {"options", "calibracion 1\n",
       [](const std::string& path) {
         PanelOptions options;
         const std::string why = options.Read(path);
         if (why.empty()) return options.Get(kUseCalibration) ? 0 : kRefusedOtherwise;
         // The reason the reader gave is the one the shared reader gives.
         for (int error : {kNotARegularFile, kFileTooLarge, EISDIR}) {
           if (why.find(FileErrorText(error)) != std::string::npos) return error;
         }
         return kRefusedOtherwise;
       },
       [](const std::string& path) { return PanelOptions().Write(path); }},
      {"calibration", kCalibration,
       [](const std::string& path) {
         VowelMap map;
         CalibrationProblem problem;
         ReadCalibration(path, &map, &problem);
         if (problem.kind == CalibrationProblem::Kind::kCannotOpen) return problem.error;
         return problem.kind == CalibrationProblem::Kind::kNone ? 0 : kRefusedOtherwise;
       },
       [](const std::string& path) {
         VowelMap map;
         int error = 0;
         WriteCalibration(path, map, &error);
         return error;
       }},
  };
}

std::string BytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class SettingsFiles : public ::testing::Test {
 public:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sonlet-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
};

TEST_F(SettingsFiles, ReadersRefuseWhatIsNoSettingsFileWithoutWaitingOrFillingMemory) {
  struct Shape {
    const char* what;
    std::function<void(const FileKind&, const std::string& path)> make;
    int expected;
  };
  const Shape shapes[] = {
      {"a regular file", [](const FileKind& k, const std::string& p) { Put(p, k.good); }, 0},
      {"a regular file at the size limit",
       [](const FileKind& k, const std::string& p) {
         Put(p, k.good + std::string(kSettingsFileLimit - k.good.size(), '\n'));
       },
       0},
      {"a byte over the size limit",
       [](const FileKind& k, const std::string& p) {
         Put(p, k.good + std::string(kSettingsFileLimit + 1 - k.good.size(), '\n'));
       },
       kFileTooLarge},
      {"one line of ten megabytes",
       [](const FileKind& k, const std::string& p) { Put(p, k.good + std::string(10 << 20, 'x')); },
       kFileTooLarge},
      {"a link to a device that never ends",
       [](const FileKind&, const std::string& p) { fs::create_symlink("/dev/zero", p); },
       kNotARegularFile},
      {"a device that reads as empty",
       [](const FileKind&, const std::string& p) { fs::create_symlink("/dev/null", p); },
       kNotARegularFile},
      {"a pipe no one writes",
       [](const FileKind&, const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       kNotARegularFile},
      {"a folder", [](const FileKind&, const std::string& p) { fs::create_directory(p); }, EISDIR},
  };
  for (const FileKind& kind : Kinds()) {
    for (const Shape& shape : shapes) {
      SCOPED_TRACE(std::string(kind.name) + ", " + shape.what);
      const std::string path = Path(kind.name);
      shape.make(kind, path);
      EXPECT_EQ(kind.read(path), shape.expected);
      fs::remove_all(path);
    }
  }
}

TEST_F(SettingsFiles, SavesDoNotFollowALinkAnotherUserPlantedInASharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user takes the superuser";
  // A folder like /tmp: anyone may write, only owners may delete.
  const std::string shared = Path("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const std::string own = Path("own");  // an ordinary folder of the user's
  ASSERT_EQ(::mkdir(own.c_str(), 0755), 0);
  const std::string victim = Path("victim.txt");
  struct Row {
    const char* what;
    std::string folder;
    uid_t link_owner;
    uid_t folder_owner;
    bool followed;
  };
  const Row rows[] = {
      {"another user's link in a shared folder", shared, kOtherUser, 0, false},
      {"the user's own link in a shared folder", shared, ::geteuid(), 0, true},
      {"a link of the shared folder's owner", shared, kOtherUser, kOtherUser, true},
      {"another user's link in the user's own folder", own, kOtherUser, 0, true},
  };
  for (const FileKind& kind : Kinds()) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(kind.name) + ", " + row.what);
      ASSERT_EQ(::chown(row.folder.c_str(), row.folder_owner, 0), 0);
      Put(victim, "what the user had\n");
      const std::string link = row.folder + "/" + kind.name;
      fs::create_symlink(victim, link);
      ASSERT_EQ(::lchown(link.c_str(), row.link_owner, row.link_owner), 0);

      const int checked = CheckSettingsFileWritable(link);
      const int saved = kind.write(link);
      EXPECT_EQ(saved, row.followed ? 0 : kForeignLink);
      EXPECT_EQ(checked, saved) << "the check before a long job agrees with the save";
      EXPECT_EQ(BytesOf(victim) == "what the user had\n", !row.followed);
      EXPECT_TRUE(fs::is_symlink(link));
      // Nothing left beside either: no temporary.
      EXPECT_EQ(std::distance(fs::directory_iterator(row.folder), fs::directory_iterator()), 1);
      EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
      fs::remove(link);
    }
  }
}

TEST_F(SettingsFiles, SavesRefuseWhatTheyCannotReplaceAndTheCheckBeforehandAgrees) {
  struct Row {
    const char* what;
    std::function<std::string(const SettingsFiles&)> make;  // gives the path to save to
    int expected;
  };
  const Row rows[] = {
      {"a new file", [](const SettingsFiles& t) { return t.Path("new.txt"); }, 0},
      {"a file in a folder that does not exist",
       [](const SettingsFiles& t) { return t.Path("absent/new.txt"); }, ENOENT},
      {"a device", [](const SettingsFiles&) { return std::string("/dev/null"); }, kNotARegularFile},
      {"a folder",
       [](const SettingsFiles& t) {
         fs::create_directory(t.Path("folder"));
         return t.Path("folder");
       },
       EISDIR},
      {"a link to a device",
       [](const SettingsFiles& t) {
         fs::create_symlink("/dev/null", t.Path("null-link"));
         return t.Path("null-link");
       },
       kNotARegularFile},
      {"a dangling link, which the new file takes the place of",
       [](const SettingsFiles& t) {
         fs::create_symlink(t.Path("nowhere/x"), t.Path("dangling"));
         return t.Path("dangling");
       },
       0},
  };
  for (const FileKind& kind : Kinds()) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(kind.name) + ", " + row.what);
      const std::string path = row.make(*this);
      EXPECT_EQ(CheckSettingsFileWritable(path), row.expected);
      EXPECT_EQ(kind.write(path), row.expected);
      if (row.expected == 0) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
      }
      std::error_code ignored;
      if (path.rfind(dir_.string(), 0) == 0) fs::remove_all(path, ignored);
    }
  }
}

}  // namespace

}  // namespace sonlet
