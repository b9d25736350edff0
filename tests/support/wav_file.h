// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonlet {

// Reads a bundled recording without a sound library, so that the signal path's tests also run
// where only the core is built (the arm64 cross build). Takes 16-bit PCM WAV files, mono, at
// 8000 Hz, as every recording in data/ is; anything else is refused with the reason in *error.
bool ReadWav8kMono(const std::string& path, std::vector<int16_t>* samples, std::string* error);

// Writes samples as such a file (16-bit PCM, mono, 8000 Hz, little-endian as WAV is, which
// this machine is). Returns false when the file cannot be written.
bool WriteWav8kMono(const std::string& path, const std::vector<int16_t>& samples);

// The path of a bundled recording, e.g. DataPath("session.wav").
std::string DataPath(const std::string& name);

}  // namespace sonlet
