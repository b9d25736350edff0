// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace sonlet {

// How Sonlet reads and saves the small text files it keeps (the profile, the panel's options,
// the calibration): never more than a settings file can hold, never from a device or a pipe,
// and never through a link that someone else planted in a shared folder.

// The most any of these files holds by far is a few hundred bytes; a file larger than this is
// not one of them, and reading it whole would cost the user memory and time for nothing.
inline constexpr size_t kSettingsFileLimit = 64 * 1024;

// Why a file cannot be used beyond what an error number can say. They are below zero, so that
// one int carries either an error number (errno) or one of these.
inline constexpr int kNotARegularFile = -1;  // a device, a pipe or a socket
inline constexpr int kFileTooLarge = -2;     // more than kSettingsFileLimit bytes
inline constexpr int kForeignLink = -3;      // a link another user owns, in a shared folder

// Reads the whole file at `path` into *text. Returns 0, or why not: an error number
// (ENOENT when there is no file, EISDIR for a folder) or kNotARegularFile or kFileTooLarge.
// Opening never waits, not even for a pipe that no one writes.
int ReadSettingsFile(const std::string& path, std::string* text);

// Why, in English, for the terminal: the error number's own text or Sonlet's.
std::string FileErrorText(int error);

// Replaces the file at `path` by `text`: the text goes to a temporary file in the same folder,
// which is flushed to the disk and then renamed over the old one, so a failure at any step
// leaves the old file as it was and no temporary behind. Through the user's own symbolic link
// the file it points to is replaced; a link that another user owns in a folder that anyone may
// write and only owners may delete from (such as /tmp) is not followed, as the kernel itself
// would not, and the save is refused with kForeignLink. An existing file keeps its permission
// bits; a file the user may not write, a folder, a device or a path in a missing folder is
// refused. Returns 0 or why not, as ReadSettingsFile.
int ReplaceSettingsFile(const std::string& path, const std::string& text);

// Whether ReplaceSettingsFile could write `path` now: 0, or why not. For work that takes the
// user's time before its result is saved, so that a save bound to fail is known first.
int CheckSettingsFileWritable(const std::string& path);

// The file a save of `path` replaces, following the user's own links (see ReplaceSettingsFile).
// Returns 0 with *target set, or why not.
int SaveTarget(const std::string& path, std::string* target);

}  // namespace sonlet
