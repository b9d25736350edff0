// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace sonlet {

// A held vowel from a small source-filter voice, for the benchmarks that measure how well the
// engine tells vowels apart across speakers and how fast a voice can point: a Rosenberg glottal
// pulse train (its time derivative, as the lips radiate it) whose pitch drifts slowly, sways
// with a 4-5 Hz vibrato and jitters from period to period, with shimmer in the pulse heights
// and breath noise during the open phase, through a cascade of five formant resonators, shaped
// by an attack and a decay.
//
// Three things set where the formants lie, so that one speaker's takes resemble each other but
// are not copies:
//   - the group (man, woman, child) gives average formants of the five vowels a e i o u;
//   - the speaker: an overall scale of the vocal tract (scale, and f1_scale, f2_scale on top of
//     it), and a seed (speaker) for that person's own way of saying each vowel, a few per cent
//     off the group average and the same in every take;
//   - the take: each take of the same vowel differs by a few per cent in F1 and F2, in pitch
//     and in loudness, as a person saying the vowel twice does.
//
// The sound is made at 48000 Hz and brought down to the given rate (8000 or 16000 Hz) through
// a windowed-sinc low-pass filter, so no pulse harmonic folds back below the band edge. At
// 8000 Hz it passes up to about 3.6 kHz and stops from 4 kHz, as Sonlet's own converter does,
// so the children's high F2 and F3 reach the engine as they would from a microphone.

inline constexpr char kVowels[] = "aeiou";

enum class Group { kMan, kWoman, kChild };

struct VoiceOptions {
  int vowel = 0;         // index into kVowels
  int blend_vowel = -1;  // a second vowel to lie between, or -1
  double blend = 0.0;    // 0: the first vowel .. 1: the second
  Group group = Group::kMan;
  double scale = 1.0;
  double f1_scale = 1.0;
  double f2_scale = 1.0;
  double f0_hz = 0.0;  // 0: the group's
  double seconds = 1.6;
  double level_dbfs = -6.0;  // the peak
  uint32_t speaker = 0;
  uint32_t take = 1;
  double speaker_spread = 0.04;
  double take_variation = 0.03;
  int rate = 16000;
  double attack_seconds = 0.08;
  double decay_seconds = 0.12;
};

// The samples at options.rate, full scale 32767, not yet rounded.
std::vector<double> Synthesise(const VoiceOptions& options);

}  // namespace sonlet
