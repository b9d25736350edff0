// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/profile_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace sonlet {

namespace {

// The characters skipped before each number: the white space of the C locale.
bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Reads one number the way "%d" does: white space, an optional sign, then at least one decimal
// digit. Returns false, storing nothing, when anything else comes first or the file ends; the
// caller then gives up on this and every later setting, so the position after a failure does
// not matter. A number beyond the 32-bit range gives the nearest end of the range, as strtol
// does for its own type, so that a hand-edited file with a huge number reads the same on every
// machine and never overflows.
bool ReadNumber(const std::string& text, size_t* at, int32_t* value) {
  size_t i = *at;
  const auto c = [&] { return i < text.size() ? static_cast<unsigned char>(text[i]) : EOF; };
  while (IsSpace(c())) ++i;
  bool negative = false;
  if (c() == '+' || c() == '-') {
    negative = c() == '-';
    ++i;
  }
  if (!IsDigit(c())) return false;

  // The magnitude stops growing once it passes 2^31, the largest any 32-bit result needs (for
  // INT32_MIN), so a run of digits of any length can neither overflow nor take more than one
  // pass.
  constexpr int64_t kMagnitudeCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  while (IsDigit(c())) {
    if (magnitude <= kMagnitudeCap) magnitude = magnitude * 10 + (c() - '0');
    ++i;
  }
  // The character after the digits belongs to the next number.
  *at = i;

  const int64_t signed_value = negative ? -magnitude : magnitude;
  *value = static_cast<int32_t>(std::clamp<int64_t>(
      signed_value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  return true;
}

// The six lines of the file, "%d\n" each, in file order.
std::string FormatProfile(const Profile& profile) {
  const int32_t values[] = {profile.threshold, profile.click_min, profile.click_max,
                            profile.height,    profile.speed,     profile.male};
  std::string text;
  for (int32_t value : values) {
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, end.ptr);
    text.push_back('\n');
  }
  return text;
}

// Whether `name` is `profile_name` followed by ".tmp", a process id, "-" and a number, and if
// so that process id.
bool IsTemporaryOf(const std::string& name, const std::string& profile_name, pid_t* pid) {
  const std::string prefix = profile_name + ".tmp";
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string rest = name.substr(prefix.size());
  const size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size()) return false;
  const auto digits = [](const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return IsDigit(c); });
  };
  if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)) || dash > 9) return false;
  *pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
  return true;
}

}  // namespace

ProfileStatus ReadProfile(const std::string& path, Profile* profile, int* error) {
  int unused = 0;
  if (error == nullptr) error = &unused;
  std::string text;
  *error = ReadSettingsFile(path, &text);
  if (*error != 0) return ProfileStatus::kCannotOpen;

  Profile read;
  int32_t* const fields[] = {&read.threshold, &read.click_min, &read.click_max, &read.height,
                             &read.speed};
  bool readable = true;
  size_t at = 0;
  for (int32_t* field : fields) {
    readable = readable && ReadNumber(text, &at, field);
  }
  int32_t sex = 0;
  readable = readable && ReadNumber(text, &at, &sex);
  read.male = readable && sex == 1 ? 1 : 0;

  *profile = read;
  return ProfileStatus::kOk;
}

ProfileStatus WriteProfile(const std::string& path, const Profile& profile, int* error) {
  const int why = ReplaceSettingsFile(path, FormatProfile(profile));
  if (error != nullptr) *error = why;
  return why == 0 ? ProfileStatus::kOk : ProfileStatus::kCannotWrite;
}

int RemoveProfileLeftovers(const std::string& path) {
  std::string target;
  if (SaveTarget(path, &target) != 0) return 0;
  const size_t slash = target.rfind('/');
  const std::string directory =
      slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  DIR* folder = ::opendir(directory.c_str());
  if (folder == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(folder)) {
    pid_t pid = 0;
    if (!IsTemporaryOf(entry->d_name, name, &pid)) continue;
    // A save still running in another Sonlet keeps its temporary; a process that no longer
    // exists will never finish its save.
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    if (::unlink((directory + "/" + entry->d_name).c_str()) == 0) ++removed;
  }
  ::closedir(folder);
  return removed;
}

std::string ProfileOpenDetail(const std::string& path, int error) {
  return "sonlet: cannot open the settings file '" + path + "': " + FileErrorText(error) + ".";
}

std::string ProfileWriteDetail(const std::string& path, int error) {
  return "sonlet: cannot write the settings file '" + path + "': " + FileErrorText(error) + ".";
}

}  // namespace sonlet
