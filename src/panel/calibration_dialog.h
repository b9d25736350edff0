// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <cstdint>

#include "calibration/guided_calibration.h"
#include "calibration/vowel_map.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sonlet {

class MeterBar;
class VowelChart;
struct PassBatch;

// "Calibración de las vocales": the steps of the terminal's calibration by voice, in a box.
// It asks for one vowel at a time (a, e, i, o, u), shows the voice's level against the
// threshold and the take filling up, asks again for a take that was too short and for two
// vowels that came out too close together, and at the end shows the result on the vowel chart
// with "Guardar" and "Cancelar". It only listens: the engine's passes come in through
// TakePasses, and whoever opened it keeps the pointer still meanwhile and, on "Guardar", keeps
// the map. Worked from the keyboard alone: ENTER saves once there is something to save, ESC
// cancels at any moment.
class CalibrationDialog : public QDialog {
  Q_OBJECT
 public:
  // threshold_level: the level in dB a voice must pass to count, for the level display.
  explicit CalibrationDialog(int threshold_level, QWidget* parent = nullptr);

  // The engine's latest passes, on the panel's thread.
  void TakePasses(const PassBatch& passes);

  // Once accepted: the user's vowels.
  const VowelMap& map() const { return guide_.result().map; }

  // What it asks for and what it last said, as shown.
  QString prompt() const;
  QString news() const;

 private:
  void Follow(GuidedCalibration::Event event);
  void Ask();
  void ShowLevel(float level_db);
  // The level and the threshold, in dB, as the box shows them.
  static QString LevelText(int level, int threshold_level);
  void ShowResult();

  GuidedCalibration guide_;
  const int threshold_level_;
  int loud_shown_ = -1;  // the level's colour: 1 above the threshold, 0 below, -1 not yet set
  int level_shown_ = -1;
  int64_t last_pass_ = -1;  // the pass seen last, to notice passes the relay dropped
  int last_run_ = 0;
  bool last_active_ = false;

  QLabel* prompt_ = nullptr;
  QLabel* news_ = nullptr;
  MeterBar* level_ = nullptr;
  QLabel* level_text_ = nullptr;
  QProgressBar* take_ = nullptr;
  QWidget* listening_part_ = nullptr;
  VowelChart* preview_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace sonlet
