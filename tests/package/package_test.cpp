// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package that scripts/package builds, unpacked into a scratch root with dpkg -x: what
// it installs, that those files are the tree's own, and that its programs run from where they
// land. scripts/test builds the package first and then runs these tests (label "package").

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_program.h"

namespace sonlet {

namespace {

namespace fs = std::filesystem;

const std::string kPackageDir = SONLET_PACKAGE_DIR;
const std::string kSourceDir = SONLET_SOURCE_DIR;
const std::string kData = SONLET_DATA_DIR;
const std::string kProjectVersion = SONLET_PROJECT_VERSION;
// The programs of this build tree, to hold the packaged ones to.
const std::string kBuiltSonlet = SONLET_BINARY;
const std::string kBuiltAnalyse = SONLET_ANALYSE;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TrimmedLine(const std::string& text) {
  const size_t end = text.find_last_not_of("\n\r ");
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

// The one sonlet_*.deb in the package folder (scripts/package removes the ones it built before),
// or an empty path when there is none or more than one.
fs::path ThePackage() {
  std::vector<fs::path> found;
  if (fs::is_directory(kPackageDir)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(kPackageDir)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("sonlet_", 0) == 0 && entry.path().extension() == ".deb") {
        found.push_back(entry.path());
      }
    }
  }
  return found.size() == 1 ? found.front() : fs::path();
}

// The value of `key=` on its own line of a desktop entry, or "" without one.
std::string DesktopKey(const std::string& entry, const std::string& key) {
  std::istringstream lines(entry);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

std::string FirstMatch(const std::string& text, const std::string& pattern) {
  std::smatch match;
  return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}

class Package : public testing::Test {
 protected:
  void SetUp() override {
    deb_ = ThePackage();
    ASSERT_FALSE(deb_.empty()) << "no single sonlet_*.deb in " << kPackageDir
                               << ": build it with scripts/package";
    root_ = fs::temp_directory_path() /
            ("sonlet-package-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) +
             "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    const ProgramRun unpack = RunProgram("/usr/bin/dpkg", {"-x", deb_.string(), root_.string()});
    ASSERT_EQ(unpack.status, 0) << unpack.err;
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Installed(const std::string& path) const { return root_ / path; }

  std::string Field(const std::string& name) const {
    const ProgramRun run = RunProgram("/usr/bin/dpkg-deb", {"-f", deb_.string(), name});
    EXPECT_EQ(run.status, 0) << run.err;
    return TrimmedLine(run.out);
  }

  fs::path deb_;
  fs::path root_;
};

TEST_F(Package, InstallsEveryFileWhereItsUsersLook) {
  struct File {
    const char* path;
    bool program;
  };
  const File files[] = {
      {"usr/bin/sonlet", true},
      {"usr/bin/sonlet-analyse", true},
      // What the desktop entry starts.
      {"usr/bin/sonlet-launch", true},
      // The profile sonlet-launch copies the first time, from ../share/sonlet beside itself.
      {"usr/share/sonlet/user.txt", false},
      // The panel's English texts, compiled (the program carries its own copy too).
      {"usr/share/sonlet/translations/sonlet_en.qm", false},
      // Where udev reads the rules packages ship.
      {"usr/lib/udev/rules.d/60-sonlet-uinput.rules", false},
      {"usr/share/applications/org.sonlet.Sonlet.desktop", false},
      {"usr/share/applications/org.sonlet.Sonlet.Pointer.desktop", false},
      {"usr/share/icons/hicolor/scalable/apps/org.sonlet.Sonlet.svg", false},
      {"usr/share/metainfo/org.sonlet.Sonlet.metainfo.xml", false},
      {"usr/share/man/man1/sonlet.1.gz", false},
      {"usr/share/man/man1/sonlet-analyse.1.gz", false},
      {"usr/share/man/man1/sonlet-launch.1.gz", false},
      // The panel's "Manual (pdf)" opens it from ../share/doc/sonlet beside the program, as it is:
      // a compressed copy would not open.
      {"usr/share/doc/sonlet/Manual_sonlet.pdf", false},
      {"usr/share/doc/sonlet/copyright", false},
  };
  for (const File& file : files) {
    const fs::path path = Installed(file.path);
    ASSERT_TRUE(fs::is_regular_file(path)) << file.path << " is not in " << deb_;
    EXPECT_GT(fs::file_size(path), 0u) << file.path;
    const bool executable =
        (fs::status(path).permissions() & fs::perms::others_exec) != fs::perms::none;
    EXPECT_EQ(executable, file.program) << file.path;
  }
}

TEST_F(Package, InstalledFilesAreTheTreesOwn) {
  struct Copy {
    const char* installed;
    const char* source;
    bool compressed;
  };
  const Copy copies[] = {
      {"usr/bin/sonlet-launch", "packaging/sonlet-launch", false},
      {"usr/share/sonlet/user.txt", "packaging/user.txt", false},
      {"usr/lib/udev/rules.d/60-sonlet-uinput.rules", "packaging/60-sonlet-uinput.rules", false},
      {"usr/share/applications/org.sonlet.Sonlet.desktop", "packaging/org.sonlet.Sonlet.desktop",
       false},
      {"usr/share/metainfo/org.sonlet.Sonlet.metainfo.xml",
       "packaging/org.sonlet.Sonlet.metainfo.xml", false},
      {"usr/share/icons/hicolor/scalable/apps/org.sonlet.Sonlet.svg", "src/panel/icons/sonlet.svg",
       false},
      {"usr/share/man/man1/sonlet.1.gz", "doc/sonlet.1", true},
      {"usr/share/man/man1/sonlet-analyse.1.gz", "doc/sonlet-analyse.1", true},
      {"usr/share/man/man1/sonlet-launch.1.gz", "doc/sonlet-launch.1", true},
      {"usr/share/doc/sonlet/copyright", "debian/copyright", false},
  };
  for (const Copy& copy : copies) {
    std::string installed;
    if (copy.compressed) {
      const ProgramRun unzip = RunProgram("/bin/gzip", {"-dc", Installed(copy.installed)});
      ASSERT_EQ(unzip.status, 0) << copy.installed << ": " << unzip.err;
      installed = unzip.out;
    } else {
      installed = ReadFile(Installed(copy.installed));
    }
    const std::string source = ReadFile(fs::path(kSourceDir) / copy.source);
    ASSERT_FALSE(source.empty()) << copy.source;
    EXPECT_TRUE(installed == source) << copy.installed << " differs from " << copy.source;
  }
}

TEST_F(Package, DesktopEntryAndMetainfoNameWhatThePackageHolds) {
  const std::string entry = ReadFile(Installed("usr/share/applications/org.sonlet.Sonlet.desktop"));
  const std::string exec = DesktopKey(entry, "Exec");
  const std::string command = exec.substr(0, exec.find(' '));
  ASSERT_FALSE(command.empty());
  EXPECT_TRUE(fs::is_regular_file(Installed("usr/bin/" + command))) << exec;
  const std::string icon = DesktopKey(entry, "Icon");
  ASSERT_FALSE(icon.empty());
  EXPECT_TRUE(
      fs::is_regular_file(Installed("usr/share/icons/hicolor/scalable/apps/" + icon + ".svg")))
      << icon;

  // KWin grants its fake input to the program whose installed path is this entry's command.
  const std::string pointer =
      ReadFile(Installed("usr/share/applications/org.sonlet.Sonlet.Pointer.desktop"));
  const std::string program = DesktopKey(pointer, "Exec");
  ASSERT_EQ(program.rfind('/', 0), 0u) << program;
  EXPECT_TRUE(fs::is_regular_file(Installed(program.substr(1)))) << program;
  EXPECT_EQ(DesktopKey(pointer, "X-KDE-Wayland-Interfaces"), "org_kde_kwin_fake_input");

  const std::string metainfo =
      ReadFile(Installed("usr/share/metainfo/org.sonlet.Sonlet.metainfo.xml"));
  const std::string desktop_id =
      FirstMatch(metainfo, R"re(<launchable type="desktop-id">([^<]+)</launchable>)re");
  ASSERT_FALSE(desktop_id.empty());
  EXPECT_TRUE(fs::is_regular_file(Installed("usr/share/applications/" + desktop_id))) << desktop_id;
  const std::string binary = FirstMatch(metainfo, R"re(<binary>([^<]+)</binary>)re");
  ASSERT_FALSE(binary.empty());
  EXPECT_TRUE(fs::is_regular_file(Installed("usr/bin/" + binary))) << binary;
}

TEST_F(Package, ControlFieldsNameThisBuild) {
  EXPECT_EQ(Field("Package"), "sonlet");
  const ProgramRun arch = RunProgram("/usr/bin/dpkg", {"--print-architecture"});
  ASSERT_EQ(arch.status, 0) << arch.err;
  EXPECT_EQ(Field("Architecture"), TrimmedLine(arch.out));
  // The Debian version is the project's, with or without a Debian revision after a dash.
  const std::string version = Field("Version");
  EXPECT_EQ(version.substr(0, version.rfind('-')), kProjectVersion) << version;
  EXPECT_EQ(deb_.filename().string(), "sonlet_" + version + "_" + TrimmedLine(arch.out) + ".deb");
  // Filled in from the libraries the programs link: the C library at least.
  EXPECT_NE(Field("Depends").find("libc6"), std::string::npos) << Field("Depends");
}

// The packaged programs, run from the scratch root, answer as this tree's do: the package was
// built from this tree and works where it lands.
TEST_F(Package, ProgramsRunAsTheTreesDo) {
  struct Run {
    fs::path packaged;
    std::string built;
    std::vector<std::string> args;
  };
  const Run runs[] = {
      {Installed("usr/bin/sonlet"), kBuiltSonlet, {"--version"}},
      {Installed("usr/bin/sonlet"), kBuiltSonlet, {"--help"}},
      {Installed("usr/bin/sonlet"),
       kBuiltSonlet,
       {"--headless", "--input", kData + "/session.wav", "--profile", kData + "/user.txt",
        "--output", "log"}},
      {Installed("usr/bin/sonlet-analyse"), kBuiltAnalyse, {kData + "/session.wav"}},
  };
  for (const Run& run : runs) {
    const ProgramRun packaged = RunProgram(run.packaged.string(), run.args);
    const ProgramRun built = RunProgram(run.built, run.args);
    const std::string what = run.packaged.filename().string() + " " + run.args.front();
    ASSERT_EQ(built.status, 0) << what << ": " << built.err;
    EXPECT_EQ(packaged.status, built.status) << what << ": " << packaged.err;
    EXPECT_FALSE(packaged.out.empty()) << what;
    EXPECT_TRUE(packaged.out == built.out) << what << " prints otherwise than this tree's";
    EXPECT_EQ(packaged.err, built.err) << what;
  }
}

TEST_F(Package, LauncherGivesAFirstProfileAndStartsTheProgramBesideIt) {
  const fs::path data_home = root_ / "data-home";
  const ProgramRun run = RunProgram(Installed("usr/bin/sonlet-launch").string(), {"--version"}, "",
                                    {"XDG_DATA_HOME=" + data_home.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sonlet " + kProjectVersion + "\n");
  EXPECT_EQ(ReadFile(data_home / "sonlet" / "user.txt"),
            ReadFile(fs::path(kSourceDir) / "packaging" / "user.txt"));
}

}  // namespace

}  // namespace sonlet
