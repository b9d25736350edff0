// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/fft.h"

namespace sonlet {

namespace {

// One engine frame: 300 samples of a Hann-windowed two-tone signal in noise, padded with zeros to
// 512 points, with a zero imaginary part, as the formant search hands them to the transform.
struct Frame {
  std::vector<float> re = std::vector<float>(512), im = std::vector<float>(512);
  std::vector<float> out_re = std::vector<float>(512), out_im = std::vector<float>(512);
  FftTables tables;
  Frame() {
    fft_tables(512, &tables);
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    for (int i = 0; i < 300; ++i) {
      const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / 299);
      const double tone = std::sin(0.13 * i) + 0.3 * std::sin(0.77 * i);
      re[i] = static_cast<float>(hann * (tone + noise(rng)) * 3000.0);
    }
  }
};

template <auto Transform>
void Run(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    Transform(0, f.re.data(), f.im.data(), f.out_re.data(), f.out_im.data(), 512, f.tables);
    benchmark::DoNotOptimize(f.out_re.data());
    benchmark::DoNotOptimize(f.out_im.data());
    benchmark::ClobberMemory();
  }
}

void BM_Fft512Forward(benchmark::State& state) { Run<fft>(state); }
void BM_Fft512ForwardPlain(benchmark::State& state) { Run<fft_plain>(state); }

BENCHMARK(BM_Fft512Forward)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_Fft512ForwardPlain)->Repetitions(15)->ReportAggregatesOnly(true);

}  // namespace

}  // namespace sonlet
