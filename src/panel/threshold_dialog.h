// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "threshold/threshold_probe.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sonlet {

class MeterBar;
struct PassBatch;

// "Ajustar umbral": the terminal's --suggest-threshold in a box. It hears the room for about
// three seconds, asks for an "aaa" at the user's normal voice, and shows the threshold it
// chose, with why, or why it chose none. It only listens: the engine's passes come in through
// TakePasses, and whoever opened it keeps the pointer still meanwhile and, on "Aceptar", moves
// the threshold slider to threshold(). From the keyboard alone: ENTER accepts once there is a
// threshold, ESC cancels at any moment.
class ThresholdDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ThresholdDialog(QWidget* parent = nullptr);

  // The engine's latest passes, on the panel's thread.
  void TakePasses(const PassBatch& passes);

  // Once accepted: the setting chosen (0..90).
  int threshold() const { return probe_.choice().threshold; }

  // What it asks for and what it last said, as shown.
  QString prompt() const;
  QString news() const;

 private:
  void Begin();
  void Follow(ThresholdProbe::Event event);
  void ShowChoice();
  void ShowLevel(float level_db);

  ThresholdProbe probe_;
  int level_shown_ = -1;

  QLabel* prompt_ = nullptr;
  QLabel* news_ = nullptr;
  MeterBar* level_ = nullptr;
  QLabel* level_text_ = nullptr;
  QProgressBar* room_ = nullptr;
  QPushButton* accept_ = nullptr;
  QPushButton* again_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace sonlet
