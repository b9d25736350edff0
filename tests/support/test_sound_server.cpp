// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_sound_server.h"

#include <cstdlib>

namespace sonlet {

std::string SoundServerMissing() {
  const char* server = std::getenv("PULSE_SERVER");
  if (server == nullptr || server[0] == '\0') {
    return "no test sound server: run the tests through scripts/test, or start one with "
           "scripts/sound-server start and eval \"$(scripts/sound-server env)\"";
  }
  if (std::system("pactl info >/dev/null 2>&1") != 0)
    return std::string("the test sound server at ") + server + " does not answer";
  return "";
}

bool PlaySound(const std::string& path) {
  return std::system(("paplay '" + path + "'").c_str()) == 0;
}

}  // namespace sonlet
