#include "input/wayland_pointer_watcher.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "xdg-shell-client-protocol.h"

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;
using Event = WaylandPointerWatcher::Event;

// Frames drawn before the surface counts as settled: at 60 frames a second, a second, four times
// as long as mutter's window effects.
constexpr int kSettleFrames = 60;

void Ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener kWmBaseListener = {Ping};

void RemoveGlobal(void*, wl_registry*, uint32_t) {}

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
  auto* size = static_cast<std::pair<int, int>*>(data);
  if (width > 0 && height > 0) *size = {width, height};
}
void ToplevelClose(void*, xdg_toplevel*) {}
// Mutter 43 speaks xdg-shell 4 at most; the later events are listed for a newer one.
void ToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void ToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}

Event Make(Event::Kind kind) {
  Event e{};
  e.kind = kind;
  return e;
}

// The pointer's and the keyboard's listeners: each adds to the event list given as data.
struct WatcherCallbacks {
  static void Enter(void* data, wl_pointer*, uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
    Event e = Make(Event::kEnter);
    e.x = wl_fixed_to_double(x);
    e.y = wl_fixed_to_double(y);
    static_cast<std::vector<Event>*>(data)->push_back(e);
  }
  static void Leave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<std::vector<Event>*>(data)->push_back(Make(Event::kLeave));
  }
  static void Motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    Event e = Make(Event::kMotion);
    e.x = wl_fixed_to_double(x);
    e.y = wl_fixed_to_double(y);
    static_cast<std::vector<Event>*>(data)->push_back(e);
  }
  static void Button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    Event e = Make(Event::kButton);
    e.code = button;
    e.pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    static_cast<std::vector<Event>*>(data)->push_back(e);
  }
  static void Axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
  static void Frame(void*, wl_pointer*) {}
  static void AxisSource(void*, wl_pointer*, uint32_t) {}
  static void AxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
  static void AxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
  static void AxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}  // seat 8; bound at 5

  static void Keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
  static void KeyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {
    static_cast<std::vector<Event>*>(data)->push_back(Make(Event::kKeyboardFocus));
  }
  static void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
  static void Key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    Event e = Make(Event::kKey);
    e.code = key;
    e.pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    static_cast<std::vector<Event>*>(data)->push_back(e);
  }
  static void Modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
  static void RepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
};

const wl_pointer_listener kPointerListener = {
    WatcherCallbacks::Enter,        WatcherCallbacks::Leave,    WatcherCallbacks::Motion,
    WatcherCallbacks::Button,       WatcherCallbacks::Axis,     WatcherCallbacks::Frame,
    WatcherCallbacks::AxisSource,   WatcherCallbacks::AxisStop, WatcherCallbacks::AxisDiscrete,
    WatcherCallbacks::AxisValue120,
};
const wl_keyboard_listener kKeyboardListener = {
    WatcherCallbacks::Keymap, WatcherCallbacks::KeyboardEnter, WatcherCallbacks::KeyboardLeave,
    WatcherCallbacks::Key,    WatcherCallbacks::Modifiers,     WatcherCallbacks::RepeatInfo,
};

}  // namespace

void WaylandPointerWatcher::Global(void* data, wl_registry* registry, uint32_t name,
                                   const char* interface, uint32_t version) {
  auto* self = static_cast<WaylandPointerWatcher*>(data);
  const std::string which = interface;
  if (which == wl_compositor_interface.name) {
    self->compositor_ = static_cast<wl_compositor*>(
        wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
  } else if (which == wl_shm_interface.name) {
    self->shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (which == xdg_wm_base_interface.name) {
    self->wm_base_ =
        static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(self->wm_base_, &kWmBaseListener, nullptr);
  } else if (which == wl_seat_interface.name && self->seat_ == nullptr) {
    // Version 5: the listeners above cover its events and no later ones.
    self->seat_ = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
    static const wl_seat_listener kSeatListener = {Capabilities,
                                                   [](void*, wl_seat*, const char*) {}};
    wl_seat_add_listener(self->seat_, &kSeatListener, self);
  }
}

// A seat gains its pointer only once the compositor has a pointing device, which on a headless
// compositor is the one a remote-desktop session brings.
void WaylandPointerWatcher::Capabilities(void* data, wl_seat* seat, uint32_t capabilities) {
  auto* self = static_cast<WaylandPointerWatcher*>(data);
  if ((capabilities & WL_SEAT_CAPABILITY_POINTER) != 0 && self->pointer_ == nullptr) {
    self->pointer_ = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(self->pointer_, &kPointerListener, &self->events_);
  }
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && self->keyboard_ == nullptr) {
    self->keyboard_ = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(self->keyboard_, &kKeyboardListener, &self->events_);
  }
}

WaylandPointerWatcher::WaylandPointerWatcher(const std::string& socket_path) {
  display_ = wl_display_connect(socket_path.c_str());
  if (display_ == nullptr) {
    error_ = "cannot connect to the compositor at " + socket_path;
    return;
  }
  registry_ = wl_display_get_registry(display_);
  static const wl_registry_listener kRegistryListener = {Global, RemoveGlobal};
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  wl_display_roundtrip(display_);
  if (compositor_ == nullptr || shm_ == nullptr || wm_base_ == nullptr || seat_ == nullptr) {
    error_ = "the compositor lacks wl_compositor, wl_shm, xdg_wm_base or wl_seat";
    return;
  }

  surface_ = wl_compositor_create_surface(compositor_);
  xdg_surface_ = xdg_wm_base_get_xdg_surface(wm_base_, surface_);
  static const xdg_surface_listener kSurfaceListener = {
      [](void* data, xdg_surface*, uint32_t serial) {
        static_cast<WaylandPointerWatcher*>(data)->Configure(serial);
      }};
  xdg_surface_add_listener(xdg_surface_, &kSurfaceListener, this);
  toplevel_ = xdg_surface_get_toplevel(xdg_surface_);
  static const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose,
                                                          ToplevelBounds, ToplevelCapabilities};
  xdg_toplevel_add_listener(toplevel_, &kToplevelListener, &size_);
  xdg_toplevel_set_fullscreen(toplevel_, nullptr);
  wl_surface_commit(surface_);
  if (!WaitFor([&] { return shown_; })) {
    error_ = "the compositor did not show the surface";
    return;
  }
  // Mutter grows a new window into place over a few frames, and it draws a frame only when
  // something changed: so the surface is drawn again, frame after frame, until the effect has
  // surely ended. While it lasts, the surface is scaled, and so are the coordinates it is told.
  for (int frame = 0; frame < kSettleFrames; ++frame) {
    bool drawn = false;
    wl_callback* callback = wl_surface_frame(surface_);
    static const wl_callback_listener kFrameListener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(callback, &kFrameListener, &drawn);
    wl_surface_attach(surface_, buffer_, 0, 0);
    wl_surface_damage(surface_, 0, 0, width_, height_);
    wl_surface_commit(surface_);
    const bool done = WaitFor([&] { return drawn; });
    wl_callback_destroy(callback);
    if (!done) {
      error_ = "the compositor stopped drawing the surface";
      return;
    }
  }
}

// The first configure carries the fullscreen size; the surface is shown with a buffer of that
// size, opaque, so that all of the output is the surface's.
void WaylandPointerWatcher::Configure(uint32_t serial) {
  xdg_surface_ack_configure(xdg_surface_, serial);
  if (buffer_ != nullptr) {
    wl_surface_commit(surface_);
    return;
  }
  // Fullscreen, the compositor names the output's size; a surface of another size would be
  // centred, and its coordinates would no longer be the output's.
  width_ = size_.first > 0 ? size_.first : 1280;
  height_ = size_.second > 0 ? size_.second : 720;
  const int stride = width_ * 4;
  const int bytes = stride * height_;
  const int fd = memfd_create("sonlet-watcher", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, bytes) != 0) {
    error_ = "cannot make the surface's buffer";
    if (fd >= 0) close(fd);
    return;
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, bytes);
  buffer_ = wl_shm_pool_create_buffer(pool, 0, width_, height_, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  wl_surface_attach(surface_, buffer_, 0, 0);
  wl_surface_damage(surface_, 0, 0, width_, height_);
  wl_surface_commit(surface_);
  shown_ = true;
}

WaylandPointerWatcher::~WaylandPointerWatcher() {
  if (display_ == nullptr) return;
  if (pointer_ != nullptr) wl_pointer_destroy(pointer_);
  if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
  if (buffer_ != nullptr) wl_buffer_destroy(buffer_);
  if (toplevel_ != nullptr) xdg_toplevel_destroy(toplevel_);
  if (xdg_surface_ != nullptr) xdg_surface_destroy(xdg_surface_);
  if (surface_ != nullptr) wl_surface_destroy(surface_);
  if (wm_base_ != nullptr) xdg_wm_base_destroy(wm_base_);
  if (seat_ != nullptr) wl_seat_destroy(seat_);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

bool WaylandPointerWatcher::WaitFor(const std::function<bool()>& done, int limit_ms) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(limit_ms);
  while (true) {
    if (wl_display_dispatch_pending(display_) < 0) return done();
    if (done()) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) return false;
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd ready = {wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left)) > 0) {
      if (wl_display_read_events(display_) < 0) return done();
    } else {
      wl_display_cancel_read(display_);
    }
  }
}

std::vector<Event> WaylandPointerWatcher::Only(Event::Kind kind) const {
  std::vector<Event> chosen;
  for (const Event& e : events_) {
    if (e.kind == kind) chosen.push_back(e);
  }
  return chosen;
}

}  // namespace sonlet
