// SPDX-License-Identifier: GPL-3.0-or-later
#include "formant_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace sonlet {

namespace {

constexpr double kInternalRate = 48000.0;
constexpr int kFormantCount = 5;

// F1-F4 in Hz for a, e, i, o, u. Rounded averages near those published for adult men, adult
// women and children of about ten (Peterson and Barney 1952; Hillenbrand et al. 1995) for the
// nearest American English vowels, with e and u placed where Spanish speakers say them: e
// between the English vowels of "bit" and "bet", u lower in F2 than the English "who'd".
constexpr double kManFormants[5][4] = {
    {730, 1250, 2500, 3400},  // a
    {460, 1900, 2550, 3450},  // e
    {290, 2250, 2950, 3500},  // i
    {500, 900, 2450, 3300},   // o
    {320, 800, 2300, 3300},   // u
};
constexpr double kWomanFormants[5][4] = {
    {880, 1450, 2800, 3950},  // a
    {540, 2300, 2950, 4000},  // e
    {330, 2750, 3300, 4200},  // i
    {560, 1000, 2800, 3900},  // o
    {380, 900, 2700, 3900},   // u
};
constexpr double kChildFormants[5][4] = {
    {1000, 1650, 3100, 4200},  // a
    {600, 2650, 3450, 4400},   // e
    {390, 3150, 3700, 4500},   // i
    {640, 1100, 3150, 4200},   // o
    {440, 1100, 3200, 4200},   // u
};

struct GroupVoice {
  const double (*formants)[4];
  double f5_hz;            // the fifth resonance, the same for every vowel
  double f0_hz;            // a typical speaking pitch of the group
  double bandwidth_scale;  // shorter tracts with softer walls damp their resonances more
  double open_rise;        // Rosenberg pulse: opening time, as a share of the period
  double open_fall;        // and closing time
  double breath;           // breath noise, relative to the voiced source's RMS
};

GroupVoice VoiceOf(Group group) {
  switch (group) {
    case Group::kMan:
      return {kManFormants, 4500, 120, 1.0, 0.40, 0.16, 0.04};
    case Group::kWoman:
      return {kWomanFormants, 4900, 215, 1.1, 0.45, 0.20, 0.08};
    case Group::kChild:
      return {kChildFormants, 5300, 275, 1.25, 0.45, 0.22, 0.08};
  }
  return {kManFormants, 4500, 120, 1.0, 0.40, 0.16, 0.04};
}

// Bandwidths grow with the formant frequency, as measured on held vowels: about 65-90 Hz for
// F1, 90-160 Hz for F2, wider above.
double Bandwidth(int formant, double hz) {
  switch (formant) {
    case 0:
      return 55.0 + 0.04 * hz;
    case 1:
      return 60.0 + 0.03 * hz;
    case 2:
      return 120.0 + 0.02 * hz;
    case 3:
      return 250.0;
    default:
      return 300.0;
  }
}

// Slow random wander: white noise through a one-pole low-pass, normalised to unit standard
// deviation, so a pitch or a formant drifts over tenths of a second instead of jumping.
class Wander {
 public:
  Wander(double corner_hz, std::mt19937_64* random)
      : pole_(std::exp(-2.0 * std::numbers::pi * corner_hz / kInternalRate)),
        gain_(std::sqrt(1.0 - pole_ * pole_)),
        random_(random) {
    state_ = normal_(*random_);
  }
  double Next() {
    state_ = pole_ * state_ + gain_ * normal_(*random_);
    return state_;
  }

 private:
  double pole_;
  double gain_;
  std::mt19937_64* random_;
  std::normal_distribution<double> normal_{0.0, 1.0};
  double state_ = 0.0;
};

// Glottal flow of one Rosenberg pulse at `phase` (0..1 of the period): a raised-cosine opening,
// a quarter-cosine closing, then closed.
double RosenbergFlow(double phase, double rise, double fall) {
  if (phase < rise) return 0.5 * (1.0 - std::cos(std::numbers::pi * phase / rise));
  if (phase < rise + fall) return std::cos(0.5 * std::numbers::pi * (phase - rise) / fall);
  return 0.0;
}

// Two-pole resonator with unit gain at 0 Hz, so a cascade of them keeps the vowel's spectral
// balance whatever its formants.
class Resonator {
 public:
  void Tune(double hz, double bandwidth_hz) {
    const double t = 1.0 / kInternalRate;
    c_ = -std::exp(-2.0 * std::numbers::pi * bandwidth_hz * t);
    b_ = 2.0 * std::exp(-std::numbers::pi * bandwidth_hz * t) *
         std::cos(2.0 * std::numbers::pi * hz * t);
    a_ = 1.0 - b_ - c_;
  }
  double Step(double x) {
    const double y = a_ * x + b_ * y1_ + c_ * y2_;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double a_ = 1.0, b_ = 0.0, c_ = 0.0;
  double y1_ = 0.0, y2_ = 0.0;
};

// Low-pass at 0.475 of the written rate (Blackman-windowed sinc of 128 written samples, whose
// transition is about 0.04 of the written rate wide) and keep every `factor`-th sample.
std::vector<double> Decimate(const std::vector<double>& in, int factor) {
  const int half = 64 * factor;
  const double cutoff = 0.475 / factor;  // in cycles per internal sample
  std::vector<double> taps(2 * half + 1);
  double sum = 0.0;
  for (int k = -half; k <= half; ++k) {
    const double x = 2.0 * cutoff * k;
    const double sinc = k == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * k / half) +
                     0.08 * std::cos(2.0 * std::numbers::pi * k / half);
    taps[k + half] = sinc * w;
    sum += taps[k + half];
  }
  for (double& t : taps) t /= sum;
  std::vector<double> out;
  out.reserve(in.size() / factor + 1);
  const int n = static_cast<int>(in.size());
  for (int i = 0; i < n; i += factor) {
    double acc = 0.0;
    for (int k = -half; k <= half; ++k) {
      const int j = i + k;
      if (j >= 0 && j < n) acc += taps[k + half] * in[j];
    }
    out.push_back(acc);
  }
  return out;
}

// The formants of one vowel as this speaker says it: the group's, scaled for the tract, and a few
// per cent off by the speaker's own way of saying that vowel (fixed by the speaker seed and the
// vowel, not by the take).
std::array<double, kFormantCount> SpeakerFormants(const VoiceOptions& options,
                                                  const GroupVoice& voice, int vowel) {
  std::seed_seq speaker_seed{options.speaker, static_cast<uint32_t>(vowel), 7u};
  std::mt19937_64 speaker_random(speaker_seed);
  std::normal_distribution<double> unit{0.0, 1.0};
  const double speaker_f1 = std::exp(options.speaker_spread * unit(speaker_random));
  const double speaker_f2 = std::exp(0.75 * options.speaker_spread * unit(speaker_random));
  std::array<double, kFormantCount> formants{};
  for (int f = 0; f < 4; ++f) formants[f] = voice.formants[vowel][f] * options.scale;
  formants[4] = voice.f5_hz * options.scale;
  formants[0] *= options.f1_scale * speaker_f1;
  formants[1] *= options.f2_scale * speaker_f2;
  return formants;
}

}  // namespace

std::vector<double> Synthesise(const VoiceOptions& options) {
  const GroupVoice voice = VoiceOf(options.group);
  std::normal_distribution<double> unit{0.0, 1.0};

  std::seed_seq take_seed{options.speaker, static_cast<uint32_t>(options.vowel), options.take, 11u};
  std::mt19937_64 random(take_seed);
  const double take_f1 = std::exp(options.take_variation * unit(random));
  const double take_f2 = std::exp(options.take_variation * unit(random));
  const double take_upper = std::exp(0.5 * options.take_variation * unit(random));
  const double take_f0 = std::exp(1.5 * options.take_variation * unit(random));
  const double take_level_db = 2.0 * unit(random);

  std::array<double, kFormantCount> formants = SpeakerFormants(options, voice, options.vowel);
  if (options.blend_vowel >= 0 && options.blend > 0.0) {
    // A sound between two vowels: the tongue halfway, so each formant lies between the two
    // vowels' on a log scale, as the ear hears frequency.
    const std::array<double, kFormantCount> other =
        SpeakerFormants(options, voice, options.blend_vowel);
    for (int f = 0; f < kFormantCount; ++f) {
      formants[f] = std::exp((1.0 - options.blend) * std::log(formants[f]) +
                             options.blend * std::log(other[f]));
    }
  }
  formants[0] *= take_f1;
  formants[1] *= take_f2;
  formants[2] *= take_upper;
  formants[3] *= take_upper;
  // Resonances must stay in order and apart, whatever the scales did.
  for (int f = 1; f < kFormantCount; ++f)
    formants[f] = std::max(formants[f], formants[f - 1] + 200.0);

  const double f0 = (options.f0_hz > 0.0 ? options.f0_hz : voice.f0_hz) * take_f0;
  std::uniform_real_distribution<double> uniform{0.0, 1.0};
  const double vibrato_hz = 4.0 + uniform(random);
  const double vibrato_depth = 0.01 + 0.01 * uniform(random);
  const double vibrato_phase = 2.0 * std::numbers::pi * uniform(random);
  const double jitter = 0.005 + 0.005 * uniform(random);
  const double shimmer = 0.03 + 0.02 * uniform(random);

  const int samples = static_cast<int>(options.seconds * kInternalRate);
  const int attack = std::max(1, static_cast<int>(options.attack_seconds * kInternalRate));
  const int decay = std::max(1, static_cast<int>(options.decay_seconds * kInternalRate));
  Wander pitch_wander(1.5, &random);
  Wander formant_wander[2] = {Wander(2.0, &random), Wander(2.0, &random)};

  // The source: the derivative of the glottal flow, period by period.
  std::vector<double> source(samples, 0.0);
  std::vector<double> open(samples, 0.0);
  double phase = 0.0;
  double period_f0 = f0;
  double height = 1.0;
  double last_flow = 0.0;
  for (int n = 0; n < samples; ++n) {
    const double t = n / kInternalRate;
    const double declination = 1.0 - 0.03 * t / options.seconds;
    const double vibrato =
        1.0 + vibrato_depth * std::sin(2.0 * std::numbers::pi * vibrato_hz * t + vibrato_phase);
    const double drift = std::exp(0.02 * pitch_wander.Next());
    phase += period_f0 * declination * vibrato * drift / kInternalRate;
    if (phase >= 1.0) {
      phase -= 1.0;
      period_f0 = f0 * std::exp(jitter * unit(random));
      height = std::exp(shimmer * unit(random));
    }
    const double flow = height * RosenbergFlow(phase, voice.open_rise, voice.open_fall);
    source[n] = flow - last_flow;
    last_flow = flow;
    open[n] = flow;
  }
  double energy = 0.0;
  for (double s : source) energy += s * s;
  const double rms = std::sqrt(energy / std::max(1, samples));
  for (int n = 0; n < samples; ++n) {
    // Breath leaks through the glottis mostly while it is open.
    const double breath = voice.breath * rms * (0.3 + open[n]) * unit(random);
    double envelope = 1.0;
    if (n < attack) envelope = 0.5 * (1.0 - std::cos(std::numbers::pi * n / attack));
    if (samples - 1 - n < decay) {
      envelope *= 0.5 * (1.0 - std::cos(std::numbers::pi * (samples - 1 - n) / decay));
    }
    source[n] = envelope * (source[n] + breath);
  }

  // The vocal tract: five resonators in cascade; F1 and F2 wander by about 1 % as the tongue
  // and jaw hold their place, retuned every millisecond.
  std::array<Resonator, kFormantCount> tract;
  constexpr int kRetune = 48;
  std::vector<double> voice_out(samples);
  for (int n = 0; n < samples; ++n) {
    const double w1 = std::exp(0.01 * formant_wander[0].Next());
    const double w2 = std::exp(0.01 * formant_wander[1].Next());
    if (n % kRetune == 0) {
      for (int f = 0; f < kFormantCount; ++f) {
        double hz = formants[f];
        if (f == 0) hz *= w1;
        if (f == 1) hz *= w2;
        tract[f].Tune(hz, Bandwidth(f, hz) * voice.bandwidth_scale);
      }
    }
    double x = source[n];
    for (Resonator& r : tract) x = r.Step(x);
    voice_out[n] = x;
  }

  std::vector<double> out = Decimate(voice_out, static_cast<int>(kInternalRate) / options.rate);
  double peak = 0.0;
  for (double v : out) peak = std::max(peak, std::fabs(v));
  const double level_dbfs = std::min(-1.0, options.level_dbfs + take_level_db);
  const double gain = peak > 0.0 ? std::pow(10.0, level_dbfs / 20.0) * 32767.0 / peak : 0.0;
  for (double& v : out) v *= gain;
  return out;
}

}  // namespace sonlet
