// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_program.h"

namespace sonlet {

namespace {

const std::string kSonlet = SONLET_BINARY;
const std::string kDocDir = SONLET_DOC_DIR;
const std::string kProjectVersion = SONLET_PROJECT_VERSION;

// Every program the package installs has its page; the launcher passes its options on to
// sonlet and has no --help of its own.
struct ManPageOf {
  const char* page;
  std::string program;
};
const ManPageOf kPages[] = {
    {"sonlet.1", kSonlet},
    {"sonlet-analyse.1", SONLET_ANALYSE},
    {"sonlet-launch.1", ""},
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

// The long options a plain text names, as "--name".
std::set<std::string> LongOptions(const std::string& text) {
  return Matches(text, std::regex("--[a-z][a-z0-9-]*"));
}

// troff prints a bare "-" as a hyphen, which a terminal may show as another character and a
// shell will not take; an option must be written with minus signs, "\-".
std::string WithMinusSigns(const std::string& option) {
  std::string troff;
  for (char c : option) troff += c == '-' ? std::string("\\-") : std::string(1, c);
  return troff;
}

std::string Untroffed(const std::string& troff) {
  return std::regex_replace(troff, std::regex(R"(\\-)"), "-");
}

// The long options the manual page writes as they must be written, as "--name".
std::set<std::string> ManPageOptions(const std::string& troff) {
  std::set<std::string> options;
  for (const std::string& written : Matches(troff, std::regex(R"(\\-\\-[a-z]([a-z0-9]|\\-)*)"))) {
    options.insert(Untroffed(written));
  }
  return options;
}

std::string Help(const std::string& program) {
  const ProgramRun run = RunProgram(program, {"--help"});
  EXPECT_EQ(run.status, 0) << program << ": " << run.err;
  return run.out;
}

std::string PagePath(const ManPageOf& page) { return kDocDir + "/" + page.page; }

TEST(ManPage, AndHelpNameTheSameLongOptions) {
  for (const ManPageOf& page : kPages) {
    if (page.program.empty()) continue;
    const std::string path = PagePath(page);
    const std::set<std::string> documented = ManPageOptions(ReadFile(path));
    const std::set<std::string> in_help = LongOptions(Help(page.program));
    // Both name it: texts the patterns found nothing in would agree too.
    ASSERT_TRUE(in_help.count("--help")) << page.program << ": help not read";
    ASSERT_TRUE(documented.count("--help")) << path << " not read";
    for (const std::string& option : in_help) {
      EXPECT_TRUE(documented.count(option))
          << option << " is in " << page.program << " --help but not in " << path << " (as "
          << WithMinusSigns(option) << ")";
    }
    for (const std::string& option : documented) {
      EXPECT_TRUE(in_help.count(option))
          << option << " is in " << path << " but not in " << page.program << " --help";
    }
  }
}

TEST(ManPage, WritesEveryOptionWithMinusSigns) {
  for (const ManPageOf& page : kPages) {
    const std::string text = ReadFile(PagePath(page));
    ASSERT_FALSE(text.empty()) << PagePath(page) << " not read";
    // Read with every "\-" as "-", the page names the same options: no option has even one of
    // its dashes written as a bare hyphen.
    EXPECT_EQ(LongOptions(Untroffed(text)), ManPageOptions(text)) << PagePath(page);
  }
}

// The version the title line gives: .TH SONLET 1 "date" "Sonlet VERSION" "User Commands".
std::string ManPageVersion(const std::string& troff) {
  const std::regex title(R"re(^\.TH +\S+ +\S+ +"[^"]*" +"Sonlet ([^"]+)")re");
  std::istringstream lines(troff);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, title)) return match[1];
  }
  return "";
}

TEST(ManPage, TitleGivesTheProgramsVersion) {
  const ProgramRun run = RunProgram(kSonlet, {"--version"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const ManPageOf& page : kPages) {
    EXPECT_EQ("sonlet " + ManPageVersion(ReadFile(PagePath(page))) + "\n", run.out)
        << PagePath(page);
  }
}

TEST(Version, PrintsTheProjectVersionAndNothingElse) {
  struct Case {
    std::vector<std::string> args;
    int status;
    bool prints_version;
  };
  const Case cases[] = {
      {{"--version"}, 0, true},
      // Like --help, it answers before anything is opened or checked.
      {{"--headless", "--input", "/no/such/recording.wav", "--version"}, 0, true},
      {{"--version", "--bogus"}, 0, true},
      {{"--bogus", "--version"}, 2, false},
      // A value, not the option: --device takes a name, and "--version" is an option.
      {{"--device", "--version"}, 2, false},
  };
  for (const Case& c : cases) {
    const ProgramRun run = RunProgram(kSonlet, c.args);
    const std::string what = c.args.front() + " … " + c.args.back();
    EXPECT_EQ(run.status, c.status) << what << ": " << run.err;
    if (c.prints_version) {
      EXPECT_EQ(run.out, "sonlet " + kProjectVersion + "\n") << what;
      EXPECT_EQ(run.err, "") << what;
    } else {
      EXPECT_EQ(run.out, "") << what;
      EXPECT_NE(run.err.find("sonlet: "), std::string::npos) << what;
    }
  }
}

}  // namespace

}  // namespace sonlet
