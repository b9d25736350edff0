// A held vowel from a small source-filter voice, for measuring how well the engine tells vowels
// apart across speakers: a Rosenberg glottal pulse train (its time derivative, as the lips
// radiate it) whose pitch drifts slowly, sways with a 4-5 Hz vibrato and jitters from period to
// period, with shimmer in the pulse heights and breath noise during the open phase, through a
// cascade of five formant resonators, shaped by an attack and a decay.
//
// Three things set where the formants lie, so that one speaker's takes resemble each other but
// are not copies:
//   - the group (man, woman, child) gives average formants of the five vowels a e i o u;
//   - the speaker: an overall scale of the vocal tract (--scale, and --f1-scale, --f2-scale on
//     top of it), and a seed (--speaker) for that person's own way of saying each vowel, a few
//     per cent off the group average and the same in every take;
//   - the take (--take): each take of the same vowel differs by a few per cent in F1 and F2, in
//     pitch and in loudness, as a person saying the vowel twice does.
//
// The sound is made at 48000 Hz and brought down to the written rate (8000 or 16000 Hz) through
// a windowed-sinc low-pass filter, so no pulse harmonic folds back below the band edge. At
// 8000 Hz it passes up to about 3.6 kHz and stops from 4 kHz, as Sonlet's own converter does,
// so the children's high F2 and F3 reach the engine as they would from a microphone.
//   formant_voice --vowel a|e|i|o|u --group man|woman|child [--scale X] [--f1-scale X]
//                 [--f2-scale X] [--f0 HZ] [--seconds S] [--level DBFS] [--speaker N]
//                 [--take N] [--speaker-spread X] [--take-variation X] [--rate 8000|16000] OUT.wav

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kInternalRate = 48000.0;
constexpr int kFormantCount = 5;
constexpr char kVowels[] = "aeiou";

enum class Group { kMan, kWoman, kChild };

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

struct Options {
  int vowel = -1;
  Group group = Group::kMan;
  bool group_given = false;
  double scale = 1.0;
  double f1_scale = 1.0;
  double f2_scale = 1.0;
  double f0_hz = 0.0;  // 0: the group's
  double seconds = 1.6;
  double level_dbfs = -6.0;
  uint32_t speaker = 0;
  uint32_t take = 1;
  double speaker_spread = 0.04;
  double take_variation = 0.03;
  int rate = 16000;
  std::string output;
};

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr,
               "formant_voice: %s\n"
               "usage: formant_voice --vowel a|e|i|o|u --group man|woman|child [--scale X]\n"
               "         [--f1-scale X] [--f2-scale X] [--f0 HZ] [--seconds S] [--level DBFS]\n"
               "         [--speaker N] [--take N] [--speaker-spread X] [--take-variation X]\n"
               "         [--rate 8000|16000] OUT.wav\n",
               why);
  std::exit(2);
}

double Number(const char* text, double low, double high, const char* name) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= low && value <= high)) {
    std::fprintf(stderr, "formant_voice: %s must be a number from %g to %g\n", name, low, high);
    std::exit(2);
  }
  return value;
}

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      if (!options.output.empty()) Usage("only one output file");
      options.output = argv[i];
      continue;
    }
    if (i + 1 >= argc) Usage("an option lacks its value");
    const char* value = argv[++i];
    if (arg == "--vowel") {
      const std::string_view v = value;
      const char* at = v.size() == 1 ? std::strchr(kVowels, v[0]) : nullptr;
      if (at == nullptr || *at == '\0') Usage("--vowel is one of a e i o u");
      options.vowel = static_cast<int>(at - kVowels);
    } else if (arg == "--group") {
      const std::string_view g = value;
      if (g == "man") {
        options.group = Group::kMan;
      } else if (g == "woman") {
        options.group = Group::kWoman;
      } else if (g == "child") {
        options.group = Group::kChild;
      } else {
        Usage("--group is man, woman or child");
      }
      options.group_given = true;
    } else if (arg == "--scale") {
      options.scale = Number(value, 0.7, 1.4, "--scale");
    } else if (arg == "--f1-scale") {
      options.f1_scale = Number(value, 0.7, 1.4, "--f1-scale");
    } else if (arg == "--f2-scale") {
      options.f2_scale = Number(value, 0.7, 1.4, "--f2-scale");
    } else if (arg == "--f0") {
      options.f0_hz = Number(value, 60, 500, "--f0");
    } else if (arg == "--seconds") {
      options.seconds = Number(value, 0.2, 30, "--seconds");
    } else if (arg == "--level") {
      options.level_dbfs = Number(value, -60, -1, "--level");
    } else if (arg == "--speaker") {
      options.speaker = static_cast<uint32_t>(Number(value, 0, 1e9, "--speaker"));
    } else if (arg == "--take") {
      options.take = static_cast<uint32_t>(Number(value, 0, 1e9, "--take"));
    } else if (arg == "--speaker-spread") {
      options.speaker_spread = Number(value, 0, 0.2, "--speaker-spread");
    } else if (arg == "--take-variation") {
      options.take_variation = Number(value, 0, 0.2, "--take-variation");
    } else if (arg == "--rate") {
      options.rate = static_cast<int>(Number(value, 8000, 16000, "--rate"));
      if (options.rate != 8000 && options.rate != 16000) Usage("--rate is 8000 or 16000");
    } else {
      Usage("unknown option");
    }
  }
  if (options.vowel < 0) Usage("--vowel is needed");
  if (!options.group_given) Usage("--group is needed");
  if (options.output.empty()) Usage("the output file is needed");
  return options;
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

std::vector<double> Synthesise(const Options& options) {
  const GroupVoice voice = VoiceOf(options.group);
  // The speaker's own vowels: fixed by the speaker seed and the vowel, not by the take.
  std::seed_seq speaker_seed{options.speaker, static_cast<uint32_t>(options.vowel), 7u};
  std::mt19937_64 speaker_random(speaker_seed);
  std::normal_distribution<double> unit{0.0, 1.0};
  const double speaker_f1 = std::exp(options.speaker_spread * unit(speaker_random));
  const double speaker_f2 = std::exp(0.75 * options.speaker_spread * unit(speaker_random));

  std::seed_seq take_seed{options.speaker, static_cast<uint32_t>(options.vowel), options.take, 11u};
  std::mt19937_64 random(take_seed);
  const double take_f1 = std::exp(options.take_variation * unit(random));
  const double take_f2 = std::exp(options.take_variation * unit(random));
  const double take_upper = std::exp(0.5 * options.take_variation * unit(random));
  const double take_f0 = std::exp(1.5 * options.take_variation * unit(random));
  const double take_level_db = 2.0 * unit(random);

  std::array<double, kFormantCount> formants{};
  for (int f = 0; f < 4; ++f) formants[f] = voice.formants[options.vowel][f] * options.scale;
  formants[4] = voice.f5_hz * options.scale;
  formants[0] *= options.f1_scale * speaker_f1 * take_f1;
  formants[1] *= options.f2_scale * speaker_f2 * take_f2;
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
  const int attack = static_cast<int>(0.08 * kInternalRate);
  const int decay = static_cast<int>(0.12 * kInternalRate);
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

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  const std::vector<double> sound = Synthesise(options);
  std::vector<int16_t> pcm(sound.size());
  for (size_t i = 0; i < sound.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::lround(std::clamp(sound[i], -32768.0, 32767.0)));

  SF_INFO info{};
  info.samplerate = options.rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(options.output.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "formant_voice: cannot write %s: %s\n", options.output.c_str(),
                 sf_strerror(nullptr));
    return 2;
  }
  const sf_count_t written = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  sf_close(file);
  if (written != static_cast<sf_count_t>(pcm.size())) {
    std::fprintf(stderr, "formant_voice: %s was cut short\n", options.output.c_str());
    return 2;
  }
  return 0;
}
