#pragma once

#include <array>

namespace sonlet {

// The live read-outs of one listening pass, formatted for the panel's text fields.
struct Readouts {
  std::array<char, 256> intensity{};  // dB, "%0.f"
  std::array<char, 256> pitch{};      // Hz, "%0.f"
  std::array<char, 256> f1{};         // Hz, "%0.f"
  std::array<char, 256> f2{};         // Hz, "%0.f"
  std::array<char, 256> height{};     // cm, "%d"
  std::array<char, 256> tract{};      // cm, "%0.2f" (a hidden field)
};

// What the engine shows on the control panel. Implementations must not block the engine for
// long: it has 18.75 ms per pass.
class PanelView {
 public:
  virtual ~PanelView() = default;

  // Every pass: intensity 0..90 (dB), speed 0..10, voice window 1..50 (passes of the current
  // loud, pitched sound), already within the meters' ranges.
  virtual void ShowMeters(int intensity, int speed, int voice_window) = 0;

  // Every listening pass, after the analysis.
  virtual void ShowReadouts(const Readouts& readouts) = 0;
};

}  // namespace sonlet
