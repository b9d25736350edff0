// SPDX-License-Identifier: GPL-3.0-or-later
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

// Why a calibration file cannot be used, for a caller that words it in its own language.
struct CalibrationProblem {
  enum class Kind {
    kNone,
    kCannotOpen,       // error: why, as ReadSettingsFile gives it
    kNotACalibration,  // the first line is not "sonlet-calibration N"
    kOtherVersion,     // version
    kNotAVowel,        // word: the start of the line, cut to kQuotedLength characters
    kNumbers,          // not seven numbers after the vowel
    kFrequencies,      // a formant outside 50..4000 Hz
    kSpreads,          // a spread outside its floor..1
    kVowelTwice,       // vowel
    kEmpty,            // nothing but comments
    kVowelMissing,     // vowel: one of a, e, i, o
  };
  Kind kind = Kind::kNone;
  int error = 0;
  int line = 0;  // the line at fault, from 1, for the kinds that have one
  int version = 0;
  char vowel = 0;
  std::string word;
};

// The most of a bad line a message quotes: enough to recognise it, never a flood.
inline constexpr size_t kQuotedLength = 24;

// Reads a map. Returns "" on success, or why the file cannot be used (with its line number);
// *problem, when given, says the same for a caller that words it itself. A file that is not a
// regular file or is larger than kSettingsFileLimit is refused unread.
std::string ReadCalibration(const std::string& path, VowelMap* map,
                            CalibrationProblem* problem = nullptr);

// Writes a map whole or not at all (as ReplaceSettingsFile saves). Returns "" on success or
// why it failed; *error, when given, holds why as ReplaceSettingsFile gives it.
std::string WriteCalibration(const std::string& path, const VowelMap& map, int* error = nullptr);

// Why the calibration file at `path` cannot be written (ReplaceSettingsFile's reason), in
// English, with what to do.
std::string CalibrationWriteText(const std::string& path, int error);

}  // namespace sonlet
