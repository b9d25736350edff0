// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// sonlet --list-devices: prints the sound input devices, the default marked with "*", and
// returns the exit status (0, or kAudioOpenFailed when there is none or PortAudio fails).
int ListInputDevices();

}  // namespace sonlet
