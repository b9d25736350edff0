// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include "analysis/frame_analysis.h"
#include "recorded_frames.h"

namespace sonlet {

namespace {

// One whole analysed frame, from the 300 DC-blocked samples to the two formant candidates: the
// pitch step, pre-emphasis and window, the envelope, the predictor and its roots. The frames
// cycle through a recorded session (vowels, a click and pauses), as a day of listening would.
void Run(benchmark::State& state, const SignalKernels& kernels) {
  const auto frames = RecordedFrames("session.wav");
  FrameAnalyser analyser(kernels);
  FrameAnalysis result;
  size_t f = 0;
  for (auto _ : state) {
    analyser.Analyse(frames[f].data(), &result);
    benchmark::DoNotOptimize(result);
    if (++f == frames.size()) f = 0;
  }
}

void BM_AnalysedFrame(benchmark::State& state) { Run(state, kFastKernels); }
void BM_AnalysedFramePlain(benchmark::State& state) { Run(state, kPlainKernels); }

}  // namespace

BENCHMARK(BM_AnalysedFrame)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AnalysedFramePlain)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace sonlet
