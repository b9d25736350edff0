// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace sonlet {

// Sounds at a known level on the engine's meter, which settles on the power of the sound in dB
// of one 16-bit step: 20 log10 of its RMS (a full-scale sine, RMS 23170, reads 87.3 dB).

// The sound's RMS in those dB.
double MeterLevel(const std::vector<int16_t>& samples);

// The sound scaled so that MeterLevel gives `db`; what would pass full scale is cut off there.
std::vector<int16_t> AtLevel(std::vector<int16_t> samples, double db);

// White noise (a room's hum and hiss, flat enough for the level), `blocks` of 150 samples at
// `db`, the same for the same seed.
std::vector<int16_t> RoomNoise(int blocks, double db, uint32_t seed = 1);

// Four seconds of a room at room_db (what the automatic threshold hears first), then each
// sound said: a held "a" (F1 700 Hz, F2 1200 Hz) of `first` blocks at `second` dB over the
// room's noise, followed by a second of the room.
std::vector<int16_t> RoomThenVoices(double room_db,
                                    const std::vector<std::pair<int, double>>& said);
inline constexpr int kRoomBlocks = 213;
inline constexpr int kAfterVoiceBlocks = 53;

}  // namespace sonlet
