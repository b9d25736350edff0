// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/kwin_fake_input_sink.h"

#include <sys/socket.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "fake-input-client-protocol.h"
#include "input/wayland_connection.h"

namespace sonlet {

namespace {

// evdev codes, as linux/input-event-codes.h has them.
constexpr uint32_t kLeftButton = 272;    // BTN_LEFT
constexpr uint32_t kRightButton = 273;   // BTN_RIGHT
constexpr uint32_t kMiddleButton = 274;  // BTN_MIDDLE
constexpr uint32_t kEnterKey = 28;       // KEY_ENTER

// wl_pointer's axes, which the fake input's axis request takes.
constexpr uint32_t kVerticalAxis = 0;
constexpr uint32_t kHorizontalAxis = 1;
constexpr int kAxisPerNotch = 15;

// The highest version this client knows; the XML in plasma-wayland-protocols describes it.
constexpr uint32_t kHighestVersion = 4;

constexpr int kCloseLimitMs = 600;

struct Globals {
  org_kde_kwin_fake_input* input = nullptr;
  uint32_t version = 0;
  bool kwin = false;  // any of KWin's own interfaces is offered: the compositor is KWin
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
  auto* globals = static_cast<Globals*>(data);
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
      globals->input == nullptr) {
    globals->version = version < kHighestVersion ? version : kHighestVersion;
    globals->input = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, globals->version));
  }
  if (std::strncmp(interface, "org_kde_", 8) == 0) globals->kwin = true;
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

uint32_t ButtonCode(PointerButton button) {
  switch (button) {
    case PointerButton::kRight:
      return kRightButton;
    case PointerButton::kMiddle:
      return kMiddleButton;
    case PointerButton::kLeft:
      break;
  }
  return kLeftButton;
}

// KWin compares the canonical path of the desktop file's command with the client's
// /proc/PID/exe, so the advice names the path it will compare.
std::string ThisProgram() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? "/usr/bin/sonlet" : self.string();
}

std::string NotOfferedReason() {
  return "KWin does not offer its fake input (org_kde_kwin_fake_input) to " + ThisProgram() +
         ": it offers it only to a program whose absolute path is the command (Exec=) of an "
         "installed desktop file with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input. Sonlet's "
         "package installs one for /usr/bin/sonlet; for a program built or installed elsewhere, "
         "put one naming its path in ~/.local/share/applications (the README's \"Input "
         "permissions\" shows it) and start Sonlet again";
}

}  // namespace

std::unique_ptr<KWinFakeInputSink> KWinFakeInputSink::Open(std::string* why) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') {
    *why = "WAYLAND_DISPLAY is not set, so there is no Wayland session to send events to";
    return nullptr;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    *why = std::string("cannot connect to the Wayland compositor '") + name + "'";
    return nullptr;
  }
  Globals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &globals);
  int answered = RoundTrip(display, kWaylandAnswerLimitMs);
  wl_registry_destroy(registry);
  if (answered == 0 && globals.input != nullptr) {
    // KWin asks nobody: it grants every client that got the interface. The round trip finds a
    // refusal (a closed connection) now rather than at the first event.
    org_kde_kwin_fake_input_authenticate(globals.input, "Sonlet",
                                         "moves the pointer and clicks by voice, hands-free");
    answered = RoundTrip(display, kWaylandAnswerLimitMs);
    if (answered == 0) {
      return std::unique_ptr<KWinFakeInputSink>(
          new KWinFakeInputSink(display, globals.input, globals.version, name));
    }
  }
  if (answered != 0) {
    *why = WaylandConnectionError(name, answered);
  } else if (globals.kwin) {
    *why = NotOfferedReason();
  } else {
    *why = std::string("the compositor of '") + name +
           "' is not KDE Plasma's KWin (it offers no org_kde_kwin_fake_input)";
  }
  if (globals.input != nullptr) org_kde_kwin_fake_input_destroy(globals.input);
  wl_display_disconnect(display);
  return nullptr;
}

KWinFakeInputSink::KWinFakeInputSink(wl_display* display, org_kde_kwin_fake_input* input,
                                     uint32_t version, std::string display_name)
    : display_(display), input_(input), version_(version), display_name_(std::move(display_name)) {}

KWinFakeInputSink::~KWinFakeInputSink() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseLimitMs);
  if (!Lost()) {
    for (const uint32_t code : held_buttons_) {
      org_kde_kwin_fake_input_button(input_, code, WL_POINTER_BUTTON_STATE_RELEASED);
    }
    if (enter_is_down_) {
      org_kde_kwin_fake_input_keyboard_key(input_, kEnterKey, WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    // A client that leaves with requests unread loses them: wait until KWin has read the
    // releases, but not past the limit a stop must keep.
    RoundTrip(display_, RemainingMs(deadline));
  }
  org_kde_kwin_fake_input_destroy(input_);
  wl_display_disconnect(display_);
}

bool KWinFakeInputSink::Lost() const { return wl_display_get_error(display_) != 0; }

void KWinFakeInputSink::Abandon() { shutdown(wl_display_get_fd(display_), SHUT_RDWR); }

int KWinFakeInputSink::Move(int dx, int dy) {
  org_kde_kwin_fake_input_pointer_motion(input_, wl_fixed_from_int(dx), wl_fixed_from_int(dy));
  return Flush();
}

int KWinFakeInputSink::Button(PointerButton button, bool down) {
  const uint32_t code = ButtonCode(button);
  org_kde_kwin_fake_input_button(
      input_, code, down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  if (down) {
    held_buttons_.insert(code);
  } else {
    held_buttons_.erase(code);
  }
  return Flush();
}

int KWinFakeInputSink::Scroll(int dx, int dy) {
  if (dy != 0) {
    org_kde_kwin_fake_input_axis(input_, kVerticalAxis, wl_fixed_from_int(dy * kAxisPerNotch));
  }
  if (dx != 0) {
    org_kde_kwin_fake_input_axis(input_, kHorizontalAxis, wl_fixed_from_int(dx * kAxisPerNotch));
  }
  return Flush();
}

int KWinFakeInputSink::Key(bool down) {
  if (!has_keyboard()) return ENOTSUP;
  org_kde_kwin_fake_input_keyboard_key(
      input_, kEnterKey, down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  enter_is_down_ = down;
  return Flush();
}

// A KWin slow to read leaves the socket full: wait until it takes more rather than drop the
// event, but not without end.
int KWinFakeInputSink::Flush() {
  ReadWithoutWaiting(display_);
  const int error = FlushBefore(display_, std::chrono::steady_clock::now() +
                                              std::chrono::milliseconds(kWaylandStalledLimitMs));
  return error != 0 ? error : wl_display_get_error(display_);
}

}  // namespace sonlet
