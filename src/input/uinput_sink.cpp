// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/uinput_sink.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;

// A new input device is announced to the desktop through udev, which then opens it; events sent
// before that are lost. Its event node appears first, so the wait is for the node and then for
// the rest of a time long enough for the desktop to open it.
constexpr auto kNodeTimeout = std::chrono::seconds(1);
constexpr auto kDesktopSettleTime = std::chrono::milliseconds(200);
// Far longer than a desktop takes to read a pending event, short enough not to delay the exit.
constexpr auto kReleaseReadTime = std::chrono::milliseconds(50);

// The kernel's unit of the high-resolution wheels: a fraction of a notch, 120 a whole one.
constexpr int kHighResolutionPerNotch = 120;

constexpr unsigned int kButtonCodes[] = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE};  // by PointerButton

unsigned int ButtonCode(PointerButton button) { return kButtonCodes[static_cast<int>(button)]; }

std::string OpenFailure(int error) {
  const std::string node = UinputSink::kControlNode;
  switch (error) {
    case EACCES:
    case EPERM:
      return "no permission to open " + node + " for writing";
    case ENOENT:
      return node + " does not exist: the uinput module is not loaded (sudo modprobe uinput)";
    case ENODEV:
    case ENXIO:
      return "the kernel has no uinput device behind " + node +
             ": the uinput module is not loaded (sudo modprobe uinput), or this kernel has no "
             "uinput support";
    default:
      return "cannot open " + node + ": " + std::strerror(error);
  }
}

void WaitUntilSeen(const std::string& event_node, Clock::time_point created) {
  if (!event_node.empty()) {
    while (access(event_node.c_str(), F_OK) != 0 && Clock::now() - created < kNodeTimeout) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::this_thread::sleep_until(created + kDesktopSettleTime);
}

}  // namespace

std::unique_ptr<UinputSink> UinputSink::Create(std::string* why) {
  const int fd = open(kControlNode, O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    *why = OpenFailure(errno);
    return nullptr;
  }

  // No EV_REP: with it the kernel would repeat an ENTER held down.
  libevdev* description = libevdev_new();
  libevdev_set_name(description, "Sonlet");
  libevdev_set_id_bustype(description, BUS_VIRTUAL);
  libevdev_enable_event_type(description, EV_REL);
  libevdev_enable_event_code(description, EV_REL, REL_X, nullptr);
  libevdev_enable_event_code(description, EV_REL, REL_Y, nullptr);
  // With the high-resolution wheels declared, libinput reads those and ignores the notches; older
  // readers (X's evdev driver, the console) read the notches.
  for (unsigned int wheel : {REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES}) {
    libevdev_enable_event_code(description, EV_REL, wheel, nullptr);
  }
  libevdev_enable_event_type(description, EV_KEY);
  for (unsigned int button : kButtonCodes) {
    libevdev_enable_event_code(description, EV_KEY, button, nullptr);
  }
  libevdev_enable_event_code(description, EV_KEY, KEY_ENTER, nullptr);

  libevdev_uinput* device = nullptr;
  const int status = libevdev_uinput_create_from_device(description, fd, &device);
  libevdev_free(description);
  if (status != 0) {
    close(fd);
    *why = "cannot create the uinput device: " + std::string(std::strerror(-status));
    return nullptr;
  }
  const Clock::time_point created = Clock::now();
  std::unique_ptr<UinputSink> sink(new UinputSink(fd, device));
  WaitUntilSeen(sink->event_node_, created);
  return sink;
}

UinputSink::UinputSink(int control_fd, libevdev_uinput* device)
    : control_fd_(control_fd), device_(device) {
  const char* node = libevdev_uinput_get_devnode(device_);
  if (node != nullptr) event_node_ = node;
}

UinputSink::~UinputSink() {
  // Removing the device ends its event stream at once: events the desktop has not read by then
  // are lost, and whether it counts a button as released then is the desktop's affair. So what is
  // held is released while the device exists, and the desktop gets a moment to read it.
  bool held = enter_is_down_;
  for (PointerButton button :
       {PointerButton::kLeft, PointerButton::kRight, PointerButton::kMiddle}) {
    if (!button_is_down_[static_cast<int>(button)]) continue;
    held = true;
    ButtonUp(button);
  }
  if (enter_is_down_) EnterUp();
  if (held) std::this_thread::sleep_for(kReleaseReadTime);
  libevdev_uinput_destroy(device_);
  close(control_fd_);
}

int UinputSink::Write(unsigned int type, unsigned int code, int value) {
  int status;
  do {
    status = libevdev_uinput_write_event(device_, type, code, value);
  } while (status == -EINTR);
  return -status;
}

// The first error of an event's writes. Every write is still tried, so that a report is not
// left half sent.
int UinputSink::Report(std::initializer_list<Entry> entries) {
  return Report(std::vector<Entry>(entries));
}

int UinputSink::Report(const std::vector<Entry>& entries) {
  int error = 0;
  for (const Entry& e : entries) {
    const int e_error = Write(e.type, e.code, e.value);
    if (error == 0) error = e_error;
  }
  const int sync_error = Write(EV_SYN, SYN_REPORT, 0);
  return error != 0 ? error : sync_error;
}

// Both axes go in one report, so a diagonal step is one motion. The kernel's input core drops a
// relative axis whose value is 0, and a report with nothing before it: a (0, 0) motion is written
// like any other but reaches no reader of the device, so the desktop sees no event at all. That
// is what a motion of nothing amounts to; the pointer would not have moved either.
int UinputSink::Move(int dx, int dy) { return Report({{EV_REL, REL_X, dx}, {EV_REL, REL_Y, dy}}); }

int UinputSink::LeftDown() { return ButtonDown(PointerButton::kLeft); }

int UinputSink::LeftUp() { return ButtonUp(PointerButton::kLeft); }

int UinputSink::ButtonDown(PointerButton button) {
  button_is_down_[static_cast<int>(button)] = true;
  return Report({{EV_KEY, ButtonCode(button), 1}});
}

int UinputSink::ButtonUp(PointerButton button) {
  button_is_down_[static_cast<int>(button)] = false;
  return Report({{EV_KEY, ButtonCode(button), 0}});
}

// The kernel's wheel turns positive upwards, ours scrolls down for a positive dy; its horizontal
// wheel is positive to the right, as ours is. An axis of 0 is left out: the kernel would drop it.
std::vector<UinputSink::Entry> UinputSink::ScrollEntries(int dx, int dy) {
  constexpr int kLargest = INT_MAX / kHighResolutionPerNotch;
  if (dx < -kLargest || dx > kLargest || dy < -kLargest || dy > kLargest) return {};
  std::vector<Entry> entries;
  if (dy != 0) {
    entries.push_back({EV_REL, REL_WHEEL, -dy});
    entries.push_back({EV_REL, REL_WHEEL_HI_RES, -dy * kHighResolutionPerNotch});
  }
  if (dx != 0) {
    entries.push_back({EV_REL, REL_HWHEEL, dx});
    entries.push_back({EV_REL, REL_HWHEEL_HI_RES, dx * kHighResolutionPerNotch});
  }
  return entries;
}

int UinputSink::Scroll(int dx, int dy) {
  if (dx == 0 && dy == 0) return 0;
  const std::vector<Entry> entries = ScrollEntries(dx, dy);
  return entries.empty() ? EINVAL : Report(entries);
}

int UinputSink::EnterDown() {
  enter_is_down_ = true;
  return Report({{EV_KEY, KEY_ENTER, 1}});
}

int UinputSink::EnterUp() {
  enter_is_down_ = false;
  return Report({{EV_KEY, KEY_ENTER, 0}});
}

}  // namespace sonlet
