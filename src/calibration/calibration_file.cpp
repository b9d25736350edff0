// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/calibration_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "settings/settings_file.h"

namespace sonlet {

namespace {

// The widest spread a file may give: beyond it a "vowel" would cover the whole plane and take
// every sound for itself.
constexpr float kWidestSpread = 1.0f;

bool Frequency(float hz) { return std::isfinite(hz) && hz >= 50.0f && hz <= 4000.0f; }

}  // namespace

std::string CalibrationPathBeside(const std::string& profile_path) {
  const size_t slash = profile_path.rfind('/');
  if (slash == std::string::npos) return kCalibrationFileName;
  return profile_path.substr(0, slash + 1) + kCalibrationFileName;
}

namespace {

// The problem in English, for the terminal.
std::string ProblemText(const std::string& path, const CalibrationProblem& p) {
  using Kind = CalibrationProblem::Kind;
  const std::string file = "the calibration file '" + path + "'";
  const std::string at = file + ", line " + std::to_string(p.line) + ": ";
  switch (p.kind) {
    case Kind::kNone:
      return "";
    case Kind::kCannotOpen:
      return "cannot open " + file + ": " + FileErrorText(p.error);
    case Kind::kNotACalibration:
      return at + "is not a Sonlet calibration (it should start with \"sonlet-calibration " +
             std::to_string(kCalibrationVersion) + "\")";
    case Kind::kOtherVersion:
      return at + "has version " + std::to_string(p.version) + ", and this Sonlet reads version " +
             std::to_string(kCalibrationVersion) + "; make the calibration again";
    case Kind::kNotAVowel:
      return at + "'" + p.word + "' is not one of the vowels a, e, i, o, u";
    case Kind::kNumbers:
      return at +
             "needs seven numbers after the vowel: F1, F2 and F3 in Hz, their spreads, and the "
             "passes";
    case Kind::kFrequencies:
      return at + "F1, F2 and F3 must lie between 50 and 4000 Hz (F3 and its spread may be 0)";
    case Kind::kSpreads:
      return at + "the spreads must lie between 0.07 (F1), 0.05 (F2, F3) and 1";
    case Kind::kVowelTwice:
      return at + "gives the vowel " + std::string(1, p.vowel) + " a second time";
    case Kind::kEmpty:
      return file + " is empty";
    case Kind::kVowelMissing:
      return file + " has no line for the vowel " + std::string(1, p.vowel);
  }
  return "";
}

// What a message may quote of a word from the file.
std::string Quoted(const std::string& word) {
  if (word.size() <= kQuotedLength) return word;
  return word.substr(0, kQuotedLength) + "...";
}

// Reads the map from the file's text, or says what is wrong.
CalibrationProblem Parse(const std::string& text, VowelMap* map) {
  using Kind = CalibrationProblem::Kind;
  CalibrationProblem problem;
  const auto fault = [&problem](Kind kind) {
    problem.kind = kind;
    return problem;
  };
  VowelMap read;
  bool version_seen = false;
  std::istringstream file(text);
  std::string line;
  while (std::getline(file, line)) {
    ++problem.line;
    std::istringstream words(line);
    std::string first;
    if (!(words >> first) || first[0] == '#') continue;
    if (!version_seen) {
      int version = 0;
      std::string rest;
      if (first != "sonlet-calibration" || !(words >> version) || (words >> rest)) {
        return fault(Kind::kNotACalibration);
      }
      if (version != kCalibrationVersion) {
        problem.version = version;
        return fault(Kind::kOtherVersion);
      }
      version_seen = true;
      continue;
    }
    const int vowel = first.size() == 1 ? VowelIndex(first[0]) : -1;
    if (vowel < 0) {
      problem.word = Quoted(first);
      return fault(Kind::kNotAVowel);
    }
    VowelArea area;
    std::string rest;
    if (!(words >> area.f1_hz >> area.f2_hz >> area.f3_hz >> area.f1_spread >> area.f2_spread >>
          area.f3_spread >> area.passes) ||
        (words >> rest)) {
      return fault(Kind::kNumbers);
    }
    const bool no_f3 = area.f3_hz == 0.0f && area.f3_spread == 0.0f;
    if (!Frequency(area.f1_hz) || !Frequency(area.f2_hz) || !(no_f3 || Frequency(area.f3_hz))) {
      return fault(Kind::kFrequencies);
    }
    if (!(area.f1_spread >= kF1SpreadFloor && area.f1_spread <= kWidestSpread &&
          area.f2_spread >= kF2SpreadFloor && area.f2_spread <= kWidestSpread &&
          (no_f3 || (area.f3_spread >= kF3SpreadFloor && area.f3_spread <= kWidestSpread)))) {
      return fault(Kind::kSpreads);
    }
    if (read.vowels[vowel].present) {
      problem.vowel = first[0];
      return fault(Kind::kVowelTwice);
    }
    area.present = true;
    read.vowels[vowel] = area;
  }
  problem.line = 0;
  if (!version_seen) return fault(Kind::kEmpty);
  for (char letter : {'a', 'e', 'i', 'o'}) {
    if (!read.vowels[VowelIndex(letter)].present) {
      problem.vowel = letter;
      return fault(Kind::kVowelMissing);
    }
  }
  *map = read;
  return problem;
}

}  // namespace

std::string ReadCalibration(const std::string& path, VowelMap* map, CalibrationProblem* problem) {
  CalibrationProblem found;
  std::string text;
  found.error = ReadSettingsFile(path, &text);
  if (found.error != 0) {
    found.kind = CalibrationProblem::Kind::kCannotOpen;
  } else {
    found = Parse(text, map);
  }
  if (problem != nullptr) *problem = found;
  return ProblemText(path, found);
}

std::string CalibrationWriteText(const std::string& path, int error) {
  return "cannot write the calibration file '" + path + "': " + FileErrorText(error) +
         (error == ENOENT || error == EACCES || error == EROFS
              ? "; check that its folder exists and is writable"
              : "");
}

std::string WriteCalibration(const std::string& path, const VowelMap& map, int* error) {
  std::string text =
      "# Sonlet calibration: where one voice's vowels lie.\n"
      "# vowel, F1, F2 and F3 in Hz (the centre of the take's steadied formants; F3 0 when\n"
      "# the take seldom showed one), the spreads of their natural logarithms (0.07 is about\n"
      "# 7 %), and the passes the take gave.\n";
  text += "sonlet-calibration " + std::to_string(kCalibrationVersion) + "\n";
  for (int v = 0; v < kVowelCount; ++v) {
    const VowelArea& a = map.vowels[v];
    if (!a.present) continue;
    char row[160];
    std::snprintf(row, sizeof row, "%c %.1f %.1f %.1f %.3f %.3f %.3f %d\n", kVowelLetters[v],
                  static_cast<double>(a.f1_hz), static_cast<double>(a.f2_hz),
                  static_cast<double>(a.f3_hz), static_cast<double>(a.f1_spread),
                  static_cast<double>(a.f2_spread), static_cast<double>(a.f3_spread), a.passes);
    text += row;
  }
  const int why = ReplaceSettingsFile(path, text);
  if (error != nullptr) *error = why;
  return why == 0 ? "" : CalibrationWriteText(path, why);
}

}  // namespace sonlet
