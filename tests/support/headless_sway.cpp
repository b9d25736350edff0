// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/headless_sway.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/child_process.h"

namespace sonlet {

namespace {

constexpr uid_t kNobody = 65534;
constexpr auto kStartLimit = std::chrono::seconds(20);

bool CanConnect(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

}  // namespace

HeadlessSway::HeadlessSway() {
  if (!ProgramInstalled("sway")) {
    missing_ = true;
    error_ = "sway is not installed (scripts/install-deps installs it)";
    return;
  }
  if (!MakeFolder("/tmp/sonlet-sway-XXXXXX")) return;
  const bool as_nobody = geteuid() == 0;
  const std::string config = folder_ + "/config";
  {
    std::ofstream out(config);
    out << "xwayland disable\n"
           "default_border none\n"
           "for_window [app_id=\"sonlet-observer\"] fullscreen enable\n";
  }
  const std::string log = folder_ + "/sway.log";
  if (as_nobody) {
    // The runtime folder must belong to the compositor's user, and be its alone.
    if (chown(folder_.c_str(), kNobody, kNobody) != 0 ||
        chown(config.c_str(), kNobody, kNobody) != 0) {
      error_ = "cannot give the runtime folder to the user nobody";
      return;
    }
  }

  // Its log, on standard error, goes into the error when it ends at start.
  ChildOptions sway = {
      .args = {"sway", "-c", config},
      .environment = {"XDG_RUNTIME_DIR=" + folder_, "HOME=" + folder_, "WLR_BACKENDS=headless",
                      "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman", "PATH=/usr/bin:/bin"},
      .log = log};
  if (as_nobody) sway.user = kNobody;
  pid_ = StartChild(sway);
  if (pid_ < 0) {
    error_ = "fork failed";
    return;
  }

  // sway names its socket wayland-N in its runtime folder, N the first free number.
  AwaitSocket("sway", log, kStartLimit, [this] {
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      const std::string name = entry.path().filename();
      if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos &&
          CanConnect(entry.path())) {
        socket_ = entry.path();
        return true;
      }
    }
    return false;
  });
}

}  // namespace sonlet
