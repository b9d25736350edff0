// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/wayland_observer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

#include "fake-input-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace sonlet {

namespace {

constexpr auto kSetUpLimit = std::chrono::seconds(10);
// Frames drawn before the surface counts as settled: at 60 frames a second, a second, four times
// as long as mutter's window effects. Sway has none, but one path for both costs it only that.
constexpr int kSettleFrames = 60;

}  // namespace

struct WaylandObserver::State {
  WaylandObserver* owner = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_seat* seat = nullptr;
  xdg_wm_base* shell = nullptr;
  zwlr_virtual_pointer_manager_v1* manager = nullptr;
  wl_surface* surface = nullptr;
  xdg_surface* shell_surface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  zwlr_virtual_pointer_v1* placer = nullptr;  // null without the manager
  // KWin's way to place the pointer, for a test process that KWin grants it; else null.
  org_kde_kwin_fake_input* kde_placer = nullptr;
  wl_buffer* buffer = nullptr;
  wl_callback* frame = nullptr;  // pending while the surface settles

  // Guarded by mutex: written on the reading thread, read by the test.
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<PointerRecord> records;
  int pending_width = 0;
  int pending_height = 0;
  int width = 0;  // of the buffer attached
  int height = 0;
  int syncs_done = 0;
  int frames_drawn = 0;
};

namespace {

using State = WaylandObserver::State;

void Record(State* s, PointerRecord record) {
  std::lock_guard<std::mutex> lock(s->mutex);
  s->records.push_back(std::move(record));
  s->changed.notify_all();
}

// A buffer the size the compositor asked for: the surface only takes pointer events where it has
// content.
bool MakeBuffer(State* s, int width, int height) {
  const int stride = width * 4;
  const int size = stride * height;
  const int fd = memfd_create("sonlet-observer", MFD_CLOEXEC);
  if (fd < 0) return false;
  wl_shm_pool* pool = ftruncate(fd, size) == 0 ? wl_shm_create_pool(s->shm, fd, size) : nullptr;
  close(fd);
  if (pool == nullptr) return false;
  if (s->buffer != nullptr) wl_buffer_destroy(s->buffer);
  s->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  std::lock_guard<std::mutex> lock(s->mutex);
  s->width = width;
  s->height = height;
  s->changed.notify_all();
  return true;
}

void OnFrameDone(void* data, wl_callback* callback, uint32_t);
const wl_callback_listener kFrameListener = {OnFrameDone};

// Mutter grows a new window into place over a few frames, and while it does, the surface is
// scaled and so are the coordinates it is told; it draws a frame only when something changed.
// So the buffer is committed again, frame after frame, until the effect has surely ended.
void Draw(State* s) {
  if (s->frame == nullptr && s->frames_drawn < kSettleFrames) {
    s->frame = wl_surface_frame(s->surface);
    wl_callback_add_listener(s->frame, &kFrameListener, s);
  }
  wl_surface_attach(s->surface, s->buffer, 0, 0);
  wl_surface_damage(s->surface, 0, 0, s->width, s->height);
  wl_surface_commit(s->surface);
}

void OnFrameDone(void* data, wl_callback* callback, uint32_t) {
  auto* s = static_cast<State*>(data);
  wl_callback_destroy(callback);
  s->frame = nullptr;
  {
    std::lock_guard<std::mutex> lock(s->mutex);
    ++s->frames_drawn;
    s->changed.notify_all();
  }
  if (s->frames_drawn < kSettleFrames) Draw(s);
}

void OnPointerEnter(void* data, wl_pointer*, uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
  Record(static_cast<State*>(data), {"enter", wl_fixed_to_double(x), wl_fixed_to_double(y), 0});
}
void OnPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
  Record(static_cast<State*>(data), {"leave", 0, 0, 0});
}
void OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
  Record(static_cast<State*>(data), {"motion", wl_fixed_to_double(x), wl_fixed_to_double(y), 0});
}
void OnPointerButton(void* data, wl_pointer*, uint32_t, uint32_t time, uint32_t button,
                     uint32_t state) {
  Record(static_cast<State*>(data),
         {state == WL_POINTER_BUTTON_STATE_PRESSED ? "press" : "release", 0, 0, button, time});
}
void OnPointerAxis(void* data, wl_pointer*, uint32_t time, uint32_t axis, wl_fixed_t value) {
  Record(static_cast<State*>(data), {"axis", wl_fixed_to_double(value), 0, axis, time});
}
void OnPointerFrame(void*, wl_pointer*) {}
void OnPointerAxisSource(void* data, wl_pointer*, uint32_t source) {
  Record(static_cast<State*>(data), {"axis-source", 0, 0, source});
}
void OnPointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void OnPointerAxisDiscrete(void* data, wl_pointer*, uint32_t axis, int32_t discrete) {
  Record(static_cast<State*>(data), {"axis-discrete", static_cast<double>(discrete), 0, axis});
}
void OnPointerAxisValue120(void* data, wl_pointer*, uint32_t axis, int32_t value120) {
  Record(static_cast<State*>(data), {"axis-value120", static_cast<double>(value120), 0, axis});
}
const wl_pointer_listener kPointerListener = {
    OnPointerEnter,        OnPointerLeave,       OnPointerMotion,     OnPointerButton,
    OnPointerAxis,         OnPointerFrame,       OnPointerAxisSource, OnPointerAxisStop,
    OnPointerAxisDiscrete, OnPointerAxisValue120};

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void OnKeyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {
  Record(static_cast<State*>(data), {"keyboard-enter", 0, 0, 0});
}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
  Record(static_cast<State*>(data),
         {state == WL_KEYBOARD_KEY_STATE_PRESSED ? "key-press" : "key-release", 0, 0, key});
}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                                OnKey,    OnModifiers,     OnRepeatInfo};

// The seat has a pointer only once some pointer device exists (the placer's on sway, a
// remote-desktop session's on mutter), and a keyboard once a virtual keyboard does.
void OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
  auto* s = static_cast<State*>(data);
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && s->keyboard == nullptr) {
    s->keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(s->keyboard, &kKeyboardListener, s);
  }
  if ((capabilities & WL_SEAT_CAPABILITY_POINTER) != 0 && s->pointer == nullptr) {
    wl_pointer* pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(pointer, &kPointerListener, s);
    std::lock_guard<std::mutex> lock(s->mutex);
    s->pointer = pointer;
    s->changed.notify_all();
  }
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {OnSeatCapabilities, OnSeatName};

void OnPing(void*, xdg_wm_base* shell, uint32_t serial) { xdg_wm_base_pong(shell, serial); }
const xdg_wm_base_listener kShellListener = {OnPing};

void OnToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
  auto* s = static_cast<State*>(data);
  s->pending_width = width;
  s->pending_height = height;
}
void OnToplevelClose(void*, xdg_toplevel*) {}
// The later events come only to versions above the one bound.
const xdg_toplevel_listener kToplevelListener = {OnToplevelConfigure, OnToplevelClose, nullptr,
                                                 nullptr};

void OnSurfaceConfigure(void* data, xdg_surface* shell_surface, uint32_t serial) {
  auto* s = static_cast<State*>(data);
  xdg_surface_ack_configure(shell_surface, serial);
  const int width = s->pending_width > 0 ? s->pending_width : 64;
  const int height = s->pending_height > 0 ? s->pending_height : 64;
  if (MakeBuffer(s, width, height)) Draw(s);
}
const xdg_surface_listener kSurfaceListener = {OnSurfaceConfigure};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
  auto* s = static_cast<State*>(data);
  auto bind = [&](const wl_interface* which, uint32_t highest) {
    return wl_registry_bind(registry, name, which, version < highest ? version : highest);
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    s->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    s->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && s->seat == nullptr) {
    // Version 8 hears a wheel in value120 where the compositor has it, older ones in discrete
    // steps: both are recorded.
    s->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 8));
    wl_seat_add_listener(s->seat, &kSeatListener, s);
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
    s->shell = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(s->shell, &kShellListener, s);
  } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    s->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        bind(&zwlr_virtual_pointer_manager_v1_interface, 1));
  } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3) {
    // Version 3 brought absolute motion.
    s->kde_placer =
        static_cast<org_kde_kwin_fake_input*>(bind(&org_kde_kwin_fake_input_interface, 3));
    org_kde_kwin_fake_input_authenticate(s->kde_placer, "Sonlet's tests", "places the pointer");
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnSyncDone(void* data, wl_callback* callback, uint32_t) {
  auto* s = static_cast<State*>(data);
  wl_callback_destroy(callback);
  std::lock_guard<std::mutex> lock(s->mutex);
  ++s->syncs_done;
  s->changed.notify_all();
}
const wl_callback_listener kSyncListener = {OnSyncDone};

}  // namespace

const PointerRecord* LastPosition(const std::vector<PointerRecord>& records) {
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    if (it->what == "enter" || it->what == "motion") return &*it;
    if (it->what == "leave") return nullptr;
  }
  return nullptr;
}

double Notches(const std::vector<PointerRecord>& records, unsigned axis) {
  double notches = 0;
  for (const PointerRecord& r : records) {
    if (r.button != axis) continue;
    if (r.what == "axis-discrete") notches += r.x;
    if (r.what == "axis-value120") notches += r.x / 120;
  }
  return notches;
}

HeardButtons ButtonsHeard(const std::vector<PointerRecord>& records) {
  HeardButtons heard;
  int held = 0;
  const PointerRecord* at = nullptr;
  for (const PointerRecord& r : records) {
    if (r.what == "press" || r.what == "release") {
      const char* names[] = {"left", "right", "middle"};
      heard.changes.push_back(
          r.what + " " +
          (r.button >= 272 && r.button <= 274 ? names[r.button - 272] : std::to_string(r.button)));
      held += r.what == "press" ? 1 : -1;
      if (r.what == "press") heard.press_times.push_back(r.time);
    } else if (r.what == "enter" || r.what == "motion") {
      if (held > 0 && at != nullptr) {
        heard.held_dx += r.x - at->x;
        heard.held_dy += r.y - at->y;
      }
      at = &r;
    } else if (r.what == "leave") {
      at = nullptr;
    }
  }
  return heard;
}

WaylandObserver::WaylandObserver(const std::string& socket) {
  display_ = wl_display_connect(socket.c_str());
  if (display_ == nullptr) {
    error_ = "cannot connect to " + socket;
    return;
  }
  state_ = new State;
  state_->owner = this;
  wl_registry* registry = wl_display_get_registry(display_);
  wl_registry_add_listener(registry, &kRegistryListener, state_);
  wl_display_roundtrip(display_);
  wl_registry_destroy(registry);
  if (state_->compositor == nullptr || state_->shm == nullptr || state_->shell == nullptr ||
      state_->seat == nullptr) {
    error_ = "the compositor lacks wl_compositor, wl_shm, xdg_wm_base or wl_seat";
    return;
  }
  if (state_->manager != nullptr) {
    state_->placer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(state_->manager, state_->seat);
  }
  state_->surface = wl_compositor_create_surface(state_->compositor);
  state_->shell_surface = xdg_wm_base_get_xdg_surface(state_->shell, state_->surface);
  xdg_surface_add_listener(state_->shell_surface, &kSurfaceListener, state_);
  state_->toplevel = xdg_surface_get_toplevel(state_->shell_surface);
  xdg_toplevel_add_listener(state_->toplevel, &kToplevelListener, state_);
  xdg_toplevel_set_app_id(state_->toplevel, "sonlet-observer");
  // Sway also has a window rule for the app_id; mutter has none, and a surface of another size
  // would be centred, its coordinates no longer the output's.
  xdg_toplevel_set_fullscreen(state_->toplevel, nullptr);
  wl_surface_commit(state_->surface);

  if (pipe2(wake_fds_, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  reader_ = std::thread([this] { Read(); });

  // Filled once the compositor's configure for the full output has been answered with a buffer
  // of that size (sway's first configure may come before the window rule applies).
  std::unique_lock<std::mutex> lock(state_->mutex);
  const bool settled = state_->changed.wait_for(lock, kSetUpLimit, [this] {
    // The seat's pointer comes with the placer's device; without the pointer bound, the surface
    // would not hear where the placer put it.
    return state_->width > 64 && state_->height > 64 && state_->frames_drawn >= kSettleFrames &&
           ((state_->placer == nullptr && state_->kde_placer == nullptr) ||
            state_->pointer != nullptr);
  });
  if (!settled) {
    error_ = state_->width > 64 ? "the compositor stopped drawing the observer's surface"
                                : "the observer's surface was not made full-screen";
    return;
  }
  width_ = state_->width;
  height_ = state_->height;
  ready_ = true;
}

WaylandObserver::~WaylandObserver() {
  if (reader_.joinable()) {
    const char stop = 'q';
    (void)!write(wake_fds_[1], &stop, 1);
    reader_.join();
  }
  for (int fd : wake_fds_) {
    if (fd >= 0) close(fd);
  }
  if (state_ != nullptr) {
    // Every object goes before the connection: the sanitized build counts a proxy left behind
    // as a leak.
    State* s = state_;
    if (s->frame != nullptr) wl_callback_destroy(s->frame);
    if (s->placer != nullptr) zwlr_virtual_pointer_v1_destroy(s->placer);
    if (s->kde_placer != nullptr) org_kde_kwin_fake_input_destroy(s->kde_placer);
    if (s->pointer != nullptr) wl_pointer_release(s->pointer);
    if (s->keyboard != nullptr) wl_keyboard_release(s->keyboard);
    if (s->buffer != nullptr) wl_buffer_destroy(s->buffer);
    if (s->toplevel != nullptr) xdg_toplevel_destroy(s->toplevel);
    if (s->shell_surface != nullptr) xdg_surface_destroy(s->shell_surface);
    if (s->surface != nullptr) wl_surface_destroy(s->surface);
    if (s->manager != nullptr) zwlr_virtual_pointer_manager_v1_destroy(s->manager);
    if (s->shell != nullptr) xdg_wm_base_destroy(s->shell);
    if (s->seat != nullptr) wl_seat_release(s->seat);
    if (s->shm != nullptr) wl_shm_destroy(s->shm);
    if (s->compositor != nullptr) wl_compositor_destroy(s->compositor);
    wl_display_flush(display_);
  }
  if (display_ != nullptr) wl_display_disconnect(display_);
  delete state_;
}

void WaylandObserver::Read() {
  const int fd = wl_display_get_fd(display_);
  for (;;) {
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) {
      wl_display_cancel_read(display_);
      return;
    }
    if ((fds[0].revents & POLLIN) != 0) {
      if (wl_display_read_events(display_) < 0) return;
    } else {
      wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_pending(display_) < 0) return;
    if ((fds[1].revents & POLLIN) != 0) {
      char order = 'q';
      if (read(wake_fds_[0], &order, 1) != 1 || order == 'q') return;
      // Asked here, on the thread that dispatches, so that the listener is in place before the
      // answer can arrive.
      wl_callback* callback = wl_display_sync(display_);
      wl_callback_add_listener(callback, &kSyncListener, state_);
    }
    if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) return;
  }
}

bool WaylandObserver::PlacePointer(int x, int y) {
  if (state_->placer != nullptr) {
    zwlr_virtual_pointer_v1_motion_absolute(state_->placer, 0, static_cast<uint32_t>(x),
                                            static_cast<uint32_t>(y), static_cast<uint32_t>(width_),
                                            static_cast<uint32_t>(height_));
    zwlr_virtual_pointer_v1_frame(state_->placer);
  } else if (state_->kde_placer != nullptr) {
    org_kde_kwin_fake_input_pointer_motion_absolute(state_->kde_placer, wl_fixed_from_int(x),
                                                    wl_fixed_from_int(y));
  } else {
    return false;
  }
  wl_display_flush(display_);
  return WaitFor(
      [x, y](const std::vector<PointerRecord>& records) {
        const PointerRecord* at = LastPosition(records);
        return at != nullptr && at->x == x && at->y == y;
      },
      kSetUpLimit);
}

bool WaylandObserver::Settle() {
  int target = 0;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    target = state_->syncs_done + 1;
  }
  const char sync = 's';
  if (write(wake_fds_[1], &sync, 1) != 1) return false;
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->changed.wait_for(lock, kSetUpLimit, [&] { return state_->syncs_done >= target; });
}

bool WaylandObserver::WaitFor(const std::function<bool(const std::vector<PointerRecord>&)>& done,
                              std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->changed.wait_for(lock, limit, [&] { return done(state_->records); });
}

std::vector<PointerRecord> WaylandObserver::Records() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->records;
}

void WaylandObserver::ClearRecords() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->records.clear();
}

}  // namespace sonlet
