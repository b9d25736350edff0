// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/uinput_sink.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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
  libevdev_enable_event_type(description, EV_KEY);
  libevdev_enable_event_code(description, EV_KEY, BTN_LEFT, nullptr);
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
  const bool held = left_is_down_ || enter_is_down_;
  if (left_is_down_) LeftUp();
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

int UinputSink::LeftDown() {
  left_is_down_ = true;
  return Report({{EV_KEY, BTN_LEFT, 1}});
}

int UinputSink::LeftUp() {
  left_is_down_ = false;
  return Report({{EV_KEY, BTN_LEFT, 0}});
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
