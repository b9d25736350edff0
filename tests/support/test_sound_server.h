// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace sonlet {

// The sound server that scripts/test starts for the tests (scripts/sound-server): a null sink
// whose monitor is the default input, so that what is played into it is what a capturing
// program hears.

// Empty when the server answers; otherwise why it cannot be used, for the skip message.
std::string SoundServerMissing();

// Plays a sound file into the server's default sink and returns when it has been played out.
bool PlaySound(const std::string& path);

}  // namespace sonlet
