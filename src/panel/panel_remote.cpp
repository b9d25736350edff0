// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel_remote.h"

namespace sonlet {

PanelRemote::PanelRemote(ControlPanel& panel, RemoteService& service)
    : panel_(panel), service_(service) {
  service_.SetTarget(this);
  QObject::connect(&panel_, &QDialog::finished, &service_, [this] {
    service_.SetTarget(nullptr);
    service_.Release();
  });
}

PanelRemote::~PanelRemote() { service_.SetTarget(nullptr); }

bool PanelRemote::Raise() {
  panel_.BringToFront();
  return true;
}

}  // namespace sonlet
