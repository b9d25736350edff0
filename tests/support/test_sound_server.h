#pragma once

#include <string>

// The sound server that scripts/test starts for the tests (scripts/sound-server): a null sink
// whose monitor is the default input, so that what is played into it is what a capturing
// program hears.

// Empty when the server answers; otherwise why it cannot be used, for the skip message.
std::string sound_server_missing();

// Plays a sound file into the server's default sink and returns when it has been played out.
bool play_sound(const std::string& path);
