// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a held vowel of the synthetic voice (formant_synth.h) to a WAV file.
//   formant_voice --vowel a|e|i|o|u --group man|woman|child [--scale X] [--f1-scale X]
//                 [--f2-scale X] [--f0 HZ] [--seconds S] [--level DBFS] [--speaker N]
//                 [--take N] [--speaker-spread X] [--take-variation X] [--rate 8000|16000] OUT.wav

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formant_synth.h"

namespace {

struct Options {
  sonlet::VoiceOptions voice;
  bool vowel_given = false;
  bool group_given = false;
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
      const char* at = v.size() == 1 ? std::strchr(sonlet::kVowels, v[0]) : nullptr;
      if (at == nullptr || *at == '\0') Usage("--vowel is one of a e i o u");
      options.voice.vowel = static_cast<int>(at - sonlet::kVowels);
      options.vowel_given = true;
    } else if (arg == "--group") {
      const std::string_view g = value;
      if (g == "man") {
        options.voice.group = sonlet::Group::kMan;
      } else if (g == "woman") {
        options.voice.group = sonlet::Group::kWoman;
      } else if (g == "child") {
        options.voice.group = sonlet::Group::kChild;
      } else {
        Usage("--group is man, woman or child");
      }
      options.group_given = true;
    } else if (arg == "--scale") {
      options.voice.scale = Number(value, 0.7, 1.4, "--scale");
    } else if (arg == "--f1-scale") {
      options.voice.f1_scale = Number(value, 0.7, 1.4, "--f1-scale");
    } else if (arg == "--f2-scale") {
      options.voice.f2_scale = Number(value, 0.7, 1.4, "--f2-scale");
    } else if (arg == "--f0") {
      options.voice.f0_hz = Number(value, 60, 500, "--f0");
    } else if (arg == "--seconds") {
      options.voice.seconds = Number(value, 0.2, 30, "--seconds");
    } else if (arg == "--level") {
      options.voice.level_dbfs = Number(value, -60, -1, "--level");
    } else if (arg == "--speaker") {
      options.voice.speaker = static_cast<uint32_t>(Number(value, 0, 1e9, "--speaker"));
    } else if (arg == "--take") {
      options.voice.take = static_cast<uint32_t>(Number(value, 0, 1e9, "--take"));
    } else if (arg == "--speaker-spread") {
      options.voice.speaker_spread = Number(value, 0, 0.2, "--speaker-spread");
    } else if (arg == "--take-variation") {
      options.voice.take_variation = Number(value, 0, 0.2, "--take-variation");
    } else if (arg == "--rate") {
      options.voice.rate = static_cast<int>(Number(value, 8000, 16000, "--rate"));
      if (options.voice.rate != 8000 && options.voice.rate != 16000)
        Usage("--rate is 8000 or 16000");
    } else {
      Usage("unknown option");
    }
  }
  if (!options.vowel_given) Usage("--vowel is needed");
  if (!options.group_given) Usage("--group is needed");
  if (options.output.empty()) Usage("the output file is needed");
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  const std::vector<double> sound = sonlet::Synthesise(options.voice);
  std::vector<int16_t> pcm(sound.size());
  for (size_t i = 0; i < sound.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::lround(std::clamp(sound[i], -32768.0, 32767.0)));

  SF_INFO info{};
  info.samplerate = options.voice.rate;
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
