// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <set>
#include <string>

#include "engine/input_sink.h"

struct wl_display;
struct org_kde_kwin_fake_input;

namespace sonlet {

// Sends the engine's events to KDE Plasma's compositor, KWin, through its own input-injection
// interface, org_kde_kwin_fake_input: no consent dialog and no group input. KWin offers the
// interface only to a program whose executable is named, by its absolute path, as the command of
// an installed desktop file that lists the interface under X-KDE-Wayland-Interfaces; to any other
// client the interface does not exist. The events join the seat as a device of their own, without
// pointer acceleration, so a step of n moves the pointer n pixels.
//
// The wheel goes out as axis values of 15 per notch, what a mouse wheel's notch gives through
// libinput, so that applications scroll by their usual step. ENTER needs the interface's version
// 4 (KWin 5.20 and later); with an older KWin EnterDown and EnterUp refuse with ENOTSUP.
class KWinFakeInputSink : public InputSink {
 public:
  // Connects to the compositor of $WAYLAND_DISPLAY and introduces Sonlet to its fake input. On
  // failure returns null with the reason, and the remedy, for the user in *why.
  static std::unique_ptr<KWinFakeInputSink> Open(std::string* why);

  // Releases every button and key still held and waits, briefly, until KWin has read it: KWin
  // does not release what a fake-input client leaves held.
  ~KWinFakeInputSink() override;
  KWinFakeInputSink(const KWinFakeInputSink&) = delete;
  KWinFakeInputSink& operator=(const KWinFakeInputSink&) = delete;

  const std::string& display_name() const { return display_name_; }
  bool has_keyboard() const { return version_ >= kKeyboardVersion; }

  // Each event is written to the socket before returning. 0, or the error number of a broken
  // connection.
  int Move(int dx, int dy) override;
  int LeftDown() override { return ButtonDown(PointerButton::kLeft); }
  int LeftUp() override { return ButtonUp(PointerButton::kLeft); }
  int EnterDown() override { return Key(true); }
  int EnterUp() override { return Key(false); }
  int ButtonDown(PointerButton button) override { return Button(button, true); }
  int ButtonUp(PointerButton button) override { return Button(button, false); }
  int Scroll(int dx, int dy) override;

  // KWin ended, closed the connection, or stopped reading until its socket overflowed.
  bool Lost() const override;
  // Breaks the connection, from any thread, so that an event waiting for a frozen KWin gives up
  // at once; the sink is lost from then on.
  void Abandon();

 private:
  static constexpr uint32_t kKeyboardVersion = 4;

  KWinFakeInputSink(wl_display* display, org_kde_kwin_fake_input* input, uint32_t version,
                    std::string display_name);
  int Button(PointerButton button, bool down);
  int Key(bool down);
  int Flush();

  wl_display* display_;
  org_kde_kwin_fake_input* input_;
  uint32_t version_;
  std::string display_name_;
  std::set<uint32_t> held_buttons_;  // evdev codes
  bool enter_is_down_ = false;
};

}  // namespace sonlet
