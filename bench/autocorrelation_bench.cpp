// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include "analysis/autocorrelation.h"
#include "analysis/signal_constants.h"
#include "recorded_frames.h"

namespace sonlet {

namespace {

// The pitch search's autocorrelation: 250 lags over one 300-sample frame of a held vowel.
template <void (*Kernel)(const float[], float[], int, int)>
void BM_Autocorrelation(benchmark::State& state) {
  const auto frames = RecordedFrames("vowel_a_male.wav");
  const std::vector<float>& frame = frames.at(frames.size() / 2);
  float r[kPitchLags];
  for (auto _ : state) {
    Kernel(frame.data(), r, kPitchLags, kFrameSamples);
    benchmark::DoNotOptimize(r);
  }
}

}  // namespace

BENCHMARK(BM_Autocorrelation<autocorrelation>)
    ->Name("BM_Autocorrelation250")
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Autocorrelation<autocorrelation_plain>)
    ->Name("BM_Autocorrelation250Plain")
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace sonlet
