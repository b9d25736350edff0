// SPDX-License-Identifier: GPL-3.0-or-later
// The program as it meets bad input and a hostile world: broken and odd recordings, profiles
// with any number in them, outputs that fail, inputs that never come, and signals at any moment.
// Every case must end with a message, a defined status and nothing left held or half written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/live_program.h"
#include "cli/run_program.h"
#include "support/x_watcher.h"
#include "support/xvfb_server.h"

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSonlet = SONLET_BINARY;
const std::string kData = SONLET_DATA_DIR;
const std::string kProfile = kData + "/user.txt";
const std::string kSession = kData + "/session.wav";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Put32(std::string* bytes, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<char>(v >> (8 * i)));
}
void Put16(std::string* bytes, uint16_t v) {
  bytes->push_back(static_cast<char>(v));
  bytes->push_back(static_cast<char>(v >> 8));
}

// A mono WAV file: `format` 1 for 16-bit integers, 3 for 32-bit floats, holding `data`.
std::string Wav(int format, uint32_t rate, const std::string& data) {
  const uint16_t bytes_per_sample = format == 3 ? 4 : 2;
  std::string w = "RIFF";
  Put32(&w, static_cast<uint32_t>(36 + data.size()));
  w += "WAVEfmt ";
  Put32(&w, 16);
  Put16(&w, static_cast<uint16_t>(format));
  Put16(&w, 1);
  Put32(&w, rate);
  Put32(&w, rate * bytes_per_sample);
  Put16(&w, bytes_per_sample);
  Put16(&w, static_cast<uint16_t>(8 * bytes_per_sample));
  w += "data";
  Put32(&w, static_cast<uint32_t>(data.size()));
  return w + data;
}

// The sound of the bundled click recording, as 16-bit samples.
std::string ClickSamples() {
  const std::string file = Slurp(kData + "/click.wav");
  return file.substr(44);
}

// Half a second of a 440 Hz tone as floats, with NaNs and infinities where a damaged file has
// them.
std::string DamagedFloats() {
  std::string data;
  for (int i = 0; i < 4000; ++i) {
    float v = 0.5f * std::sin(static_cast<float>(i) * 0.345f);
    if (i >= 100 && i < 200) v = std::nanf("");
    if (i >= 300 && i < 310) v = INFINITY;
    if (i >= 400 && i < 410) v = -INFINITY;
    char raw[4];
    std::memcpy(raw, &v, 4);
    data.append(raw, 4);
  }
  return data;
}

class Robustness : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("sonlet-robust-" + std::to_string(getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }

  fs::path dir_;
};

TEST_F(Robustness, BadRecordingsAndArgumentsEndWithAMessageAndTheirStatus) {
  const std::string session = Slurp(kSession);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string said;  // on standard error
  } cases[] = {
      {{"--input", Write("fast.wav", Wav(1, 3000000, ClickSamples()))}, 2, "3000000 Hz"},
      {{"--input", Write("slow.wav", Wav(1, 30, ClickSamples()))}, 2, "30 Hz"},
      {{"--input", Write("one.wav", Wav(1, 1, ClickSamples()))}, 2, "1 Hz"},
      {{"--input", Write("cut.wav", session.substr(0, 30000))}, 0, "is cut short"},
      {{"--input", Write("nan.wav", Wav(3, 8000, DamagedFloats()))}, 0, "sonlet: "},
      {{"--input", ""}, 2, "--input needs a recording file"},
      {{"--input", "--output", "log"}, 2, "--input needs a recording file"},
      {{"--input", kSession, "--trace", kProfile}, 2, "is the settings file"},
      {{"--input", kSession, "--profile", Path("none/user.txt")},
       1,
       "Error opening user.txt\nsonlet: cannot open the settings file '" + Path("none/user.txt") +
           "': No such file or directory."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--headless", "--output", "none"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (std::find(args.begin(), args.end(), "--profile") == args.end()) {
      args.insert(args.end(), {"--profile", kProfile});
    }
    const ProgramRun run = RunProgram(kSonlet, args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
  }
  // sonlet-analyse says why, too, and not that the file holds no sound.
  const ProgramRun analyse = RunProgram(SONLET_ANALYSE, {Path("slow.wav")});
  EXPECT_EQ(analyse.status, 2);
  EXPECT_NE(analyse.err.find("sampled at 30 Hz"), std::string::npos) << analyse.err;
}

// A settings or calibration file is small: what is not one (a device, a pipe, a file far too
// large) is refused at once, unread, with the file's status, and a bad line is quoted only as
// far as it helps.
TEST_F(Robustness, SettingsFilesThatAreNoSuchFilesAreRefusedAtOnceUnread) {
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  const std::string six_lines = Slurp(kProfile);
  const std::string vowels =
      "a 800 1400 2500 0.07 0.05 0.1 60\ne 500 1900 0 0.07 0.05 0 60\n"
      "i 290 2280 2900 0.07 0.05 0.1 60\no 640 830 2400 0.07 0.05 0.1 60\n";
  const std::string not_a_regular_file = "it is not a regular file";
  const struct {
    std::string option;
    std::string file;
    int status;
    std::string said;
  } cases[] = {
      {"--profile", "/dev/zero", 1, not_a_regular_file},
      {"--profile", "/dev/null", 1, not_a_regular_file},
      {"--profile", Path("fifo"), 1, not_a_regular_file},
      {"--profile", Write("big.txt", six_lines + std::string(70000, ' ')), 1, "larger than 64 KiB"},
      {"--calibration", "/dev/zero", 2, not_a_regular_file},
      {"--calibration", "/dev/urandom", 2, not_a_regular_file},
      {"--calibration", Path("fifo"), 2, not_a_regular_file},
      {"--calibration",
       Write("long-line.txt", "sonlet-calibration 1\n" + std::string(10 << 20, 'x')), 2,
       "larger than 64 KiB"},
      {"--calibration",
       Write("wide-line.txt", "sonlet-calibration 1\n" + vowels + std::string(60000, 'x') + "\n"),
       2, "line 6: 'xxxxxxxxxxxxxxxxxxxxxxxx...' is not one of the vowels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option + " " + c.file);
    std::vector<std::string> args = {"--headless", "--input", kSession, "--output", "none"};
    if (c.option != "--profile") args.insert(args.end(), {"--profile", kProfile});
    args.insert(args.end(), {c.option, c.file});
    LiveProgram sonlet(kSonlet, args);
    EXPECT_EQ(sonlet.Wait(5s), c.status) << sonlet.err();
    EXPECT_NE(sonlet.err().find(c.said), std::string::npos) << sonlet.err();
    EXPECT_LT(sonlet.err().size(), 600u) << "a message a person can read";
  }
}

TEST_F(Robustness, ATraceThatIsTheRecordingUnderAnotherNameIsRefusedBeforeItIsEmptied) {
  const std::string recording = Write("voice.wav", Slurp(kSession));
  fs::create_symlink(recording, Path("link.csv"));
  const ProgramRun run =
      RunProgram(kSonlet, {"--headless", "--input", recording, "--profile", kProfile, "--output",
                           "none", "--trace", Path("link.csv")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("is the recording"), std::string::npos) << run.err;
  EXPECT_EQ(Slurp(recording), Slurp(kSession));
}

TEST_F(Robustness, ProfileNumbersOfAnySizeMoveThePointerOnlyByProperSteps) {
  // The largest step: speed 0 gives 7 units, and the loudness bonus at most 38 (a full-scale
  // voice, 90 dB, over the lowest threshold level, 10 dB).
  constexpr int kLargestStep = 7 + 38;
  const std::vector<std::string> profiles = {
      "-2147483648\n3\n20\n80\n-2147483648\n1\n", "2147483647\n-5\n99999\n-1\n-1000000\n7\n",
      "45\n3\n20\n8000000000000000000000\n50\n1\n", "90\n50\n1\n-2147483648\n100\n-1\n"};
  for (const std::string& text : profiles) {
    SCOPED_TRACE(text);
    const std::string profile = Write("user.txt", text);
    const ProgramRun run = RunProgram(
        kSonlet, {"--headless", "--input", kSession, "--profile", profile, "--output", "log"});
    ASSERT_EQ(run.status, 0) << run.err;
    int moves = 0;
    for (const std::string& line : LinesOf(run.out)) {
      int pass = 0, dx = 0, dy = 0;
      if (std::sscanf(line.c_str(), "%d\tmove %d %d", &pass, &dx, &dy) != 3) continue;
      ++moves;
      EXPECT_LE(std::abs(dx), kLargestStep) << line;
      EXPECT_LE(std::abs(dy), kLargestStep) << line;
    }
    int right = 0, left = 0, up = 0, down = 0;
    ASSERT_EQ(std::sscanf(run.err.substr(run.err.find("moves right")).c_str(),
                          "moves right %d, left %d, up %d, down %d", &right, &left, &up, &down),
              4)
        << run.err;
    EXPECT_EQ(right + left + up + down, moves);
  }
}

TEST_F(Robustness, TemporariesOfAKilledSaveAreRemovedAtTheNextStart) {
  const std::string profile = Write("user.txt", Slurp(kProfile));
  // A process that has ended, and one that still runs (this test's own) saving beside it.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string dead = Write("user.txt.tmp" + std::to_string(gone) + "-0", "45\n");
  const std::string alive = Write("user.txt.tmp" + std::to_string(getpid()) + "-0", "45\n");
  const std::string other = Write("user.txt.tmp-notes", "mine");
  const ProgramRun run = RunProgram(
      kSonlet, {"--headless", "--input", kSession, "--profile", profile, "--output", "none"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
  EXPECT_TRUE(fs::exists(other));
}

// Runs the program with standard output on `stdout_fd` (closed when it is -1) and its standard
// error into a file; `meanwhile` gets its process id once it runs; waits at most `limit` in
// all. Returns the status (-1 when it did not end).
int RunWithStandardOutput(const std::vector<std::string>& args, int stdout_fd,
                          const std::string& err_path, std::chrono::milliseconds limit,
                          const std::function<void(pid_t)>& meanwhile = nullptr) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    if (stdout_fd >= 0) {
      dup2(stdout_fd, 1);
    } else {
      close(1);
    }
    std::vector<char*> argv = {const_cast<char*>(kSonlet.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(kSonlet.c_str(), argv.data());
    _exit(127);
  }
  const auto end = std::chrono::steady_clock::now() + limit;
  if (meanwhile) meanwhile(pid);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Robustness, AStandardOutputThatCannotBeWrittenEndsTheRunWithStatus2) {
  const std::vector<std::string> args = {"--headless", "--input",  kSession, "--profile",
                                         kProfile,     "--output", "log"};
  const std::string err = Path("err.txt");

  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(RunWithStandardOutput(args, full, err, 20s), 2);
  close(full);
  EXPECT_NE(Slurp(err).find("cannot write to standard output"), std::string::npos) << Slurp(err);

  EXPECT_EQ(RunWithStandardOutput(args, -1, err, 20s), 2);
  EXPECT_NE(Slurp(err).find("standard output"), std::string::npos) << Slurp(err);

  // A reader that takes one line and goes: the paced recording goes on for seconds, and must
  // end soon after the reader has gone rather than play to its end.
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);  // the reader's end must not stay open in the child
  std::vector<std::string> paced = args;
  paced.push_back("--realtime");
  std::thread reader([&pipe_fds] {
    char c = 0;
    while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') {
    }
    close(pipe_fds[0]);
  });
  const auto start = std::chrono::steady_clock::now();
  const int status = RunWithStandardOutput(paced, pipe_fds[1], err, 20s);
  close(pipe_fds[1]);
  reader.join();
  EXPECT_EQ(status, 2) << Slurp(err);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the session lasts six seconds";
  EXPECT_NE(Slurp(err).find("Broken pipe"), std::string::npos) << Slurp(err);
}

TEST_F(Robustness, AReaderThatStopsReadingDoesNotHoldUpTheStopSignals) {
  // Twenty sessions in a row, read at full speed: far more events and trace rows than a pipe
  // holds, so the run is soon waiting for a reader that never reads.
  const std::string session = Slurp(kSession).substr(44);
  std::string samples;
  for (int i = 0; i < 20; ++i) samples += session;
  const std::string sessions = Write("sessions.wav", Wav(1, 8000, samples));
  const std::string err = Path("err.txt");
  const std::vector<std::vector<std::string>> outputs = {{"--output", "log"},
                                                         {"--output", "none", "--trace", "-"}};
  for (const auto& output : outputs) {
    for (int signal : {SIGTERM, SIGINT}) {
      SCOPED_TRACE(output[1] + " " + strsignal(signal));
      std::vector<std::string> args = {"--headless", "--input", sessions, "--profile", kProfile};
      args.insert(args.end(), output.begin(), output.end());
      int pipe_fds[2];
      ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
      fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
      auto signalled = std::chrono::steady_clock::now();
      const int status = RunWithStandardOutput(args, pipe_fds[1], err, 30s, [&](pid_t pid) {
        // Until the pipe is full (a slow build takes a while to fill it), and a moment more for
        // the run to be waiting on it.
        const auto give_up = std::chrono::steady_clock::now() + 20s;
        int held = 0;
        while ((ioctl(pipe_fds[0], FIONREAD, &held) != 0 || held < 3072) &&
               std::chrono::steady_clock::now() < give_up) {
          std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(300ms);
        signalled = std::chrono::steady_clock::now();
        kill(pid, signal);
      });
      const auto took = std::chrono::steady_clock::now() - signalled;
      close(pipe_fds[0]);
      close(pipe_fds[1]);
      // A stop asked for ends the run within a second or two, and says what was not written.
      EXPECT_EQ(status, 2) << Slurp(err);
      EXPECT_LT(took, 4s);
      EXPECT_NE(Slurp(err).find("its reader stopped reading"), std::string::npos) << Slurp(err);
      EXPECT_NE(Slurp(err).find(" passes; moves right "), std::string::npos) << Slurp(err);
    }
  }
}

TEST_F(Robustness, DigitalSilenceWarnsOncePerStretchOfFailedFrames) {
  const std::string silence(2 * 2 * 8000, '\0');  // two seconds of exact zeros
  std::string noise;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> sample(-3000, 3000);
  for (int i = 0; i < 8000; ++i) Put16(&noise, static_cast<uint16_t>(sample(random)));
  const struct {
    std::string name;
    std::string samples;
    size_t warnings;
  } cases[] = {
      {"silence", silence, 1},
      {"silence, noise, silence", silence + noise + silence, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramRun run =
        RunProgram(kSonlet, {"--headless", "--input", Write("s.wav", Wav(1, 8000, c.samples)),
                             "--profile", kProfile, "--output", "none"});
    EXPECT_EQ(run.status, 0) << run.err;
    // The warning's own text, once per stretch, and how long each stretch was on stderr.
    size_t warnings = 0;
    for (size_t at = run.out.find("Warning!!! Too many iterations in hqr\n\n");
         at != std::string::npos; at = run.out.find("Warning!!!", at + 1)) {
      ++warnings;
    }
    EXPECT_EQ(warnings, c.warnings) << run.out;
    EXPECT_EQ(run.out.size(), warnings * 39) << "nothing else on standard output";
    size_t counts = 0;
    for (size_t at = run.err.find("frames in a row"); at != std::string::npos;
         at = run.err.find("frames in a row", at + 1)) {
      ++counts;
    }
    EXPECT_EQ(counts, c.warnings) << run.err;
  }
}

// What a stopped headless run leaves: its summary, whole log lines and whole trace rows.
void ExpectEndedCleanly(const LiveProgram& sonlet, int status, const std::string& trace) {
  EXPECT_EQ(status, 0) << sonlet.err();
  EXPECT_NE(sonlet.err().find(" passes; moves right "), std::string::npos) << sonlet.err();
  const std::string out = sonlet.out();
  EXPECT_TRUE(out.empty() || out.back() == '\n') << out;
  if (trace.empty()) return;
  const std::string rows = Slurp(trace);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back(), '\n');
  for (const std::string& row : LinesOf(rows)) {
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 14) << row;
  }
}

TEST_F(Robustness, EachStopSignalAtAnyMomentEndsTheHeadlessRunCleanly) {
  std::random_device seed_source;
  const unsigned seed = seed_source();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> moment_ms(0, 1500);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal));
    const std::string trace = Path("trace.csv");
    LiveProgram sonlet(kSonlet, {"--headless", "--input", kSession, "--realtime", "--profile",
                                 kProfile, "--output", "log", "--trace", trace});
    ASSERT_TRUE(sonlet.WaitUntilItTakesSignals(5s));
    std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
    const int status = sonlet.Stop(signal, 5s);
    // A signal in the first instants may come before the trace file exists.
    ExpectEndedCleanly(sonlet, status, fs::exists(trace) ? trace : "");
  }
}

TEST_F(Robustness, AStopEndsTheRunWhileItWaitsForInputThatNeverComes) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::vector<std::string>> waits = {
      {"--headless", "--input", fifo, "--profile", kProfile, "--output", "log"},
  };
  for (const auto& args : waits) {
    for (int signal : {SIGINT, SIGHUP}) {
      LiveProgram sonlet(kSonlet, args);
      ASSERT_TRUE(sonlet.WaitUntilItTakesSignals(5s));
      std::this_thread::sleep_for(300ms);
      EXPECT_EQ(sonlet.Stop(signal, 3s), 0) << args[2] << " " << sonlet.err();
      EXPECT_NE(sonlet.err().find("0 passes"), std::string::npos) << sonlet.err();
    }
  }
}

TEST_F(Robustness, HangUpDuringClicksLeavesNoButtonHeldOnTheXServer) {
  XvfbServer server;
  ASSERT_TRUE(server.running()) << server.error();
  XWatcher watcher(server.display());
  ASSERT_TRUE(watcher.connected());
  std::random_device seed_source;
  const unsigned seed = seed_source();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // The click comes about 0.45 s into the recording: hang up around it.
  std::uniform_int_distribution<int> moment_ms(250, 650);
  int clicked = 0;
  for (int run = 0; run < 6; ++run) {
    LiveProgram sonlet(kSonlet,
                       {"--headless", "--input", kData + "/click.wav", "--realtime", "--profile",
                        kProfile, "--output", "x11"},
                       {"DISPLAY=" + server.display(), "WAYLAND_DISPLAY"});
    ASSERT_TRUE(sonlet.WaitUntilItTakesSignals(5s));
    std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
    EXPECT_EQ(sonlet.Stop(SIGHUP, 5s), 0) << sonlet.err();
    EXPECT_FALSE(watcher.LeftButtonDown()) << "run " << run << ": " << sonlet.err();
    if (sonlet.err().find("clicks 1") != std::string::npos) ++clicked;
  }
  RecordProperty("runs_that_clicked", clicked);
}

}  // namespace
}  // namespace sonlet
