#include "settings/autostart_entry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "settings/profile_file.h"

namespace sonlet {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string AutostartEntryPath() {
  std::string config = Variable("XDG_CONFIG_HOME");
  // The rule: a relative path in the variable is to be ignored.
  if (config.empty() || config[0] != '/') {
    const std::string home = Variable("HOME");
    if (home.empty()) return "";
    config = home + "/.config";
  }
  return config + "/autostart/org.sonlet.Sonlet.desktop";
}

std::string AutostartEntryText() {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Sonlet\n"
         "Comment=Mueve el puntero del ratón con vocales y hace clic con la voz\n"
         "Comment[en]=Move the mouse pointer with vowels and click with your voice\n"
         "Exec=sonlet-launch\n"
         "Icon=org.sonlet.Sonlet\n"
         "Terminal=false\n";
}

bool AutostartEntryExists() {
  const std::string path = AutostartEntryPath();
  std::error_code error;
  return !path.empty() && std::filesystem::exists(path, error);
}

std::string WriteAutostartEntry() {
  const std::string path = AutostartEntryPath();
  if (path.empty()) return "neither XDG_CONFIG_HOME nor HOME is set";
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return "cannot make the folder '" + folder.string() + "': " + error.message();
  if (const int why = ReplaceSettingsFile(path, AutostartEntryText()); why != 0) {
    return "cannot write '" + path + "': " + FileErrorText(why);
  }
  return "";
}

std::string RemoveAutostartEntry() {
  const std::string path = AutostartEntryPath();
  if (path.empty()) return "";
  std::error_code error;
  std::filesystem::remove(path, error);
  if (error) return "cannot remove '" + path + "': " + error.message();
  return "";
}

}  // namespace sonlet
