#include "input/headless_mutter.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;

// Mutter starts in well under a second; this only keeps a broken start from hanging the test.
constexpr auto kStartLimit = std::chrono::seconds(20);

}  // namespace

bool HeadlessMutter::Installed() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (access((folder + "/mutter").c_str(), X_OK) == 0) return true;
  }
  return false;
}

HeadlessMutter::HeadlessMutter(const std::string& bus_address) {
  char folder[] = "/tmp/sonlet-mutter-XXXXXX";  // mkdtemp makes it 0700, as a runtime folder is
  if (mkdtemp(folder) == nullptr) {
    error_ = "cannot make a folder for mutter";
    return;
  }
  folder_ = folder;
  std::filesystem::create_directory(folder_ + "/home");

  // Built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> args = {
      "mutter",   "--headless",        "--wayland", "--no-x11", "--virtual-monitor",
      "1280x720", "--wayland-display", kDisplayName};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = {"DBUS_SESSION_BUS_ADDRESS=" + bus_address,
                                          "XDG_RUNTIME_DIR=" + folder_, "HOME=" + folder_ + "/home",
                                          "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string log = folder_ + "/mutter.log";

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);  // the test died before prctl took effect
    const int null_fd = open("/dev/null", O_RDONLY);
    const int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(null_fd, 0);
    dup2(log_fd, 1);
    dup2(log_fd, 2);
    execvpe("mutter", argv.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) {
    error_ = "fork failed";
    return;
  }
  pid_ = pid;

  const Clock::time_point end = Clock::now() + kStartLimit;
  while (!(access(WaylandSocket().c_str(), F_OK) == 0 && ServesRemoteDesktop(bus_address))) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
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
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
  }
}

}  // namespace sonlet
