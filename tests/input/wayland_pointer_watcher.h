#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;

namespace sonlet {

// A Wayland client with one fullscreen surface that records what the compositor tells it about
// the pointer and the keyboard over it: what reached the desktop, as an application sees it.
// Coordinates are the surface's, which fullscreen on the only output are the output's.
class WaylandPointerWatcher {
 public:
  struct Event {
    enum Kind { kEnter, kLeave, kMotion, kButton, kKey, kKeyboardFocus } kind;
    double x = 0;  // kEnter, kMotion
    double y = 0;
    uint32_t code = 0;     // kButton: Linux button code; kKey: Linux key code
    bool pressed = false;  // kButton, kKey
  };

  // Connects to the compositor's socket (an absolute path) and shows the surface.
  explicit WaylandPointerWatcher(const std::string& socket_path);
  ~WaylandPointerWatcher();
  WaylandPointerWatcher(const WaylandPointerWatcher&) = delete;
  WaylandPointerWatcher& operator=(const WaylandPointerWatcher&) = delete;

  bool connected() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Reads the compositor's events until `done` holds or `limit_ms` pass; returns `done()`. The
  // limit only keeps a failing test from hanging.
  bool WaitFor(const std::function<bool()>& done, int limit_ms = 10000);

  const std::vector<Event>& events() const { return events_; }
  // The events of one kind, in order.
  std::vector<Event> Only(Event::Kind kind) const;

 private:
  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t version);
  static void Capabilities(void* data, wl_seat* seat, uint32_t capabilities);
  void Configure(uint32_t serial);

  std::string error_;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  wl_shm* shm_ = nullptr;
  wl_seat* seat_ = nullptr;
  xdg_wm_base* wm_base_ = nullptr;
  wl_surface* surface_ = nullptr;
  xdg_surface* xdg_surface_ = nullptr;
  xdg_toplevel* toplevel_ = nullptr;
  wl_pointer* pointer_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  wl_buffer* buffer_ = nullptr;
  std::pair<int, int> size_ = {0, 0};  // as the toplevel's configure gives it
  int width_ = 0;
  int height_ = 0;
  bool shown_ = false;
  std::vector<Event> events_;
};

}  // namespace sonlet
