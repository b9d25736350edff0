// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/wayland_pointer_sink.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "input/wayland_connection.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace sonlet {

namespace {

// BTN_LEFT, BTN_RIGHT and BTN_MIDDLE in linux/input-event-codes.h, by PointerButton.
constexpr uint32_t kButtonCodes[] = {272, 273, 274};

// What libinput reports for one notch of a wheel, in the smooth axis value: clients that ignore
// the discrete step scroll by this, and expect it of a wheel.
constexpr int kAxisPerNotch = 15;

constexpr uint32_t kEnterKey = 28;  // KEY_ENTER in linux/input-event-codes.h

// The protocol file in the tree is version 1; a newer compositor serves it as well.
constexpr uint32_t kManagerVersion = 1;

// The virtual keyboard's keymap: the Return key alone, at the X keycode of KEY_ENTER (evdev code
// plus 8). Types and compatibility come from the compositor's own XKB data, which every
// compositor that reads keymaps has.
constexpr char kKeymap[] =
    "xkb_keymap {\n"
    "  xkb_keycodes \"sonlet\" { minimum = 8; maximum = 255; <RTRN> = 36; };\n"
    "  xkb_types \"sonlet\" { include \"complete\" };\n"
    "  xkb_compatibility \"sonlet\" { include \"complete\" };\n"
    "  xkb_symbols \"sonlet\" { key <RTRN> { [ Return ] }; };\n"
    "};\n";

// Makes a virtual keyboard and gives it the keymap, which the compositor reads from a file it
// maps; null when that fails (ENTER is then refused, the pointer still works).
zwp_virtual_keyboard_v1* MakeKeyboard(const WaylandPointerSink::Globals& globals) {
  if (globals.keyboard_manager == nullptr || globals.seat == nullptr) return nullptr;
  const int fd = memfd_create("sonlet-keymap", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  // The size sent counts the terminating zero: the compositor reads the keymap as a C string.
  if (write(fd, kKeymap, sizeof kKeymap) != static_cast<ssize_t>(sizeof kKeymap)) {
    close(fd);
    return nullptr;
  }
  zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
      globals.keyboard_manager, globals.seat);
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, sizeof kKeymap);
  close(fd);  // the request carries its own copy of the descriptor
  return keyboard;
}

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
  auto* globals = static_cast<WaylandPointerSink::Globals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
    globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0 &&
             globals->manager == nullptr) {
    globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface,
                         version < kManagerVersion ? version : kManagerVersion));
  } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
             globals->keyboard_manager == nullptr) {
    globals->keyboard_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(wl_registry_bind(
        registry, name, &zwp_virtual_keyboard_manager_v1_interface, kManagerVersion));
  }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// How long the end waits, all told, for a compositor to take what is left: a stop signal must end
// the program within a second or two, whatever the compositor does.
constexpr int kCloseLimitMs = 600;

}  // namespace

std::unique_ptr<WaylandPointerSink> WaylandPointerSink::Open(std::string* why) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') {
    *why = "WAYLAND_DISPLAY is not set, so there is no Wayland session to send events to";
    return nullptr;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    *why = std::string("cannot connect to the Wayland compositor '") + name +
           "' (is it running, and is XDG_RUNTIME_DIR this session's?)";
    return nullptr;
  }
  Globals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &globals);
  const int listed = RoundTrip(display, kWaylandAnswerLimitMs);
  wl_registry_destroy(registry);
  if (listed != 0 || globals.manager == nullptr) {
    *why = listed == 0 ? std::string("the compositor of '") + name +
                             "' offers no wlroots virtual pointer "
                             "(zwlr_virtual_pointer_manager_v1); sway, labwc, Hyprland, river and "
                             "Wayfire do"
                       : WaylandConnectionError(name, listed);
    if (globals.manager != nullptr) zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    if (globals.keyboard_manager != nullptr) {
      zwp_virtual_keyboard_manager_v1_destroy(globals.keyboard_manager);
    }
    if (globals.seat != nullptr) wl_seat_destroy(globals.seat);
    wl_display_disconnect(display);
    return nullptr;
  }
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
  zwp_virtual_keyboard_v1* keyboard = MakeKeyboard(globals);
  // A compositor that refuses the device closes the connection: find out now, not at the first
  // event.
  if (const int made = RoundTrip(display, kWaylandAnswerLimitMs); made != 0) {
    *why = WaylandConnectionError(name, made);
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    if (keyboard != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard);
    if (globals.keyboard_manager != nullptr) {
      zwp_virtual_keyboard_manager_v1_destroy(globals.keyboard_manager);
    }
    if (globals.seat != nullptr) wl_seat_destroy(globals.seat);
    wl_display_disconnect(display);
    return nullptr;
  }
  return std::unique_ptr<WaylandPointerSink>(
      new WaylandPointerSink(display, globals, pointer, keyboard, name));
}

WaylandPointerSink::WaylandPointerSink(wl_display* display, Globals globals,
                                       zwlr_virtual_pointer_v1* pointer,
                                       zwp_virtual_keyboard_v1* keyboard, std::string display_name)
    : display_(display),
      globals_(globals),
      pointer_(pointer),
      keyboard_(keyboard),
      display_name_(std::move(display_name)) {}

WaylandPointerSink::~WaylandPointerSink() {
  // The compositor does not release a button for a device that goes: without this it would stay
  // down. The round trip makes sure the compositor has read the release before the device and
  // the connection go. A compositor that does not answer in time gets no second wait.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseLimitMs);
  const bool lost = Lost();
  for (const PointerButton button :
       {PointerButton::kLeft, PointerButton::kRight, PointerButton::kMiddle}) {
    if (held_[static_cast<int>(button)] && !lost) Button(button, false);
  }
  if (enter_is_down_ && !lost) Key(false);
  const bool answered = !lost && RoundTrip(display_, RemainingMs(deadline)) == 0;
  zwlr_virtual_pointer_v1_destroy(pointer_);
  zwlr_virtual_pointer_manager_v1_destroy(globals_.manager);
  if (keyboard_ != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard_);
  if (globals_.keyboard_manager != nullptr) {
    zwp_virtual_keyboard_manager_v1_destroy(globals_.keyboard_manager);
  }
  if (globals_.seat != nullptr) wl_seat_destroy(globals_.seat);
  if (answered) RoundTrip(display_, RemainingMs(deadline));
  wl_display_disconnect(display_);
}

bool WaylandPointerSink::Lost() const { return wl_display_get_error(display_) != 0; }

void WaylandPointerSink::Abandon() {
  // Only the traffic stops; the descriptor stays libwayland's until it disconnects.
  shutdown(wl_display_get_fd(display_), SHUT_RDWR);
}

int WaylandPointerSink::Move(int dx, int dy) {
  zwlr_virtual_pointer_v1_motion(pointer_, WaylandNowMs(), wl_fixed_from_int(dx),
                                 wl_fixed_from_int(dy));
  zwlr_virtual_pointer_v1_frame(pointer_);
  return Flush();
}

int WaylandPointerSink::LeftDown() { return Button(PointerButton::kLeft, true); }

int WaylandPointerSink::LeftUp() { return Button(PointerButton::kLeft, false); }

int WaylandPointerSink::ButtonDown(PointerButton button) { return Button(button, true); }

int WaylandPointerSink::ButtonUp(PointerButton button) { return Button(button, false); }

int WaylandPointerSink::Scroll(int dx, int dy) {
  const struct {
    uint32_t axis;
    int notches;
  } axes[] = {{WL_POINTER_AXIS_VERTICAL_SCROLL, dy}, {WL_POINTER_AXIS_HORIZONTAL_SCROLL, dx}};
  for (const auto& a : axes) {
    const int step = a.notches > 0 ? 1 : -1;
    for (int i = 0; i != a.notches; i += step) {
      zwlr_virtual_pointer_v1_axis_source(pointer_, WL_POINTER_AXIS_SOURCE_WHEEL);
      zwlr_virtual_pointer_v1_axis_discrete(pointer_, WaylandNowMs(), a.axis,
                                            wl_fixed_from_int(step * kAxisPerNotch), step);
      zwlr_virtual_pointer_v1_frame(pointer_);
    }
  }
  return Flush();
}

int WaylandPointerSink::EnterDown() { return Key(true); }

int WaylandPointerSink::EnterUp() { return Key(false); }

int WaylandPointerSink::Key(bool down) {
  if (keyboard_ == nullptr) return ENOTSUP;
  zwp_virtual_keyboard_v1_key(
      keyboard_, WaylandNowMs(), kEnterKey,
      down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  enter_is_down_ = down;
  return Flush();
}

int WaylandPointerSink::Button(PointerButton button, bool down) {
  const int index = static_cast<int>(button);
  zwlr_virtual_pointer_v1_button(
      pointer_, WaylandNowMs(), kButtonCodes[index],
      down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  zwlr_virtual_pointer_v1_frame(pointer_);
  held_[index] = down;
  return Flush();
}

// Writes what is buffered. A compositor slow to read leaves the socket full (EAGAIN): wait until
// it can take more rather than drop the event, but not without end. The compositor's own messages
// to this client (the seat's capabilities) are read here too, so that they never fill the other
// direction.
int WaylandPointerSink::Flush() {
  ReadWithoutWaiting(display_);
  const int error = FlushBefore(display_, std::chrono::steady_clock::now() +
                                              std::chrono::milliseconds(kWaylandStalledLimitMs));
  return error != 0 ? error : wl_display_get_error(display_);
}

}  // namespace sonlet
