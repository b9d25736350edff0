// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace sonlet {

class ControlPanel;

// The panel's icon in the desktop's tray (a StatusNotifierItem where the desktop takes them, the
// older system tray elsewhere): its picture and tooltip say whether Sonlet is listening, stopped
// or paused (and, while the palette is open or another than "Izquierdo" is in force, the pointer
// action), a click on it brings the panel to the front, and its menu holds "Iniciar" and
// "Detener" (the panel's own buttons, enabled as they are), "Paleta de acciones" (as the
// panel's item), "Mostrar panel" and "Salir" (the close box: the settings are saved). Where the
// desktop has no tray there is no icon, and nothing is said: the panel is all there is, as before.
class PanelTray : public QObject {
  Q_OBJECT
 public:
  enum class State { kListening, kStopped, kPaused };

  // panel must outlive the tray.
  explicit PanelTray(ControlPanel& panel);
  ~PanelTray() override;

  // Listening was stopped by the pause gesture (true), not by "Detener": the icon says "paused"
  // until listening starts again, whichever way, or SetPaused(false).
  void SetPaused(bool paused);

  State state() const { return state_; }
  QString ToolTip() const;
  QSystemTrayIcon* icon() const { return icon_; }  // null where there is no tray
  QMenu* menu() const { return menu_.get(); }

 private:
  void Update();

  ControlPanel& panel_;
  std::unique_ptr<QMenu> menu_;
  QAction* start_ = nullptr;
  QAction* stop_ = nullptr;
  QSystemTrayIcon* icon_ = nullptr;
  bool paused_ = false;
  State state_ = State::kStopped;
};

}  // namespace sonlet
