// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace sonlet {

namespace {

// Symbolic links followed in one save before giving up, as the kernel's own limit.
constexpr int kMostLinks = 40;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = ENOSPC;  // a regular file that takes nothing is as full as it gets
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

// The directory entry of a renamed file reaches the disk with its directory. By then the new
// file is in place, so a failure here cannot be reported as "the old file is intact" and is
// left unexamined.
void SyncDirectoryOf(const std::string& path) {
  const FileDescriptor folder(
      ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
}

// The temporary a save of `target` writes first: the file's own name, ".tmp", the process id
// and a number that differs between saves running at once (O_EXCL tells them apart). The
// profile's leftovers are recognised by this shape.
std::string TemporaryName(const std::string& target, int number) {
  return target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(number);
}

// The kernel's rule for links in shared folders (protected_symlinks), applied to a link that
// Sonlet resolves itself: in a folder that anyone may write and only owners may delete from, a
// link is followed only when the one who follows it, or the folder's owner, owns it. Anyone
// else's link there may point wherever its owner likes.
bool MayFollow(const struct stat& link, const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return false;
  const bool shared = (info.st_mode & S_ISVTX) != 0 && (info.st_mode & S_IWOTH) != 0;
  return !shared || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

// Why the file `target` (which SaveTarget gave) cannot be replaced, or 0; *existing tells
// whether it is there and, if so, its status.
int ReplaceableTarget(const std::string& target, bool* exists, struct stat* existing) {
  *exists = ::stat(target.c_str(), existing) == 0;
  if (!*exists) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(existing->st_mode)) return EISDIR;
  if (!S_ISREG(existing->st_mode)) return kNotARegularFile;
  // The rename would replace a file the user has made read-only; a read-only file is one that
  // cannot be opened for writing, and stays as it is.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
  return 0;
}

}  // namespace

int ReadSettingsFile(const std::string& path, std::string* text) {
  // Without O_NONBLOCK the open of a pipe would wait for a writer that may never come.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) return errno;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  if (!S_ISREG(info.st_mode)) return kNotARegularFile;
  if (info.st_size > static_cast<off_t>(kSettingsFileLimit)) return kFileTooLarge;

  // The size may change while it is read: one byte beyond the limit is enough to know.
  std::string read(kSettingsFileLimit + 1, '\0');
  size_t done = 0;
  while (done < read.size()) {
    const ssize_t got = ::read(file.get(), read.data() + done, read.size() - done);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  if (done > kSettingsFileLimit) return kFileTooLarge;
  read.resize(done);
  *text = std::move(read);
  return 0;
}

std::string FileErrorText(int error) {
  switch (error) {
    case kNotARegularFile:
      return "it is not a regular file (it is a device, a pipe or a socket)";
    case kFileTooLarge:
      return "it is larger than " + std::to_string(kSettingsFileLimit / 1024) +
             " KiB, far more than such a file holds";
    case kForeignLink:
      return "it is a symbolic link that another user owns in a shared folder, and Sonlet does "
             "not write through it; remove the link or use another folder";
    default:
      return std::strerror(error);
  }
}

int SaveTarget(const std::string& path, std::string* target) {
  std::string current = path;
  for (int hop = 0; hop <= kMostLinks; ++hop) {
    struct stat link {};
    if (::lstat(current.c_str(), &link) != 0) {
      if (errno != ENOENT) return errno;
      // A dangling link has no file to point to: the new file takes the link's place.
      *target = hop == 0 ? current : path;
      return 0;
    }
    if (!S_ISLNK(link.st_mode)) {
      *target = current;
      return 0;
    }
    const std::string folder = DirectoryOf(current);
    if (!MayFollow(link, folder)) return kForeignLink;
    char destination[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), destination, sizeof destination - 1);
    if (length < 0) return errno;
    const std::string next(destination, static_cast<size_t>(length));
    current =
        next.front() == '/' || current.find('/') == std::string::npos ? next : folder + "/" + next;
  }
  return ELOOP;
}

int CheckSettingsFileWritable(const std::string& path) {
  std::string target;
  if (const int error = SaveTarget(path, &target); error != 0) return error;
  bool exists = false;
  struct stat existing {};
  if (const int error = ReplaceableTarget(target, &exists, &existing); error != 0) return error;
  // The temporary is made in the file's folder, which must therefore be there and writable.
  const std::string folder = DirectoryOf(target);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return errno;
  return 0;
}

int ReplaceSettingsFile(const std::string& path, const std::string& text) {
  std::string target;
  if (const int error = SaveTarget(path, &target); error != 0) return error;
  bool exists = false;
  struct stat existing {};
  if (const int error = ReplaceableTarget(target, &exists, &existing); error != 0) return error;

  // The temporary sits beside the file, so the rename stays within one file system, and its
  // name starts with the file's, so a leftover from a power cut is recognisable.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryName(target, attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;

  // A new file gets the usual 0666 less the umask from open(); an existing one keeps its bits,
  // so a chmod by the user survives the save.
  bool ok = !exists || ::fchmod(fd, existing.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, text);
  ok = ok && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return error != 0 ? error : EIO;
  }
  SyncDirectoryOf(target);
  return 0;
}

}  // namespace sonlet
