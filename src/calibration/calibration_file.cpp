#include "calibration/calibration_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "settings/profile_file.h"

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

std::string ReadCalibration(const std::string& path, VowelMap* map) {
  std::ifstream file(path);
  if (!file) {
    return "cannot open the calibration file '" + path + "': " + std::strerror(errno);
  }
  VowelMap read;
  bool version_seen = false;
  std::string line;
  int number = 0;
  const auto at = [&](const std::string& what) {
    return "the calibration file '" + path + "', line " + std::to_string(number) + ": " + what;
  };
  while (std::getline(file, line)) {
    ++number;
    std::istringstream words(line);
    std::string first;
    if (!(words >> first) || first[0] == '#') continue;
    if (!version_seen) {
      int version = 0;
      std::string rest;
      if (first != "sonlet-calibration" || !(words >> version) || (words >> rest)) {
        return at("is not a Sonlet calibration (it should start with \"sonlet-calibration " +
                  std::to_string(kCalibrationVersion) + "\")");
      }
      if (version != kCalibrationVersion) {
        return at("has version " + std::to_string(version) + ", and this Sonlet reads version " +
                  std::to_string(kCalibrationVersion) + "; make the calibration again");
      }
      version_seen = true;
      continue;
    }
    const int vowel = first.size() == 1 ? VowelIndex(first[0]) : -1;
    if (vowel < 0) return at("'" + first + "' is not one of the vowels a, e, i, o, u");
    VowelArea area;
    std::string rest;
    if (!(words >> area.f1_hz >> area.f2_hz >> area.f3_hz >> area.f1_spread >> area.f2_spread >>
          area.f3_spread >> area.passes) ||
        (words >> rest)) {
      return at(
          "needs seven numbers after the vowel: F1, F2 and F3 in Hz, their spreads, and the "
          "passes");
    }
    const bool no_f3 = area.f3_hz == 0.0f && area.f3_spread == 0.0f;
    if (!Frequency(area.f1_hz) || !Frequency(area.f2_hz) || !(no_f3 || Frequency(area.f3_hz))) {
      return at("F1, F2 and F3 must lie between 50 and 4000 Hz (F3 and its spread may be 0)");
    }
    if (!(area.f1_spread >= kF1SpreadFloor && area.f1_spread <= kWidestSpread &&
          area.f2_spread >= kF2SpreadFloor && area.f2_spread <= kWidestSpread &&
          (no_f3 || (area.f3_spread >= kF3SpreadFloor && area.f3_spread <= kWidestSpread)))) {
      return at("the spreads must lie between 0.07 (F1), 0.05 (F2, F3) and 1");
    }
    if (read.vowels[vowel].present) return at("gives the vowel " + first + " a second time");
    area.present = true;
    read.vowels[vowel] = area;
  }
  if (file.bad()) return "cannot read the calibration file '" + path + "'";
  if (!version_seen) return "the calibration file '" + path + "' is empty";
  for (char letter : {'a', 'e', 'i', 'o'}) {
    if (!read.vowels[VowelIndex(letter)].present) {
      return "the calibration file '" + path + "' has no line for the vowel " + letter;
    }
  }
  *map = read;
  return "";
}

std::string WriteCalibration(const std::string& path, const VowelMap& map) {
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
  if (!ReplaceFileContents(path, text)) {
    return "cannot write the calibration file '" + path +
           "'; check that its folder exists and is writable";
  }
  return "";
}

}  // namespace sonlet
