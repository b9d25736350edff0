// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/overwrite_guard.h"

#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/panel_options.h"

namespace sonlet {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return !a.empty() && !b.empty() && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string OverwriteRefusal(const CommandLine& line, const std::string& output,
                             const std::string& what) {
  if (output.empty() || output == "-") return "";
  std::vector<std::pair<std::string, std::string>> inputs = {
      {line.input, "the recording Sonlet is to listen to"},
      {line.calibration, "the calibration file"},
      {line.profile, "the settings file"},
      {PanelOptionsPathBeside(line.profile), "the panel's options file"},
  };
  for (int v = 0; v < kVowelCount; ++v) {
    inputs.push_back({line.takes[v], std::string("the take of \"") + kVowelLetters[v] + "\""});
  }
  for (const auto& [input, name] : inputs) {
    if (!SameFile(output, input)) continue;
    return "the " + what + " file '" + output + "' is " + name + "; writing the " + what +
           " would destroy it. Give the " + what + " another name.";
  }
  return "";
}

}  // namespace sonlet
