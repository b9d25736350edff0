// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// The meters' ranges. The engine keeps what it shows within them and the panel draws them.
inline constexpr int kIntensityMeterMax = 90;  // dB, from 0
inline constexpr int kSpeedMeterMax = 10;      // the pointer step plus 2, from 0
inline constexpr int kVoiceWindowMin = 1;      // passes of the current loud, pitched sound
inline constexpr int kVoiceWindowMax = 50;

// What one listening pass measured, for the panel's read-outs, which format it.
struct Readings {
  float intensity = 0.0f;     // dB, the intensity level
  float pitch = 0.0f;         // Hz, the running median of F0; 0 when the pass had no pitch
  float f1 = 0.0f;            // Hz, the running median of F1
  float f2 = 0.0f;            // Hz, the running median of F2
  int height_cm = 0;          // the speaker's height
  float tract_length = 0.0f;  // cm, the vocal tract estimated from it (not on display)
};

// What the engine shows on the control panel. Implementations must not block the engine for
// long: it has 18.75 ms per pass.
class PanelView {
 public:
  virtual ~PanelView() = default;

  // Every pass: intensity 0..kIntensityMeterMax, speed 0..kSpeedMeterMax, voice window
  // kVoiceWindowMin..kVoiceWindowMax, already within the meters' ranges.
  virtual void ShowMeters(int intensity, int speed, int voice_window) = 0;

  // Every listening pass, after the analysis.
  virtual void ShowReadings(const Readings& readings) = 0;
};

}  // namespace sonlet
