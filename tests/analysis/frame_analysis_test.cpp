// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frame_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/frame_preparation.h"
#include "engine/direction_strategy.h"
#include "support/synthetic_vowel.h"
#include "support/wav_file.h"

namespace sonlet {

namespace {

TEST(FrameAnalysis, SyntheticVowelGivesItsPitchAndFormants) {
  // Three resonances at 500, 1500 and 2500 Hz excited at 100 Hz. The smoothed envelope puts the
  // first candidates near 540, 1505 and 2470 Hz, then a pole above 2800 Hz more than a
  // kilohertz broad, which NarrowCandidates leaves out. Sixteen
  // frames in a row cover every phase of the 80-sample period against the 150-sample blocks.
  const std::vector<std::vector<float>> frames = AnalysisFrames(SyntheticVowel(60 * 150));
  FrameAnalyser analyser;
  FrameAnalysis result;
  for (size_t f = 40; f < 56; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    analyser.Analyse(frames[f].data(), &result);
    EXPECT_EQ(result.pitch.lag, 80);
    EXPECT_FLOAT_EQ(result.pitch.f0, 100.0f);
    EXPECT_GT(result.pitch.ratio, 0.6f);
    EXPECT_LT(result.pitch.ratio, 0.8f);
    EXPECT_NEAR(result.candidates[0], 540.0f, 25.0f);
    EXPECT_NEAR(result.candidates[1], 1505.0f, 25.0f);
    EXPECT_NEAR(result.candidates[2], 2470.0f, 25.0f);
    EXPECT_GT(result.candidates[3], 2800.0f);
    // The spare pole pair fills the band above the formants: broad, and no formant.
    float narrow[kFormantRoots];
    NarrowCandidates(result.candidates, result.bandwidths, narrow);
    for (int i = 0; i < 3; ++i) {
      EXPECT_GT(result.bandwidths[i], 30.0f);
      EXPECT_LT(result.bandwidths[i], 400.0f);
      EXPECT_EQ(narrow[i], result.candidates[i]);
    }
    EXPECT_GT(result.bandwidths[3], kBroadestFormantHz);
    EXPECT_EQ(narrow[3], 0.0f);
    EXPECT_EQ(result.f1_candidate(), result.candidates[0]);
    EXPECT_EQ(result.f2_candidate(), result.candidates[1]);
  }
}

TEST(FrameAnalysis, SilenceKeepsThePreviousRoots) {
  // A frame of zeros has minus infinity in its log spectrum; the root finder gets no numbers
  // and gives up, so the candidates come from the roots of the frame before, and the analysis
  // says so.
  const std::vector<std::vector<float>> frames = AnalysisFrames(SyntheticVowel(60 * 150));
  FrameAnalyser analyser;
  FrameAnalysis vowel, silence;
  analyser.Analyse(frames[45].data(), &vowel);
  EXPECT_EQ(vowel.roots, RootsStatus::kFound);
  const float zeros[kFrameSamples] = {};
  analyser.Analyse(zeros, &silence);
  EXPECT_EQ(silence.roots, RootsStatus::kTooManyIterations);
  EXPECT_EQ(silence.pitch.lag, 15);
  EXPECT_FALSE(silence.pitch.ratio > 0.37f);
  EXPECT_EQ(0, std::memcmp(vowel.candidates, silence.candidates, sizeof vowel.candidates));
}

TEST(FrameAnalysis, FastAndPlainKernelsAgreeBitForBitOnRecordings) {
  FrameAnalyser fast(kFastKernels), plain(kPlainKernels);
  FrameAnalysis a, b;
  FftTables tables;
  ASSERT_TRUE(fft_tables(kFftLength, &tables));
  float window[kFrameSamples];
  hamming_window(kFrameSamples, window);
  int frames_compared = 0;
  for (const char* name : {"session.wav", "vowel_a_female.wav", "vowel_e_male.wav",
                           "vowel_o_male.wav", "vowel_u_male.wav"}) {
    std::vector<int16_t> samples;
    std::string error;
    ASSERT_TRUE(ReadWav8kMono(DataPath(name), &samples, &error)) << error;
    for (const std::vector<float>& frame : AnalysisFrames(samples)) {
      fast.Analyse(frame.data(), &a);
      plain.Analyse(frame.data(), &b);
      ASSERT_EQ(a.pitch.lag, b.pitch.lag);
      ASSERT_EQ(0, std::memcmp(&a.pitch.f0, &b.pitch.f0, sizeof(float)));
      ASSERT_EQ(0, std::memcmp(&a.pitch.ratio, &b.pitch.ratio, sizeof(float)));
      ASSERT_EQ(0, std::memcmp(a.candidates, b.candidates, sizeof a.candidates))
          << name << " frame " << frames_compared;

      // The envelope values feed the root finder, which could hide a difference in them.
      float work[kFrameSamples];
      std::memcpy(work, frame.data(), sizeof work);
      pre_emphasis(work, 0.98f, kFrameSamples);
      apply_window(work, window, kFrameSamples);
      float r_fast[kLpcOrder + 1], r_plain[kLpcOrder + 1];
      const float lag = static_cast<float>(a.pitch.lag);
      envelope_autocorrelation(work, lag, tables, r_fast, kFastKernels);
      envelope_autocorrelation(work, lag, tables, r_plain, kPlainKernels);
      ASSERT_EQ(0, std::memcmp(r_fast, r_plain, sizeof r_fast));
      ++frames_compared;
    }
  }
  EXPECT_GT(frames_compared, 600);
}

}  // namespace

}  // namespace sonlet
