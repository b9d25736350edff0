// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "analysis/rounded_math.h"

namespace sonlet {

// One frame's worth of each: 512 log10 of magnitudes, spread evenly in decades over
// 1e-3..1e7, and 512 powers of ten of 2 S with S in -5..8. The counter per_value is the time
// per element.

namespace {

constexpr int kValues = 512;

std::vector<float> Magnitudes() {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> decades(-3.0f, 7.0f);
  std::vector<float> v(kValues);
  for (float& x : v) x = exp10_rounded(decades(gen));
  return v;
}

std::vector<float> DoubledLogLevels() {
  std::mt19937 gen(2);
  std::uniform_real_distribution<float> level(-5.0f, 8.0f);
  std::vector<float> v(kValues);
  for (float& x : v) x = 2.0f * level(gen);
  return v;
}

void Report(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kValues);
  state.counters["per_value"] = benchmark::Counter(
      kValues, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RoundedLog10Block(benchmark::State& state) {
  const std::vector<float> in = Magnitudes();
  std::vector<float> out(kValues);
  for (auto _ : state) {
    log10_block(in.data(), out.data(), kValues);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}
BENCHMARK(BM_RoundedLog10Block);

void BM_RoundedLog10Scalar(benchmark::State& state) {
  const std::vector<float> in = Magnitudes();
  std::vector<float> out(kValues);
  for (auto _ : state) {
    for (int i = 0; i < kValues; ++i) out[i] = log10_rounded(in[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}
BENCHMARK(BM_RoundedLog10Scalar);

void BM_RoundedExp10Block(benchmark::State& state) {
  const std::vector<float> in = DoubledLogLevels();
  std::vector<float> out(kValues);
  for (auto _ : state) {
    exp10_block(in.data(), out.data(), kValues);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}
BENCHMARK(BM_RoundedExp10Block);

void BM_RoundedExp10Scalar(benchmark::State& state) {
  const std::vector<float> in = DoubledLogLevels();
  std::vector<float> out(kValues);
  for (auto _ : state) {
    for (int i = 0; i < kValues; ++i) out[i] = exp10_rounded(in[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}
BENCHMARK(BM_RoundedExp10Scalar);

}  // namespace

}  // namespace sonlet
