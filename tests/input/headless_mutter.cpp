// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/headless_mutter.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/child_process.h"

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;

// Mutter starts in well under a second; this only keeps a broken start from hanging the test.
constexpr auto kStartLimit = std::chrono::seconds(20);

}  // namespace

bool HeadlessMutter::Installed() { return ProgramInstalled("mutter"); }

HeadlessMutter::HeadlessMutter(const std::string& bus_address) {
  char folder[] = "/tmp/sonlet-mutter-XXXXXX";  // mkdtemp makes it 0700, as a runtime folder is
  if (mkdtemp(folder) == nullptr) {
    error_ = "cannot make a folder for mutter";
    return;
  }
  folder_ = folder;
  std::filesystem::create_directory(folder_ + "/home");

  // Its log, standard output and error both, goes into the error when it does not start.
  pid_ = StartChild(
      {.args = {"mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1280x720",
                "--wayland-display", kDisplayName},
       .environment = {"DBUS_SESSION_BUS_ADDRESS=" + bus_address, "XDG_RUNTIME_DIR=" + folder_,
                       "HOME=" + folder_ + "/home", "PATH=/usr/bin:/bin"},
       .log = folder_ + "/mutter.log",
       .stdout_to_log = true});
  if (pid_ < 0) {
    error_ = "fork failed";
    return;
  }

  const Clock::time_point end = Clock::now() + kStartLimit;
  while (!(access(WaylandSocket().c_str(), F_OK) == 0 && ServesRemoteDesktop(bus_address))) {
    if (ChildEnded(pid_)) {
      error_ = "mutter ended at start:\n" + Log();
      return;
    }
    if (Clock::now() > end) {
      error_ = "mutter did not start:\n" + Log();
      Stop();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool HeadlessMutter::ServesRemoteDesktop(const std::string& bus_address) const {
  const QString name = QStringLiteral("sonlet-test-mutter-watch");
  bool serves = false;
  {
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(bus_address), name);
    serves = bus.isConnected() &&
             bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.Mutter.RemoteDesktop"));
  }
  QDBusConnection::disconnectFromBus(name);
  return serves;
}

std::string HeadlessMutter::Log() const {
  std::ifstream in(folder_ + "/mutter.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

HeadlessMutter::~HeadlessMutter() { Stop(); }

void HeadlessMutter::Stop() {
  StopChild(pid_);
  RemoveFolder(folder_);
}

}  // namespace sonlet
