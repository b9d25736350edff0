#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Loads a recording as the engine hears a microphone: 16-bit mono at 8000 samples a second.
// Any file libsndfile reads is accepted; several channels are mixed down to one and other rates
// are converted. Returns false with a message for the user in *error when the file is missing,
// unreadable or holds no sound.
bool load_recording(const std::string& path, std::vector<int16_t>* samples, std::string* error);
