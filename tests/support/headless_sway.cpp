#include "support/headless_sway.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

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

bool SwayInstalled() {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = folders.find(':', start);
    const std::string folder = folders.substr(start, end - start);
    if (access((folder + "/sway").c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

}  // namespace

HeadlessSway::HeadlessSway() {
  if (!SwayInstalled()) {
    missing_ = true;
    error_ = "sway is not installed (scripts/install-deps installs it)";
    return;
  }
  char folder[] = "/tmp/sonlet-sway-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    error_ = "mkdtemp failed";
    return;
  }
  folder_ = folder;
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
    if (chown(folder, kNobody, kNobody) != 0 || chown(config.c_str(), kNobody, kNobody) != 0) {
      error_ = "cannot give the runtime folder to the user nobody";
      return;
    }
  }

  // Built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + folder_, "HOME=" + folder_,
                                          "WLR_BACKENDS=headless",      "WLR_LIBINPUT_NO_DEVICES=1",
                                          "WLR_RENDERER=pixman",        "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = "sway";
  std::string dash_c = "-c";
  std::string config_arg = config;
  std::vector<char*> argv = {program.data(), dash_c.data(), config_arg.data(), nullptr};

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    if (as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(126);
    }
    // After the change of user, which clears it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    const int null_fd = open("/dev/null", O_RDWR);
    const int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(log_fd >= 0 ? log_fd : null_fd, 2);
    execvpe("sway", argv.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) {
    error_ = "fork failed";
    return;
  }
  pid_ = pid;

  // sway names its socket wayland-N in its runtime folder, N the first free number.
  const auto limit = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < limit) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      std::ifstream in(log);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      error_ = "sway ended at start; its log:\n" +
               text.substr(text.size() > 4000 ? text.size() - 4000 : 0);
      return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      const std::string name = entry.path().filename();
      if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos &&
          CanConnect(entry.path())) {
        socket_ = entry.path();
        return;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  error_ = "sway did not open its socket within " +
           std::to_string(std::chrono::seconds(kStartLimit).count()) + " s";
  Stop();
}

HeadlessSway::~HeadlessSway() {
  Stop();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

void HeadlessSway::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace sonlet
