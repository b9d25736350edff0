// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/track_bar.h"

#include <QMouseEvent>

namespace sonlet {

TrackBar::TrackBar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

void TrackBar::mousePressEvent(QMouseEvent* event) {
  QSlider::mousePressEvent(event);
  pressed_ = pressed_ || event->isAccepted();
}

void TrackBar::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  // The slider has set its final position by now; a release without a press of ours (the
  // press went to a popup, or the slider was disabled then) is not a letting go.
  if (pressed_ && event->buttons() == Qt::NoButton) {
    pressed_ = false;
    emit MouseLetGo();
  }
}

}  // namespace sonlet
