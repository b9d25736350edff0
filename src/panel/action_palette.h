// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "actions/pointer_action.h"

class QPushButton;

namespace sonlet {

// "Paleta de acciones": a small window of big buttons that say what the next voice click does
// (Izquierdo, Derecho, Doble, Central, Arrastrar, Desplazar) and one that stops listening
// (Pausa). The user steers onto a button and clicks it by voice, so it never takes the keyboard
// focus, which stays with the window being worked on, and keeps above the other windows where
// the desktop allows it.
//
// The click that reaches a button is made by the action then in force, so a button answers a
// press of any mouse button, and the second click of a double click is not a second choice.
// That click also uses the action up, so choosing the same button twice to keep it cannot be
// told from the action in force: the palette tells it itself, as the same button chosen again
// without the pointer having left the palette in between (it did, to use the action).
// The palette only shows and asks; whoever owns it carries the choice out and tells it back
// through ShowAction.
class ActionPalette : public QWidget {
  Q_OBJECT
 public:
  explicit ActionPalette(QWidget* parent);

  // The action in force: its button is checked, and marked when the action stays in force after
  // it is done (kept).
  void ShowAction(PointerAction action, bool kept);
  // Whether "Pausa" can stop listening now.
  void SetCanPause(bool can);

  // The button that stands for an action; null for one the palette has none for.
  QPushButton* Button(PointerAction action) const;
  QPushButton* PauseButton() const { return pause_; }

  // The Spanish name of the action, as its button and the tray say it.
  static QString ActionText(PointerAction action);

 signals:
  // again: the same button was chosen twice in a row, which keeps the action.
  void Chosen(PointerAction action, bool again);
  void PauseChosen();
  // The user closed the window with its close box.
  void ClosedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  struct Choice {
    PointerAction action;
    QPushButton* button;
  };
  Choice choices_[6];
  QPushButton* pause_ = nullptr;
  PointerAction shown_ = PointerAction::kLeft;
  bool shown_kept_ = false;
  // The button chosen last, while the pointer has stayed on the palette since; -1 for none.
  int last_choice_ = -1;
};

}  // namespace sonlet
