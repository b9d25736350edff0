// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSlider>

namespace sonlet {

// A slider that tells when the user lets go of the mouse after dragging its handle or clicking
// its groove, the moment the panel takes the new setting. A move with the keyboard or the
// mouse wheel changes only the slider: the setting follows at the next letting go.
// (QSlider's own sliderReleased() comes only after the handle was dragged, not after a click
// on the groove.)
class TrackBar : public QSlider {
  Q_OBJECT
 public:
  explicit TrackBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 signals:
  void MouseLetGo();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace sonlet
