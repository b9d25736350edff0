// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/run_guard.h"

namespace sonlet {

// Keeps talk near the microphone from clicking and steering. Speech is a stream of syllables a
// few hundred milliseconds apart whose pitch and formants glide; a deliberate click is one short
// voiced sound with quiet before and after it, and a steering vowel is held steady. So:
//   - a click is given only for a short sound of one or two syllables that comes out of quiet
//     (no voice for a while, and no speech for longer) and is followed by quiet; it waits for
//     that quiet, and it needs no more voiced passes than the duration rules' lower limit
//     would, so short sounds the rules miss click too;
//   - a run long enough to steer steers only once its recent passes hold pitch, formants and
//     loudness steady, and from then on for as long as it lasts;
//   - a run that starts again straight after steering (a held vowel that wavered for a pass)
//     carries on steering and never clicks.
// The guard judges by its own view of loudness, the level of the newest block alone, which
// follows syllables where the engine's level is slow to settle.
class SpeechGuard : public RunGuard {
 public:
  GuardVerdict Judge(const GuardPass& pass) override;

  // The level of the newest block, in dB as the engine's meter reads it; for tests.
  static float BlockLevel(const int16_t block[]);

 private:
  // How steady the last passes of the current run are, enough for a held vowel.
  bool Steady() const;
  void OpenSound(float level);
  GuardVerdict CloseSound();

  static constexpr int kWindow = 10;  // passes judged for steadiness

  // Passes since the voice was last heard, since a sound taken for speech was let go and since
  // the pointer last steered; each stops counting at a value no rule looks beyond.
  int since_voice_ = INT16_MAX;
  int since_speech_ = INT16_MAX;
  int since_steer_ = INT16_MAX;

  // The current sound: from its first voiced pass until the quiet after it.
  bool sound_open_ = false;
  bool isolated_ = false;  // it came out of quiet
  bool steered_ = false;   // part of it steered
  bool withheld_ = false;  // steering was withheld from part of it
  bool told_ = false;      // the trace has already been told it was speech
  int voiced_passes_ = 0;
  int span_ = 0;  // passes since its first voiced one
  int syllables_ = 0;
  float peak_ = 0.0f;    // dB: the loudest pass of the current syllable
  float valley_ = 0.0f;  // dB: the quietest pass since that peak

  // The current run.
  bool held_ = false;        // steering accepted for the rest of it
  bool run_told_ = false;    // the trace has been told that its steering is withheld
  int withheld_passes_ = 0;  // passes the rules would have steered and the guard did not
  int window_count_ = 0;     // passes of the run in the window, up to kWindow
  int window_next_ = 0;
  float pitch_[kWindow] = {};
  float f1_[kWindow] = {};
  float f2_[kWindow] = {};
  float level_[kWindow] = {};
  int click_max_ = 0;  // passes, as last read
};

}  // namespace sonlet
