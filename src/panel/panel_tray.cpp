// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel_tray.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "panel/action_palette.h"
#include "panel/control_panel.h"
#include "panel/icons.h"

namespace sonlet {

namespace {

// The application's picture while listening; greyed when stopped, and greyed with the two bars
// of a pause when the gesture has paused it, so that the three tell apart at a tray's size
// without colour.
QIcon StateIcon(PanelTray::State state) {
  const QIcon application = ApplicationIcon();
  if (state == PanelTray::State::kListening) return application;
  QIcon icon;
  for (int edge : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap = application.pixmap(QSize(edge, edge), QIcon::Disabled);
    if (state == PanelTray::State::kPaused) {
      QPainter painter(&pixmap);
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(40, 40, 40));
      const qreal bar = edge / 6.0;
      const QRectF left(edge - 3.5 * bar, edge - 3.5 * bar, bar, 3 * bar);
      painter.drawRect(left);
      painter.drawRect(left.translated(1.7 * bar, 0));
    }
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

PanelTray::PanelTray(ControlPanel& panel) : panel_(panel), menu_(std::make_unique<QMenu>()) {
  start_ = menu_->addAction(tr("Iniciar"));
  start_->setObjectName(QStringLiteral("tray-start"));
  stop_ = menu_->addAction(tr("Detener"));
  stop_->setObjectName(QStringLiteral("tray-stop"));
  menu_->addSeparator();
  QAction* palette = menu_->addAction(tr("Paleta de acciones"));
  palette->setObjectName(QStringLiteral("tray-palette"));
  palette->setCheckable(true);
  palette->setChecked(panel_.palette_shown());
  connect(palette, &QAction::triggered, &panel_, &ControlPanel::SwitchPalette);
  connect(&panel_, &ControlPanel::PaletteShownChanged, palette, &QAction::setChecked);
  QAction* show = menu_->addAction(tr("Mostrar panel"));
  show->setObjectName(QStringLiteral("tray-show"));
  menu_->addSeparator();
  QAction* quit = menu_->addAction(tr("Salir"));
  quit->setObjectName(QStringLiteral("tray-quit"));
  connect(start_, &QAction::triggered, &panel_, &ControlPanel::PressStart);
  connect(stop_, &QAction::triggered, &panel_, &ControlPanel::PressStop);
  connect(show, &QAction::triggered, &panel_, &ControlPanel::BringToFront);
  connect(quit, &QAction::triggered, &panel_, &ControlPanel::CloseAsCloseBox);
  connect(&panel_, &ControlPanel::ListeningChanged, this, &PanelTray::Update);
  connect(&panel_, &ControlPanel::PausedChanged, this, &PanelTray::SetPaused);
  connect(&panel_, &ControlPanel::SpeechGuardChanged, this, &PanelTray::Update);
  connect(&panel_, &ControlPanel::AgileChanged, this, &PanelTray::Update);
  connect(&panel_, &ControlPanel::PaletteShownChanged, this, &PanelTray::Update);
  connect(&panel_, &ControlPanel::ActionChanged, this, &PanelTray::Update);

  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, &panel_,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::Trigger) panel_.BringToFront();
            });
  }
  Update();
  if (icon_ != nullptr) icon_->show();
}

PanelTray::~PanelTray() {
  // The icon leaves the tray before its menu goes.
  delete icon_;
  icon_ = nullptr;
}

void PanelTray::SetPaused(bool paused) {
  paused_ = paused;
  Update();
}

QString PanelTray::ToolTip() const {
  QString state = tr("Sonlet: detenido");
  switch (state_) {
    case State::kListening:
      state = tr("Sonlet: escuchando");
      break;
    case State::kPaused:
      state = tr("Sonlet: en pausa");
      break;
    case State::kStopped:
      break;
  }
  // Whoever wonders why talk near the microphone does nothing finds the reason here.
  if (panel_.speech_guard_on()) state = tr("%1 (ignora el habla)").arg(state);
  // How the pointer will move matters as much as whether it will.
  if (panel_.agile()) state = tr("%1, movimiento ágil").arg(state);
  // What the next click does, once the user deals in actions at all.
  if (panel_.palette_shown() || panel_.action() != PointerAction::kLeft) {
    QString action = ActionPalette::ActionText(panel_.action());
    if (panel_.action_kept()) action = tr("%1 (fijo)").arg(action);
    state = tr("%1; acción: %2").arg(state, action);
  }
  return state;
}

void PanelTray::Update() {
  if (panel_.listening()) paused_ = false;
  state_ = panel_.listening() ? State::kListening : paused_ ? State::kPaused : State::kStopped;
  start_->setEnabled(panel_.CanStart());
  stop_->setEnabled(panel_.CanStop());
  if (icon_ != nullptr) {
    icon_->setIcon(StateIcon(state_));
    icon_->setToolTip(ToolTip());
  }
}

}  // namespace sonlet
