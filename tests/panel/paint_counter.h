// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRect>
#include <QWidget>

namespace sonlet {

// Counts the paint events a widget gets, and keeps the area of the last: the panel's cost is in
// its repaints, so the meters and read-outs are held to repainting only what changed.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;
  QRect last;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      last = static_cast<QPaintEvent*>(event)->rect();
    }
    return false;
  }
};

}  // namespace sonlet
