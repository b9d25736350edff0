// SPDX-License-Identifier: GPL-3.0-or-later
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

std::string WriteAutostartEntry(int* error) {
  int unused = 0;
  if (error == nullptr) error = &unused;
  *error = ENOENT;
  const std::string path = AutostartEntryPath();
  if (path.empty()) return "neither XDG_CONFIG_HOME nor HOME is set";
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (made) {
    // Something that is not a folder stands where one of the folders should be.
    *error = made.value() == EEXIST ? ENOTDIR : made.value();
    return "cannot make the folder '" + folder.string() + "': " + made.message();
  }
  *error = ReplaceSettingsFile(path, AutostartEntryText());
  if (*error != 0) return "cannot write '" + path + "': " + FileErrorText(*error);
  return "";
}

std::string RemoveAutostartEntry(int* error) {
  int unused = 0;
  if (error == nullptr) error = &unused;
  *error = 0;
  const std::string path = AutostartEntryPath();
  if (path.empty()) return "";
  std::error_code removed;
  std::filesystem::remove(path, removed);
  if (removed) {
    *error = removed.value();
    return "cannot remove '" + path + "': " + removed.message();
  }
  return "";
}

}  // namespace sonlet
