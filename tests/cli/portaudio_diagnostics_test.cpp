// SPDX-License-Identifier: GPL-3.0-or-later
// The standard error stream that keeps PortAudio's flood of failed-check lines out of the
// user's terminal and journal while letting everything else through as it is printed.

#include "cli/portaudio_diagnostics.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace sonlet {

namespace {

class DiagnosticsFilter : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe2(pipe_, O_NONBLOCK), 0);
    stream_ = OpenDiagnosticsFilter(pipe_[1]);
    ASSERT_NE(stream_, nullptr);
  }
  void TearDown() override {
    if (stream_ != nullptr) std::fclose(stream_);
    close(pipe_[0]);
    close(pipe_[1]);
  }
  // What has reached the descriptor so far.
  std::string Written() {
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(pipe_[0], chunk, sizeof chunk)) > 0;) text.append(chunk, n);
    return text;
  }
  int pipe_[2] = {-1, -1};
  std::FILE* stream_ = nullptr;
};

const char kCheck[] =
    "Expression 'self->capture.ready || self->playback.ready' failed in "
    "'src/hostapi/alsa/pa_linux_alsa.c', line: 3958\n";

TEST_F(DiagnosticsFilter, OtherLinesPassWhenPrintedAndPortAudiosFloodIsCut) {
  std::fprintf(stream_, "sonlet: %d passes\n", 12);
  EXPECT_EQ(Written(), "sonlet: 12 passes\n");

  std::string expected;
  for (int i = 0; i < kPortAudioLinesKept + 500; ++i) {
    std::fputs(kCheck, stream_);
    if (i < kPortAudioLinesKept) expected += kCheck;
  }
  expected += "sonlet: PortAudio's further failed-check lines are left out.\n";
  EXPECT_EQ(Written(), expected);

  // Sonlet's own lines still pass after the cut, and so does a line ended by a return only.
  std::fputs("sonlet: the microphone is back; listening again.\n", stream_);
  std::fputs("!!!!Saturacion en el buffer de audio A/D\r", stream_);
  EXPECT_EQ(Written(),
            "sonlet: the microphone is back; listening again.\n"
            "!!!!Saturacion en el buffer de audio A/D\r");
}

TEST_F(DiagnosticsFilter, ALineWrittenInPiecesIsJudgedWhole) {
  // The start of a check line is held back until the line is complete...
  std::fputs("Expression 'err' ", stream_);
  EXPECT_EQ(Written(), "");
  std::fputs("failed in 'src/hostapi/alsa/pa_linux_alsa.c', line: 3665\n", stream_);
  EXPECT_EQ(Written(),
            "Expression 'err' failed in 'src/hostapi/alsa/pa_linux_alsa.c', line: 3665\n");
  // ...while any other start goes out at once.
  std::fputs("Exp", stream_);
  EXPECT_EQ(Written(), "");
  std::fputs("ected a microphone", stream_);
  EXPECT_EQ(Written(), "Expected a microphone");
}

}  // namespace

}  // namespace sonlet
