// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/headless_compositor.h"

namespace sonlet {

// A private sway for one test, on the headless backend (no screen, no input devices), with its
// own runtime folder. sway refuses to run as root, so a test run by root starts it as the user
// nobody. Every window with app_id "sonlet-observer" fills the output and has no border, so that
// surface coordinates are output coordinates.
class HeadlessSway : public HeadlessCompositor {
 public:
  HeadlessSway();
};

}  // namespace sonlet
