// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/headless_kwin.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/child_process.h"

namespace sonlet {

namespace {

constexpr char kInstalled[] = "/usr/bin/kwin_wayland";
constexpr auto kStartLimit = std::chrono::seconds(30);

}  // namespace

HeadlessKWin::HeadlessKWin(const std::vector<std::string>& granted) {
  namespace fs = std::filesystem;
  if (!fs::exists(kInstalled)) {
    missing_ = true;
    error_ = "kwin_wayland is not installed (scripts/install-deps installs kwin-wayland)";
    return;
  }
  if (!MakeFolder("/tmp/sonlet-kwin-XXXXXX")) return;
  // The packaged binary carries a file capability that a container may refuse to execute; a
  // copy carries none. KWin's platform plugin loads only into a program named kwin_wayland.
  const std::string program = folder_ + "/bin/kwin_wayland";
  std::error_code copied;
  fs::create_directories(folder_ + "/bin");
  fs::copy_file(kInstalled, program, copied);
  const std::string applications = folder_ + "/data/applications";
  fs::create_directories(applications);
  for (size_t i = 0; i < granted.size(); ++i) {
    std::ofstream entry(applications + "/granted-" + std::to_string(i) + ".desktop");
    entry << "[Desktop Entry]\nType=Application\nName=Granted " << i << "\nExec=" << granted[i]
          << "\nNoDisplay=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
  }
  const std::string runtime = folder_ + "/run";
  if (copied || mkdir(runtime.c_str(), 0700) != 0) {
    error_ = "cannot prepare " + folder_ + ": " + copied.message();
    return;
  }

  const std::string log = folder_ + "/kwin.log";
  // Its own folders for everything it reads and writes, and no session bus: the user's settings
  // stay out of it, and the only desktop files that name a program in the build tree are the
  // test's (a developer's own, in /usr/local or the home folder, are not read).
  pid_ =
      StartChild({.args = {program, "--virtual", "--no-lockscreen", "--width", "1280", "--height",
                           "720", "--socket", "wayland-kwin"},
                  .environment = {"XDG_RUNTIME_DIR=" + runtime, "HOME=" + folder_,
                                  "XDG_DATA_HOME=" + folder_ + "/data", "XDG_DATA_DIRS=/usr/share",
                                  "XDG_CONFIG_HOME=" + folder_ + "/config",
                                  "XDG_CACHE_HOME=" + folder_ + "/cache", "PATH=/usr/bin:/bin",
                                  "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder_ + "/no-bus"},
                  .log = log,
                  .stdout_to_log = true});
  if (pid_ < 0) {
    error_ = "fork failed";
    return;
  }
  // KWin names the socket once it listens, and takes clients from then on.
  const std::string socket = runtime + "/wayland-kwin";
  AwaitSocket("kwin_wayland", log, kStartLimit, [this, socket] {
    if (!fs::exists(socket)) return false;
    socket_ = socket;
    return true;
  });
}

}  // namespace sonlet
