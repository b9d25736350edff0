// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/input_sink.h"

struct libevdev_uinput;

namespace sonlet {

// Sends the engine's events through a virtual input device named "Sonlet", made with the kernel's
// uinput module: relative X and Y, the left, right and middle buttons, the vertical and horizontal
// wheels (in notches and in high resolution) and the ENTER key. The kernel passes its
// events to the desktop like a real mouse's and keyboard's, so they work on X11, on every Wayland
// desktop and on the console. The desktop's pointer settings (acceleration) apply to its motion.
class UinputSink : public InputSink {
 public:
  static constexpr const char* kControlNode = "/dev/uinput";

  // One event of a report, as the kernel's input_event has it.
  struct Entry {
    unsigned int type;
    unsigned int code;
    int value;
    bool operator==(const Entry&) const = default;
  };
  // The wheel events of a scroll by whole notches (our +dy down, +dx right), for one report.
  // Empty for a scroll of nothing, and for one too large to encode.
  static std::vector<Entry> ScrollEntries(int dx, int dy);

  // Creates the device and waits until the desktop can have seen it (see the .cpp). On failure
  // returns null with the reason, for the user, in *why.
  static std::unique_ptr<UinputSink> Create(std::string* why);

  // Releases the buttons and ENTER that are down, then removes the device.
  ~UinputSink() override;
  UinputSink(const UinputSink&) = delete;
  UinputSink& operator=(const UinputSink&) = delete;

  // The device's event node, e.g. /dev/input/event7; empty when the kernel did not tell it.
  const std::string& event_node() const { return event_node_; }

  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;
  int ButtonDown(PointerButton button) override;
  int ButtonUp(PointerButton button) override;
  // One report with both wheels: a diagonal scroll is one step, as Move's motion is. EINVAL for
  // a scroll too large to encode.
  int Scroll(int dx, int dy) override;

 private:
  UinputSink(int control_fd, libevdev_uinput* device);
  // Writes one event; 0, or the error number of the failure.
  int Write(unsigned int type, unsigned int code, int value);
  // Writes the entries and the report that ends them; 0, or the first error number.
  int Report(std::initializer_list<Entry> entries);
  int Report(const std::vector<Entry>& entries);

  int control_fd_;
  libevdev_uinput* device_;
  std::string event_node_;
  std::array<bool, 3> button_is_down_ = {};  // by PointerButton
  bool enter_is_down_ = false;
};

}  // namespace sonlet
