#pragma once

#include <string>

#include "calibration/vowel_map.h"

namespace sonlet {

// The calibration file: a small text file, by default calibration.txt beside the settings file.
//
//   # comment lines start with '#'
//   sonlet-calibration 1
//   a 742.1 1268.4 2510.0 0.070 0.050 0.050 64
//   e ...
//
// The first line that is not a comment names the format and its version. Then one line per
// vowel: the letter, the centre's F1, F2 and F3 in Hz, the spreads of their natural logarithms
// and the number of passes the take gave; F3 and its spread are 0 when the take seldom showed a
// third formant. a, e, i and o must be there; u may be.

inline constexpr char kCalibrationFileName[] = "calibration.txt";
inline constexpr int kCalibrationVersion = 1;

// The calibration file that goes with a settings file: calibration.txt in its folder.
std::string CalibrationPathBeside(const std::string& profile_path);

// Reads a map. Returns "" on success, or why the file cannot be used (with its line number).
std::string ReadCalibration(const std::string& path, VowelMap* map);

// Writes a map whole or not at all (through a temporary file renamed over it). Returns "" on
// success or why it failed.
std::string WriteCalibration(const std::string& path, const VowelMap& map);

}  // namespace sonlet
