// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/profile_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace sonlet {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();

// The six lines a writer makes, built independently of the code under test.
std::string LinesOf(const std::vector<int64_t>& values) {
  std::string text;
  for (int64_t value : values) text += std::to_string(value) + "\n";
  return text;
}

void PutBytes(const fs::path& path, const std::string& bytes) {
  // A fresh file rather than a truncated one: some file systems flush a truncated file to the
  // disk when it is closed, which makes thousands of inputs slow.
  std::error_code ignored;
  fs::remove(path, ignored);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string BytesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> EntriesOf(const fs::path& directory) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Every test works on real files in a directory of its own.
class ProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sonlet-profile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    user_ = dir_ / kProfileFileName;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Reads `text` as the profile file; a profile with other values goes in, so that a reader
  // that keeps what it was given instead of the fallbacks shows.
  Profile ReadText(const std::string& text) {
    PutBytes(user_, text);
    Profile profile{-9, -9, -9, -9, -9, -9};
    EXPECT_EQ(ReadProfile(user_.string(), &profile), ProfileStatus::kOk);
    return profile;
  }

  fs::path dir_;
  fs::path user_;
};

class ProfileRead : public ProfileFiles {};
class ProfileWrite : public ProfileFiles {};
class ProfileRandomInput : public ProfileFiles {};

// The fallbacks with one member changed.
Profile FallbacksWith(int32_t Profile::*member, int32_t value) {
  Profile profile;
  profile.*member = value;
  return profile;
}

const std::string kSixLines = "45\n3\n20\n80\n50\n1\n";
const Profile kSixValues{45, 3, 20, 80, 50, 1};

TEST_F(ProfileRead, SixLinesReadAndWriteBackTheSameBytes) {
  EXPECT_EQ(ReadText(kSixLines), kSixValues);

  Profile profile;
  ASSERT_EQ(ReadProfile(user_.string(), &profile), ProfileStatus::kOk);
  ASSERT_EQ(WriteProfile(user_.string(), profile), ProfileStatus::kOk);
  EXPECT_EQ(BytesOf(user_), kSixLines);
}

TEST_F(ProfileRead, AnyWhiteSpaceSeparatesTheNumbers) {
  EXPECT_EQ(ReadText("45 3 20 80 50 1"), kSixValues);
  EXPECT_EQ(ReadText("45 3 20 80 50 1\n"), kSixValues);
  EXPECT_EQ(ReadText("  45\t\t3 \v20\f80   50\r1"), kSixValues);
  EXPECT_EQ(ReadText("45\r\n3\r\n20\r\n80\r\n50\r\n1\r\n"), kSixValues);
  EXPECT_EQ(ReadText("\n\n45\n\n3\r\n20 80\n50\n1"), kSixValues);
}

TEST_F(ProfileRead, OnlyASixthValueOfOneIsMale) {
  for (int32_t sixth : {2, -1, 0, 11, kInt32Max}) {
    const std::string first_five = LinesOf({45, 3, 20, 80, 50});
    const Profile profile = ReadText(first_five + std::to_string(sixth) + "\n");
    Profile female = kSixValues;
    female.male = 0;
    EXPECT_EQ(profile, female) << sixth;
    ASSERT_EQ(WriteProfile(user_.string(), profile), ProfileStatus::kOk);
    EXPECT_EQ(BytesOf(user_), first_five + "0\n") << sixth;
  }
  EXPECT_EQ(ReadText("45 3 20 80 50 +1").male, 1);
  EXPECT_EQ(ReadText("45 3 20 80 50 0001").male, 1);
}

TEST_F(ProfileRead, MissingValuesKeepTheirFallbacks) {
  const Profile fallbacks;

  Profile five = fallbacks;
  five.threshold = 45, five.click_min = 3, five.click_max = 20, five.height = 80;
  five.speed = 50;
  EXPECT_EQ(ReadText(LinesOf({45, 3, 20, 80, 50})), five);

  // With four values the speed has no number and keeps its own fallback.
  Profile four = five;
  four.speed = fallbacks.speed;
  EXPECT_EQ(ReadText(LinesOf({45, 3, 20, 80})), four);

  EXPECT_EQ(ReadText(""), fallbacks);
  EXPECT_EQ(ReadText(" \r\n\t\n"), fallbacks);
}

TEST_F(ProfileRead, JunkStopsThisAndEveryLaterValue) {
  EXPECT_EQ(ReadText("40abc\n3\n20\n80\n50\n1\n"), FallbacksWith(&Profile::threshold, 40));
  EXPECT_EQ(ReadText("abc\n3\n20\n80\n50\n1\n"), Profile{});
  // A sign with no digits after it is not a number.
  EXPECT_EQ(ReadText("40\n- 3\n20\n80\n50\n1\n"), FallbacksWith(&Profile::threshold, 40));
  EXPECT_EQ(ReadText("40\n+-3\n20\n80\n50\n1\n"), FallbacksWith(&Profile::threshold, 40));
  // A NUL byte is neither white space nor a digit.
  const char with_nul[] =
      "40\n\0"
      "3\n20\n80\n50\n1\n";
  EXPECT_EQ(ReadText(std::string(with_nul, sizeof with_nul - 1)),
            FallbacksWith(&Profile::threshold, 40));
  // Decimal only: "0x10" is the number 0 followed by junk.
  EXPECT_EQ(ReadText("0x10 3 20 80 50 1"), FallbacksWith(&Profile::threshold, 0));
}

TEST_F(ProfileRead, SignsAreTaken) {
  EXPECT_EQ(ReadText("+7\n-3\n-0\n+0\n-100\n+1\n"), (Profile{7, -3, 0, 0, -100, 1}));
}

TEST_F(ProfileRead, NumbersBeyondThirtyTwoBitsGiveTheNearestEnd) {
  const int64_t above = int64_t{kInt32Max} + 1;
  const int64_t below = int64_t{kInt32Min} - 1;
  EXPECT_EQ(ReadText(LinesOf({above, below, kInt32Max, kInt32Min, 99})),
            (Profile{kInt32Max, kInt32Min, kInt32Max, kInt32Min, 99, 0}));

  const std::string huge(40, '9');
  EXPECT_EQ(ReadText(huge + " -" + huge + " 1 2 3 1"), (Profile{kInt32Max, kInt32Min, 1, 2, 3, 1}));
  // Leading zeros do not count towards the size.
  EXPECT_EQ(ReadText(std::string(40, '0') + "42 -" + std::string(40, '0') + "7 1 2 3 1"),
            (Profile{42, -7, 1, 2, 3, 1}));
  // A huge sixth value is not 1.
  EXPECT_EQ(ReadText("1 2 3 4 5 " + std::to_string(int64_t{1} << 32 | 1)).male, 0);
}

TEST_F(ProfileRead, LongRunsAreReadInOnePass) {
  // As long as a profile may be: the whole file at the size limit.
  const std::string digits(kSettingsFileLimit - 10, '7');
  EXPECT_EQ(ReadText(digits + " 1 2 3 4 1"), (Profile{kInt32Max, 1, 2, 3, 4, 1}));
  const std::string blanks(kSettingsFileLimit - 11, ' ');
  EXPECT_EQ(ReadText(blanks + "7 1 2 3 4 1"), (Profile{7, 1, 2, 3, 4, 1}));
}

TEST_F(ProfileRead, MissingFileCannotBeOpened) {
  Profile profile{1, 2, 3, 4, 5, 1};
  const Profile before = profile;
  EXPECT_EQ(ReadProfile((dir_ / "absent.txt").string(), &profile), ProfileStatus::kCannotOpen);
  EXPECT_EQ(profile, before);
  EXPECT_EQ(ReadProfile(dir_.string(), &profile), ProfileStatus::kCannotOpen);
  EXPECT_EQ(profile, before);
}

TEST_F(ProfileWrite, WritesSixLinesInFileOrder) {
  const Profile profile{kInt32Min, -1, 0, kInt32Max, 7, 1};
  ASSERT_EQ(WriteProfile(user_.string(), profile), ProfileStatus::kOk);
  EXPECT_EQ(BytesOf(user_), LinesOf({kInt32Min, -1, 0, kInt32Max, 7, 1}));
  Profile back;
  ASSERT_EQ(ReadProfile(user_.string(), &back), ProfileStatus::kOk);
  EXPECT_EQ(back, profile);
  EXPECT_EQ(EntriesOf(dir_), std::vector<std::string>{kProfileFileName});
}

TEST_F(ProfileWrite, ReplacesALongerFileWhole) {
  PutBytes(user_, std::string(1000, '5'));
  ASSERT_EQ(WriteProfile(user_.string(), kSixValues), ProfileStatus::kOk);
  EXPECT_EQ(BytesOf(user_), kSixLines);
  EXPECT_EQ(EntriesOf(dir_), std::vector<std::string>{kProfileFileName});
}

TEST_F(ProfileWrite, MissingDirectoryCannotBeWritten) {
  const fs::path absent = dir_ / "absent";
  EXPECT_EQ(WriteProfile((absent / kProfileFileName).string(), kSixValues),
            ProfileStatus::kCannotWrite);
  EXPECT_FALSE(fs::exists(absent));
  EXPECT_TRUE(EntriesOf(dir_).empty());
}

TEST_F(ProfileWrite, DirectoryCannotBeWritten) {
  ASSERT_TRUE(fs::create_directory(user_));
  EXPECT_EQ(WriteProfile(user_.string(), kSixValues), ProfileStatus::kCannotWrite);
  EXPECT_TRUE(fs::is_directory(user_));
  EXPECT_TRUE(EntriesOf(user_).empty());
  EXPECT_EQ(EntriesOf(dir_), std::vector<std::string>{kProfileFileName});
}

// Makes every write past `bytes` bytes of a file fail, as a full disk does, for as long as it
// lives. The signal the kernel sends with the failure is ignored so that write() reports it.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    saved_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    applied_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, saved_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool applied() const { return applied_; }

 private:
  rlimit saved_{};
  sighandler_t saved_handler_ = SIG_DFL;
  bool applied_ = false;
};

TEST_F(ProfileWrite, FailedWriteLeavesTheOldFileAndNoTemporary) {
  PutBytes(user_, kSixLines);
  const Profile changed{90, 1, 50, 0, 100, 0};
  ProfileStatus status;
  {
    // Room for the first line only.
    FileSizeLimit limit(3);
    ASSERT_TRUE(limit.applied());
    status = WriteProfile(user_.string(), changed);
  }
  EXPECT_EQ(status, ProfileStatus::kCannotWrite);
  EXPECT_EQ(BytesOf(user_), kSixLines);
  EXPECT_EQ(EntriesOf(dir_), std::vector<std::string>{kProfileFileName});

  // The same write with room succeeds.
  ASSERT_EQ(WriteProfile(user_.string(), changed), ProfileStatus::kOk);
  EXPECT_EQ(BytesOf(user_), LinesOf({90, 1, 50, 0, 100, 0}));
  EXPECT_EQ(EntriesOf(dir_), std::vector<std::string>{kProfileFileName});
}

TEST_F(ProfileWrite, ReadOnlyFileStaysAsItIs) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "the superuser may write any file, so a read-only file does not fail here";
  }
  PutBytes(user_, kSixLines);
  fs::permissions(user_, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(WriteProfile(user_.string(), Profile{}), ProfileStatus::kCannotWrite);
  EXPECT_EQ(BytesOf(user_), kSixLines);
  EXPECT_EQ(EntriesOf(dir_), std::vector<std::string>{kProfileFileName});
}

TEST_F(ProfileWrite, KeepsThePermissionsOfAnExistingFile) {
  PutBytes(user_, kSixLines);
  const fs::perms chosen = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(user_, chosen);
  ASSERT_EQ(WriteProfile(user_.string(), Profile{}), ProfileStatus::kOk);
  EXPECT_EQ(fs::status(user_).permissions(), chosen);
}

TEST_F(ProfileWrite, NewFileFollowsTheUmask) {
  const mode_t umask_now = ::umask(0);
  ::umask(umask_now);
  ASSERT_EQ(WriteProfile(user_.string(), Profile{}), ProfileStatus::kOk);
  struct stat info {};
  ASSERT_EQ(::stat(user_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0666u & ~umask_now);
}

TEST_F(ProfileWrite, ThroughALinkTheLinkedFileIsReplaced) {
  const fs::path real = dir_ / "settings.txt";
  PutBytes(real, kSixLines);
  fs::create_symlink(real.filename(), user_);
  ASSERT_EQ(WriteProfile(user_.string(), Profile{}), ProfileStatus::kOk);
  EXPECT_TRUE(fs::is_symlink(user_));
  const Profile f;
  EXPECT_EQ(BytesOf(real),
            LinesOf({f.threshold, f.click_min, f.click_max, f.height, f.speed, f.male}));
  EXPECT_EQ(EntriesOf(dir_), (std::vector<std::string>{"settings.txt", kProfileFileName}));
}

// What the C library's own "%d%d%d%d%d%d" makes of `text`, applied to the profile's rules: the
// first five conversions that succeed go to the members, the others keep their fallbacks, and
// the sixth makes a male user only when it converted to 1. Only valid when no number in `text`
// has more than nine digits, where the library's behaviour is defined.
// *converted tells how many of the six numbers the library took.
Profile Oracle(const std::string& text, int* converted) {
  int v[6] = {};
  const int assigned =
      std::sscanf(text.c_str(), "%d%d%d%d%d%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
  *converted = std::max(assigned, 0);  // EOF when the text ends before the first number
  Profile expected;
  int32_t* const fields[] = {&expected.threshold, &expected.click_min, &expected.click_max,
                             &expected.height, &expected.speed};
  for (int i = 0; i < std::min(*converted, 5); ++i) *fields[i] = v[i];
  expected.male = *converted == 6 && v[5] == 1 ? 1 : 0;
  return expected;
}

size_t LongestDigitRun(const std::string& text) {
  size_t longest = 0, run = 0;
  for (char c : text) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// Mostly numbers and white space, so that many inputs convert all six values, with signs and
// arbitrary bytes (NUL included) mixed in to break them at every position.
std::string RandomInput(std::mt19937& rng) {
  static const char kSpaces[] = {' ', '\t', '\n', '\r', '\v', '\f'};
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  std::string text;
  const int tokens = pick(16);
  for (int t = 0; t < tokens; ++t) {
    switch (pick(10)) {
      case 0:
        text.push_back(static_cast<char>(pick(256)));
        break;
      case 1:
        text.push_back("+-"[pick(2)]);
        break;
      case 2:
      case 3:
      case 4:
        for (int n = 1 + pick(3); n > 0; --n) text.push_back(kSpaces[pick(6)]);
        break;
      default:
        if (pick(3) == 0) text.push_back("+-"[pick(2)]);
        for (int n = 1 + pick(9); n > 0; --n) text.push_back(static_cast<char>('0' + pick(10)));
        if (pick(4) != 0) text.push_back(kSpaces[pick(6)]);
        break;
    }
  }
  return text;
}

TEST_F(ProfileRandomInput, AgreesWithTheCLibrary) {
  std::mt19937 rng(20240611);
  constexpr int kInputs = 4000;
  int compared = 0;
  int by_converted[7] = {};
  for (int i = 0; i < kInputs; ++i) {
    const std::string text = RandomInput(rng);
    const Profile profile = ReadText(text);  // must come back, whatever the input
    if (LongestDigitRun(text) > 9) continue;
    int converted = 0;
    const Profile expected = Oracle(text, &converted);
    ++compared;
    ++by_converted[converted];
    ASSERT_EQ(profile, expected) << "input #" << i << ": \"" << text << "\"";
  }
  // The comparison covered most inputs, and inputs that stop at every one of the six values.
  EXPECT_GT(compared, kInputs * 3 / 4);
  for (int converted = 0; converted <= 6; ++converted) {
    EXPECT_GT(by_converted[converted], 20) << converted << " values converted";
  }
}

}  // namespace

}  // namespace sonlet
