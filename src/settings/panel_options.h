// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonlet {

// The panel's choices that are not settings of the engine's profile (user.txt keeps exactly its
// six numbers), remembered from one start to the next in a small text file beside the profile:
//
//   # comment lines start with '#'
//   calibracion 1
//
// one "key value" pair a line. A key this Sonlet does not know is kept as it stands, so that a
// newer Sonlet's choices survive a save by an older one; a value that does not read as its type
// gives the option's default, and so does a missing file.

inline constexpr char kPanelOptionsFileName[] = "options.txt";

// An option that is on or off, written 1 or 0.
struct OnOffOption {
  const char* key;
  bool fallback;
};

// An option that is a whole number within a range.
struct NumberOption {
  const char* key;
  int32_t fallback;
  int32_t lowest;
  int32_t highest;
};

// "Usar calibración": steer with the user's own vowel map instead of the fixed regions.
inline constexpr OnOffOption kUseCalibration{"calibracion", false};
// "Pausa con «sss»": a hiss of about a second stops and starts listening.
inline constexpr OnOffOption kPauseGesture{"pausa", false};
// "Ignorar el habla": talk near the microphone neither clicks nor steers.
inline constexpr OnOffOption kSpeechGuard{"habla", false};
// "Movimiento ágil": steering that starts fine and speeds up as a vowel is held.
inline constexpr OnOffOption kAgileSteering{"agil", false};
// "Paleta de acciones": the palette of pointer actions is on screen, and opens at the next start.
inline constexpr OnOffOption kActionPalette{"paleta", false};

// The options file that goes with a settings file: options.txt in its folder.
std::string PanelOptionsPathBeside(const std::string& profile_path);

class PanelOptions {
 public:
  // Reads the file at path. A missing file is no error: every option is its default. Returns
  // "" or, when the file is there but cannot be read (see ReadSettingsFile), why: the options
  // are then the defaults, and Write leaves that file alone.
  std::string Read(const std::string& path);

  // Replaces the file whole (see ReplaceSettingsFile), or leaves it as it was and returns why
  // not; after a Read that could not read the file, the reason it gave, as a save would lose
  // what the file holds.
  int Write(const std::string& path) const;

  bool Get(const OnOffOption& option) const;
  int32_t Get(const NumberOption& option) const;
  void Set(const OnOffOption& option, bool on);
  void Set(const NumberOption& option, int32_t value);

  // The file as Write would write it.
  std::string Text() const;

 private:
  // The value of the key's line, or null when there is none. A key given twice takes its last
  // line, as an option added by hand at the end of the file is meant to win.
  const std::string* Find(const std::string& key) const;
  void Put(const std::string& key, const std::string& value);

  // Every line in file order: comments and unknown keys are written back as they were read.
  struct Line {
    std::string key;  // empty for a comment or a blank line
    std::string value;
    std::string text;  // the line as read, for lines without a key
  };
  std::vector<Line> lines_;
  int unread_error_ = 0;  // why the last Read could not read the file there, or 0
};

}  // namespace sonlet
