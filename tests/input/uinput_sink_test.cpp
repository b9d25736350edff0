// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/uinput_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libevdev/libevdev.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace sonlet {

namespace {

struct Event {
  unsigned int type;
  unsigned int code;
  int value;
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* out) {
  const char* name = libevdev_event_code_get_name(e.type, e.code);
  *out << (name != nullptr ? name : "?") << " " << e.value;
}

const Event kSync = {EV_SYN, SYN_REPORT, 0};

// Reads the device through its event node, as the desktop does.
class NodeReader {
 public:
  explicit NodeReader(const std::string& node) {
    fd_ = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0 && libevdev_new_from_fd(fd_, &device_) != 0) device_ = nullptr;
  }
  ~NodeReader() {
    libevdev_free(device_);
    if (fd_ >= 0) close(fd_);
  }
  libevdev* device() const { return device_; }

  // What is queued now. A write to uinput is in the readers' queues when it returns.
  std::vector<Event> Queued() {
    std::vector<Event> events;
    ReadInto(&events);
    return events;
  }

  // Reads until `count` events have come, the device is gone, or `timeout` has passed.
  std::vector<Event> WaitFor(size_t count, std::chrono::milliseconds timeout) {
    std::vector<Event> events;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd ready = {fd_, POLLIN, 0};
      poll(&ready, 1, 10);
      if (!ReadInto(&events)) break;
    }
    return events;
  }

 private:
  // False once the device is gone.
  bool ReadInto(std::vector<Event>* events) {
    input_event e;
    for (;;) {
      const int status = libevdev_next_event(device_, LIBEVDEV_READ_FLAG_NORMAL, &e);
      if (status == LIBEVDEV_READ_STATUS_SUCCESS) {
        events->push_back({e.type, e.code, e.value});
      } else if (status == -EAGAIN) {
        return true;
      } else if (status != LIBEVDEV_READ_STATUS_SYNC) {
        return false;
      }
    }
  }

  int fd_ = -1;
  libevdev* device_ = nullptr;
};

// Where the kernel has no uinput (these development machines: opening /dev/uinput fails with
// ENODEV, or the node is missing) or the user may not open it, the tests skip, saying why.
class UinputSinkTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    sink_ = UinputSink::Create(&why);
    if (sink_ == nullptr) GTEST_SKIP() << "no uinput device can be made here: " << why;
    ASSERT_FALSE(sink_->event_node().empty());
    reader_ = std::make_unique<NodeReader>(sink_->event_node());
    ASSERT_NE(reader_->device(), nullptr) << "cannot read " << sink_->event_node();
  }

  std::unique_ptr<UinputSink> sink_;
  std::unique_ptr<NodeReader> reader_;
};

// The desktop classes a device by what it declares: relative X and Y with buttons make a mouse,
// ENTER a key. Anything more (absolute axes, other buttons) could make it a tablet or offer
// buttons Sonlet never uses.
TEST_F(UinputSinkTest, DeviceIsNamedSonletAndDeclaresOnlyWhatTheEngineSends) {
  libevdev* d = reader_->device();
  EXPECT_STREQ(libevdev_get_name(d), "Sonlet");
  std::vector<Event> declared;
  for (unsigned int type : {EV_REL, EV_KEY, EV_ABS}) {
    for (unsigned int code = 0;
         code <= static_cast<unsigned int>(libevdev_event_type_get_max(type)); ++code) {
      if (libevdev_has_event_code(d, type, code)) declared.push_back({type, code, 0});
    }
  }
  EXPECT_EQ(declared, (std::vector<Event>{{EV_REL, REL_X, 0},
                                          {EV_REL, REL_Y, 0},
                                          {EV_REL, REL_HWHEEL, 0},
                                          {EV_REL, REL_WHEEL, 0},
                                          {EV_REL, REL_WHEEL_HI_RES, 0},
                                          {EV_REL, REL_HWHEEL_HI_RES, 0},
                                          {EV_KEY, KEY_ENTER, 0},
                                          {EV_KEY, BTN_LEFT, 0},
                                          {EV_KEY, BTN_RIGHT, 0},
                                          {EV_KEY, BTN_MIDDLE, 0}}));
  EXPECT_FALSE(libevdev_has_event_type(d, EV_REP));
}

// Each call is one report, in the order of the calls. The kernel passes on no relative axis of
// value 0 and no report left empty, so the (0, 0) motion and the Y of (4, 0) do not come back.
TEST_F(UinputSinkTest, EventsComeBackInOrderEachEndedByASyncReport) {
  sink_->Move(3, -2);
  sink_->Move(0, 0);
  sink_->Move(4, 0);
  sink_->LeftDown();
  sink_->LeftUp();
  sink_->EnterDown();
  sink_->EnterUp();
  sink_->ButtonDown(PointerButton::kRight);
  sink_->Scroll(0, 1);
  EXPECT_EQ(reader_->Queued(), (std::vector<Event>{{EV_REL, REL_X, 3},
                                                   {EV_REL, REL_Y, -2},
                                                   kSync,
                                                   {EV_REL, REL_X, 4},
                                                   kSync,
                                                   {EV_KEY, BTN_LEFT, 1},
                                                   kSync,
                                                   {EV_KEY, BTN_LEFT, 0},
                                                   kSync,
                                                   {EV_KEY, KEY_ENTER, 1},
                                                   kSync,
                                                   {EV_KEY, KEY_ENTER, 0},
                                                   kSync,
                                                   {EV_KEY, BTN_RIGHT, 1},
                                                   kSync,
                                                   {EV_REL, REL_WHEEL, -1},
                                                   {EV_REL, REL_WHEEL_HI_RES, -120},
                                                   kSync}));
}

// The kernel's wheel turns positive upwards and counts 120 high-resolution units a notch; ours
// scrolls down for a positive dy. Checked without a device, since these machines have none.
TEST(UinputScrollEntries, WheelsTurnTheKernelsWay) {
  const struct {
    int dx;
    int dy;
    std::vector<Event> events;
  } cases[] = {
      {0, -3, {{EV_REL, REL_WHEEL, 3}, {EV_REL, REL_WHEEL_HI_RES, 360}}},
      {-1,
       2,
       {{EV_REL, REL_WHEEL, -2},
        {EV_REL, REL_WHEEL_HI_RES, -240},
        {EV_REL, REL_HWHEEL, -1},
        {EV_REL, REL_HWHEEL_HI_RES, -120}}},
      {2, 0, {{EV_REL, REL_HWHEEL, 2}, {EV_REL, REL_HWHEEL_HI_RES, 240}}},
      {0, INT_MAX / 60, {}},  // too large to encode
  };
  for (const auto& c : cases) {
    std::vector<Event> events;
    for (const UinputSink::Entry& e : UinputSink::ScrollEntries(c.dx, c.dy)) {
      events.push_back({e.type, e.code, e.value});
    }
    EXPECT_EQ(events, c.events) << c.dx << ", " << c.dy;
  }
}

// Once the device is removed its node answers nothing more, not even events already queued: the
// releases must come while it exists, in time for a reader that reads at once.
TEST_F(UinputSinkTest, WhatIsHeldIsReleasedBeforeTheDeviceGoes) {
  sink_->ButtonDown(PointerButton::kMiddle);
  sink_->LeftDown();
  sink_->EnterDown();
  ASSERT_EQ(reader_->Queued().size(), 6u);

  std::thread closer([this] { sink_.reset(); });
  const std::vector<Event> events = reader_->WaitFor(6, std::chrono::seconds(2));
  closer.join();
  EXPECT_EQ(events, (std::vector<Event>{{EV_KEY, BTN_LEFT, 0},
                                        kSync,
                                        {EV_KEY, BTN_MIDDLE, 0},
                                        kSync,
                                        {EV_KEY, KEY_ENTER, 0},
                                        kSync}));
}

}  // namespace

}  // namespace sonlet
