// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "support/headless_compositor.h"

namespace sonlet {

// A private KWin (KDE Plasma's compositor) for one test, on its virtual backend (no screen, no
// input devices), with its own runtime, data and configuration folders. KWin offers its fake
// input only to programs named by an installed desktop file: it gets one, in its own data
// folder, for each of `granted` (absolute paths).
class HeadlessKWin : public HeadlessCompositor {
 public:
  explicit HeadlessKWin(const std::vector<std::string>& granted);
};

}  // namespace sonlet
