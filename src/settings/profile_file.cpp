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

class InputFile {
 public:
  explicit InputFile(std::FILE* file) : file_(file) {}
  ~InputFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

// Reads one number the way "%d" does: white space, an optional sign, then at least one decimal
// digit. Returns false, storing nothing, when anything else comes first or the file ends; the
// caller then gives up on this and every later setting, so the position after a failure does
// not matter. A number beyond the 32-bit range gives the nearest end of the range, as strtol
// does for its own type, so that a hand-edited file with a huge number reads the same on every
// machine and never overflows.
bool ReadNumber(std::FILE* file, int32_t* value) {
  int c = std::getc(file);
  while (IsSpace(c)) c = std::getc(file);
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = std::getc(file);
  }
  if (!IsDigit(c)) return false;

  // The magnitude stops growing once it passes 2^31, the largest any 32-bit result needs (for
  // INT32_MIN), so a run of digits of any length can neither overflow nor take more than one
  // pass.
  constexpr int64_t kMagnitudeCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  while (IsDigit(c)) {
    if (magnitude <= kMagnitudeCap) magnitude = magnitude * 10 + (c - '0');
    c = std::getc(file);
  }
  // The character after the digits belongs to the next number (end of file is not pushed).
  if (c != EOF) std::ungetc(c, file);

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

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;  // a regular file that takes nothing is as full as it gets
    done += static_cast<size_t>(written);
  }
  return true;
}

// The directory entry of a renamed file reaches the disk with its directory. By then the new
// file is in place, so a failure here cannot be reported as "the old file is intact" and is
// left unexamined.
void SyncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string directory =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The file a path names, through symbolic links; the path itself when it names nothing yet.
std::string Resolved(const std::string& path) {
  std::string target = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    target = resolved;
    std::free(resolved);
  }
  return target;
}

// The temporary a save of `target` writes first: the profile's own name, ".tmp", the process
// id and a number that differs between saves running at once (O_EXCL tells them apart).
std::string TemporaryName(const std::string& target, int number) {
  return target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(number);
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
  InputFile file(std::fopen(path.c_str(), "r"));
  if (file.get() == nullptr) {
    *error = errno;
    return ProfileStatus::kCannotOpen;
  }
  // A directory opens for reading on this platform but holds no profile.
  struct stat info {};
  if (::fstat(::fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
    *error = EISDIR;
    return ProfileStatus::kCannotOpen;
  }

  Profile read;
  int32_t* const fields[] = {&read.threshold, &read.click_min, &read.click_max, &read.height,
                             &read.speed};
  bool readable = true;
  for (int32_t* field : fields) {
    readable = readable && ReadNumber(file.get(), field);
  }
  int32_t sex = 0;
  readable = readable && ReadNumber(file.get(), &sex);
  read.male = readable && sex == 1 ? 1 : 0;

  *profile = read;
  return ProfileStatus::kOk;
}

bool ReplaceFileContents(const std::string& path, const std::string& text) {
  // Through a symbolic link the file it points to is replaced, not the link. A dangling link
  // has no file to resolve to and is replaced by the new file.
  const std::string target = Resolved(path);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists) {
    if (!S_ISREG(existing.st_mode)) return false;
    // The rename would replace a file the user has made read-only; a read-only profile is one
    // that cannot be opened for writing, and stays as it is.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
      return false;
    }
  }

  // The temporary sits beside the file, so the rename stays within one file system, and its
  // name starts with the file's, so a leftover from a power cut is recognisable.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryName(target, attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  // A new file gets the usual 0666 less the umask from open(); an existing one keeps its bits,
  // so a chmod by the user survives the save.
  bool ok = !exists || ::fchmod(fd, existing.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, text);
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectoryOf(target);
  return true;
}

ProfileStatus WriteProfile(const std::string& path, const Profile& profile) {
  return ReplaceFileContents(path, FormatProfile(profile)) ? ProfileStatus::kOk
                                                           : ProfileStatus::kCannotWrite;
}

int RemoveProfileLeftovers(const std::string& path) {
  const std::string target = Resolved(path);
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
  return "sonlet: cannot open the settings file '" + path + "': " + std::strerror(error) + ".";
}

}  // namespace sonlet
