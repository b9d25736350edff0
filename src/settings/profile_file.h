// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "settings/profile.h"
#include "settings/settings_file.h"

namespace sonlet {

// The user's six settings, kept from one run to the next in a small text file in the current
// directory: six decimal integers, one per line, in the order threshold, click minimum, click
// maximum, height, speed, sex (the order of Profile's members).

// The bare name of the profile file; the panel and the command line look for it in the current
// directory.
inline constexpr const char* kProfileFileName = "user.txt";

// What the caller shows when the profile cannot be read (then it ends with status 1). This one
// message is in English, as the users of the tool know it.
inline constexpr const char* kProfileOpenError = "Error opening user.txt";

// What the caller shows when the profile cannot be written (then it ends with status 1).
inline constexpr const char* kProfileWriteError = "Error abriendo user.txt para escritura";

enum class ProfileStatus {
  kOk,
  kCannotOpen,   // no file, or it cannot be opened for reading: show kProfileOpenError
  kCannotWrite,  // the file cannot be replaced: show kProfileWriteError; the old file is intact
};

// Reads the profile at `path` into *profile (which must not be null). The file is read as six
// whitespace-separated integers, each an optional sign and a run of decimal digits. A setting
// whose number is missing or malformed, and every setting after it, gets the fallback of
// Profile{}; the sixth makes a male user only when it is exactly 1. A short, empty or malformed
// file is not an error. A number beyond the 32-bit range reads as the nearest end of that range.
// A file that is not a regular file (a device, a pipe) or is larger than kSettingsFileLimit is
// not a profile and cannot be opened. On kCannotOpen *profile is left as it was, and *error
// (when given) holds why, as ReadSettingsFile gives it.
ProfileStatus ReadProfile(const std::string& path, Profile* profile, int* error = nullptr);

// The line that follows kProfileOpenError: which file was tried, and why it could not be opened.
std::string ProfileOpenDetail(const std::string& path, int error);

// Replaces the file at `path` by the six settings, one "%d\n" line each, as ReplaceSettingsFile
// saves: whole, or not at all with the old file as it was (kCannotWrite, and *error, when given,
// holds why).
ProfileStatus WriteProfile(const std::string& path, const Profile& profile, int* error = nullptr);

// The line that follows kProfileWriteError: which file, and why it could not be written.
std::string ProfileWriteDetail(const std::string& path, int error);

// Removes what saves of this profile left behind when their process was killed before the
// rename: temporaries beside the file named after it with ".tmp", a process id and a number,
// whose process no longer exists. Returns how many it removed.
int RemoveProfileLeftovers(const std::string& path);

}  // namespace sonlet
