// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace sonlet {

namespace {

uint32_t Le32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool ReadWav8kMono(const std::string& path, std::vector<int16_t>* samples, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    *error = path + " is not a WAV file";
    return false;
  }
  // Chunks follow the 12-byte header, each an id, a length and a body padded to even length.
  bool format_ok = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = Le32(&bytes[at + 4]);
    const size_t body = at + 8;
    if (size > bytes.size() - body) break;
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && size >= 16) {
      format_ok = Le16(&bytes[body]) == 1 && Le16(&bytes[body + 2]) == 1 &&
                  Le32(&bytes[body + 4]) == 8000 && Le16(&bytes[body + 14]) == 16;
    } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
      if (!format_ok) break;
      samples->resize(size / 2);
      for (size_t i = 0; i < samples->size(); ++i) {
        (*samples)[i] = static_cast<int16_t>(Le16(&bytes[body + 2 * i]));
      }
      return true;
    }
    at = body + size + (size & 1);
  }
  *error = path + " is not 16-bit PCM mono at 8000 Hz";
  return false;
}

bool WriteWav8kMono(const std::string& path, const std::vector<int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  const auto u32 = [&out](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&out](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const auto bytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(8000);
  u32(16000);  // bytes a second
  u16(2);      // bytes a frame
  u16(16);
  out.write("data", 4);
  u32(bytes);
  out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(bytes));
  out.close();
  return !out.fail();
}

std::string DataPath(const std::string& name) { return std::string(SONLET_DATA_DIR) + "/" + name; }

}  // namespace sonlet
