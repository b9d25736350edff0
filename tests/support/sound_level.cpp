// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sound_level.h"

#include <algorithm>
#include <cmath>

#include "support/synthetic_vowel.h"

namespace sonlet {

double MeterLevel(const std::vector<int16_t>& samples) {
  if (samples.empty()) return 0.0;
  double energy = 0.0;
  for (int16_t s : samples) energy += static_cast<double>(s) * s;
  return 10.0 * std::log10(std::max(1.0, energy / static_cast<double>(samples.size())));
}

std::vector<int16_t> AtLevel(std::vector<int16_t> samples, double db) {
  const double gain = std::pow(10.0, (db - MeterLevel(samples)) / 20.0);
  for (int16_t& s : samples) {
    s = static_cast<int16_t>(std::clamp(std::lround(s * gain), -32768L, 32767L));
  }
  return samples;
}

std::vector<int16_t> RoomNoise(int blocks, double db, uint32_t seed) {
  std::vector<int16_t> noise(static_cast<size_t>(blocks) * 150);
  uint32_t state = seed;
  for (int16_t& v : noise) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int>(state >> 20) - 2048);
  }
  return AtLevel(std::move(noise), db);
}

std::vector<int16_t> RoomThenVoices(double room_db,
                                    const std::vector<std::pair<int, double>>& said) {
  std::vector<int16_t> all = RoomNoise(kRoomBlocks, room_db, 7);
  uint32_t seed = 8;
  for (auto [blocks, db] : said) {
    std::vector<int16_t> voice = AtLevel(SyntheticVowel(blocks * 150, 700, 1200), db);
    const std::vector<int16_t> room = RoomNoise(blocks, room_db, seed++);
    for (size_t i = 0; i < voice.size(); ++i) {
      voice[i] = static_cast<int16_t>(std::clamp(voice[i] + room[i], -32768, 32767));
    }
    const std::vector<int16_t> after = RoomNoise(kAfterVoiceBlocks, room_db, seed++);
    all.insert(all.end(), voice.begin(), voice.end());
    all.insert(all.end(), after.begin(), after.end());
  }
  return all;
}

}  // namespace sonlet
