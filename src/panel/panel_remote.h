// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/program_control.h"
#include "panel/control_panel.h"
#include "remote/remote_service.h"

namespace sonlet {

// The panel as other programs drive it over the session bus: start and stop press the panel's
// own buttons, the end is its close box, and a second start of the panel brings this one to
// the front. Once the panel has closed, the service answers nothing more and gives its name up,
// so that sonlet --quit returns as soon as the settings are saved. panel and service must
// outlive this.
class PanelRemote : public ProgramControl {
 public:
  PanelRemote(ControlPanel& panel, RemoteService& service);
  ~PanelRemote() override;

  bool Listening() override { return panel_.listening(); }
  void Start() override { panel_.PressStart(); }
  void Stop() override { panel_.PressStop(); }
  void Quit() override { panel_.CloseAsCloseBox(); }
  bool Raise() override;
  ActionSink* Actions() override { return panel_.actions(); }

 private:
  ControlPanel& panel_;
  RemoteService& service_;
};

}  // namespace sonlet
