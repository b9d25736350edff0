// SPDX-License-Identifier: GPL-3.0-or-later
// sonlet-analyse: runs the voice analysis over a recording and prints, frame by frame, what the
// engine would see: the pitch lag, the fundamental frequency and the first two formant
// candidates. A look behind the pointer: why a vowel steers, or why it does not.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/frame_analysis.h"
#include "analysis/frame_preparation.h"
#include "analysis/signal_constants.h"
#include "audio/recording.h"

namespace sonlet {

namespace {

void PrintUsage(FILE* out) {
  std::fputs(
      "Usage: sonlet-analyse FILE\n"
      "\n"
      "Analyses a recording the way Sonlet analyses the microphone and prints one line per\n"
      "frame (every 18.75 ms): the frame number, its end time in seconds, the pitch lag in\n"
      "samples (-1 when no pitch peak was found), the fundamental frequency F0 in Hz and the\n"
      "first two formant candidates F1 and F2 in Hz (0 when the frame has fewer).\n"
      "\n"
      "FILE is any sound file libsndfile reads (WAV, FLAC, OGG, ...); it is mixed down to\n"
      "mono and converted to 8000 Hz first.\n"
      "\n"
      "Options:\n"
      "  -h, --help   show this help and exit\n"
      "\n"
      "Exit status: 0 on success, 2 when the file cannot be read or the arguments are wrong.\n",
      out);
}

}  // namespace

int AnalyseRecording(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "sonlet-analyse: expected one recording to analyse.\n\n");
    PrintUsage(stderr);
    return 2;
  }

  std::vector<int16_t> samples;
  std::string error;
  std::string warning;
  if (!LoadRecording(argv[1], &samples, &error, &warning)) {
    std::fprintf(stderr, "sonlet-analyse: %s\n", error.c_str());
    return 2;
  }
  if (!warning.empty()) std::fprintf(stderr, "sonlet-analyse: %s\n", warning.c_str());

  FrameAnalyser analyser;
  DcBlockState dc_state;
  float frame[kFrameSamples] = {};
  FrameAnalysis result;
  std::printf("frame\ttime_s\tlag\tf0_hz\tf1_hz\tf2_hz\n");
  const size_t blocks = samples.size() / kBlockSamples;  // a final partial block is dropped
  for (size_t b = 0; b < blocks; ++b) {
    // The analysis frame is the last two DC-blocked blocks, oldest first.
    for (int i = 0; i < kBlockSamples; ++i) frame[i] = frame[i + kBlockSamples];
    dc_block(samples.data() + b * kBlockSamples, &dc_state, frame + kBlockSamples);
    if (b == 0) continue;
    analyser.Analyse(frame, &result);
    const double end_time = static_cast<double>((b + 1) * kBlockSamples) / kSampleRate;
    std::printf("%zu\t%.4f\t%d\t%.1f\t%.0f\t%.0f\n", b - 1, end_time, result.pitch.lag,
                result.pitch.f0, result.f1_candidate(), result.f2_candidate());
  }
  return 0;
}

}  // namespace sonlet

int main(int argc, char** argv) { return sonlet::AnalyseRecording(argc, argv); }
