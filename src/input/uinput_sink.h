// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "engine/input_sink.h"

struct libevdev_uinput;

namespace sonlet {

// Sends the engine's events through a virtual input device named "Sonlet", made with the kernel's
// uinput module: relative X and Y, the left button and the ENTER key. The kernel passes its
// events to the desktop like a real mouse's and keyboard's, so they work on X11, on every Wayland
// desktop and on the console. The desktop's pointer settings (acceleration) apply to its motion.
class UinputSink : public InputSink {
 public:
  static constexpr const char* kControlNode = "/dev/uinput";

  // Creates the device and waits until the desktop can have seen it (see the .cpp). On failure
  // returns null with the reason, for the user, in *why.
  static std::unique_ptr<UinputSink> Create(std::string* why);

  // Releases the left button and ENTER if they are down, then removes the device.
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

 private:
  UinputSink(int control_fd, libevdev_uinput* device);
  struct Entry {
    unsigned int type;
    unsigned int code;
    int value;
  };
  // Writes one event; 0, or the error number of the failure.
  int Write(unsigned int type, unsigned int code, int value);
  // Writes the entries and the report that ends them; 0, or the first error number.
  int Report(std::initializer_list<Entry> entries);

  int control_fd_;
  libevdev_uinput* device_;
  std::string event_node_;
  bool left_is_down_ = false;
  bool enter_is_down_ = false;
};

}  // namespace sonlet
