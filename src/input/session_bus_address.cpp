#include "input/session_bus_address.h"

#include <sys/stat.h>

#include <cstdlib>

namespace sonlet {

std::string SessionBusAddress(std::string* why) {
  const char* named = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (named != nullptr) {
    if (named[0] == '\0') *why = "DBUS_SESSION_BUS_ADDRESS is set to nothing";
    return named;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] == '\0') {
    *why = "DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are not set";
    return "";
  }
  const std::string socket = std::string(runtime) + "/bus";
  struct stat socket_status {};
  if (::stat(socket.c_str(), &socket_status) != 0 || !S_ISSOCK(socket_status.st_mode)) {
    *why = "DBUS_SESSION_BUS_ADDRESS is not set and there is no " + socket;
    return "";
  }
  return "unix:path=" + socket;
}

}  // namespace sonlet
