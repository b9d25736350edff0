// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "engine/input_sink.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace sonlet {

// Sends the engine's events to a wlroots-based Wayland compositor (sway, labwc, Hyprland, river,
// Wayfire) through its virtual pointer protocol, zwlr_virtual_pointer_manager_v1. The compositor
// treats the device as a pointer of the seat; it is no libinput device, so no acceleration
// applies and a step of n moves the pointer n pixels. It needs no permission beyond being a
// client of the session's compositor.
//
// ENTER goes through a virtual keyboard (zwp_virtual_keyboard_manager_v1) whose keymap holds the
// Return key alone. A compositor without that protocol still gets the pointer; EnterDown and
// EnterUp then refuse with ENOTSUP.
class WaylandPointerSink : public InputSink {
 public:
  // Connects to the compositor of $WAYLAND_DISPLAY and makes the virtual pointer. On failure
  // returns null with the reason, for the user, in *why.
  static std::unique_ptr<WaylandPointerSink> Open(std::string* why);

  // Releases the buttons and the key it holds and waits until the compositor has taken everything
  // sent: a client that leaves with requests still unread loses them.
  ~WaylandPointerSink() override;
  WaylandPointerSink(const WaylandPointerSink&) = delete;
  WaylandPointerSink& operator=(const WaylandPointerSink&) = delete;

  // The compositor's socket, as WAYLAND_DISPLAY names it.
  const std::string& display_name() const { return display_name_; }

  // Each event goes out as its own frame and is written to the socket before returning, so the
  // pointer moves as the engine decides, not when a buffer fills. 0, or the error number of a
  // broken connection.
  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;
  int ButtonDown(PointerButton button) override;
  int ButtonUp(PointerButton button) override;
  // Each notch goes as a wheel's would: its own frame with the wheel as the source, the discrete
  // step and libinput's 15 units of smooth scrolling per notch, so that clients that read either
  // scroll alike.
  int Scroll(int dx, int dy) override;

  // Filled in by the registry listener while connecting.
  struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboard_manager = nullptr;
  };

  // Whether ENTER can be sent (the compositor offers the virtual keyboard).
  bool has_keyboard() const { return keyboard_ != nullptr; }

  // The connection failed: the compositor ended, closed it, or stopped reading until its socket
  // overflowed. Wayland connections do not recover; no later event can go out.
  bool Lost() const override;

  // Breaks the connection, from any thread, so that an event waiting for a frozen compositor
  // gives up at once; the sink is lost from then on.
  void Abandon();

 private:
  WaylandPointerSink(wl_display* display, Globals globals, zwlr_virtual_pointer_v1* pointer,
                     zwp_virtual_keyboard_v1* keyboard, std::string display_name);
  int Button(PointerButton button, bool down);
  int Key(bool down);
  int Flush();

  wl_display* display_;
  Globals globals_;
  zwlr_virtual_pointer_v1* pointer_;
  zwp_virtual_keyboard_v1* keyboard_;  // null when the compositor has no virtual keyboard
  std::string display_name_;
  bool held_[3] = {};  // by PointerButton
  bool enter_is_down_ = false;
};

}  // namespace sonlet
