// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include "analysis/formants.h"
#include "analysis/frame_preparation.h"
#include "analysis/levinson_durbin.h"
#include "analysis/pitch.h"
#include "analysis/signal_constants.h"
#include "numeric/zrhqr.h"
#include "recorded_frames.h"

namespace sonlet {

namespace {

// Degree-8 roots of the envelope predictor of one frame of a held "a", as every analysed frame
// asks for them.
void BM_Zrhqr8(benchmark::State& state) {
  const auto frames = RecordedFrames("vowel_a_male.wav");
  float work[kFrameSamples], window[kFrameSamples];
  const std::vector<float>& frame = frames.at(frames.size() / 2);
  std::copy(frame.begin(), frame.end(), work);
  hamming_window(kFrameSamples, window);
  pre_emphasis(work, 0.98f, kFrameSamples);
  apply_window(work, window, kFrameSamples);
  FftTables tables;
  fft_tables(kFftLength, &tables);
  float R[kLpcOrder + 1], a[kLpcOrder + 1], k[kLpcOrder];
  envelope_autocorrelation(work, static_cast<float>(pitch_step(frame.data()).lag), tables, R);
  levinson_durbin(R, a, k);
  float wr[kLpcOrder + 1] = {}, wi[kLpcOrder + 1] = {};
  for (auto _ : state) {
    zrhqr(a, kLpcOrder, wr, wi);
    benchmark::DoNotOptimize(wr);
    benchmark::DoNotOptimize(wi);
  }
}

}  // namespace

BENCHMARK(BM_Zrhqr8)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace sonlet
