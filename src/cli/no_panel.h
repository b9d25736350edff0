// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/panel_view.h"

namespace sonlet {

// Without a panel the meters and readings have nowhere to go.
class NoPanel : public PanelView {
 public:
  void ShowMeters(int, int, int) override {}
  void ShowReadings(const Readings&) override {}
};

}  // namespace sonlet
