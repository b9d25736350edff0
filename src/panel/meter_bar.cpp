// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/meter_bar.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace sonlet {

MeterBar::MeterBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
  // The bar paints every pixel of itself: Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  if (orientation_ == Qt::Vertical) policy.transpose();
  setSizePolicy(policy);
}

void MeterBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = qMax(minimum, maximum);
  value_ = qBound(minimum_, value_, maximum_);
  shown_pixels_ = FilledPixels(value_);
  update();
}

void MeterBar::SetValue(int value) {
  value_ = qBound(minimum_, value, maximum_);
  const int pixels = FilledPixels(value_);
  if (pixels == shown_pixels_) return;
  update(FilledStrip(shown_pixels_, pixels));
  shown_pixels_ = pixels;
}

QSize MeterBar::sizeHint() const {
  const int thickness = QFontMetrics(font()).height();
  const int length = 8 * thickness;
  return orientation_ == Qt::Horizontal ? QSize(length, thickness) : QSize(thickness, length);
}

QSize MeterBar::minimumSizeHint() const {
  const int thickness = QFontMetrics(font()).height();
  return orientation_ == Qt::Horizontal ? QSize(2 * thickness, thickness)
                                        : QSize(thickness, 2 * thickness);
}

void MeterBar::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect inside = Groove();
  if (!inside.contains(event->rect())) {
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  const QRect filled = FilledStrip(0, shown_pixels_);
  painter.fillRect(inside.intersected(event->rect()), palette().color(QPalette::Base));
  painter.fillRect(filled.intersected(event->rect()), palette().color(QPalette::Highlight));
}

void MeterBar::resizeEvent(QResizeEvent* /*event*/) { shown_pixels_ = FilledPixels(value_); }

QRect MeterBar::Groove() const { return rect().adjusted(1, 1, -1, -1); }

int MeterBar::FilledPixels(int value) const {
  const QRect inside = Groove();
  const int length = orientation_ == Qt::Horizontal ? inside.width() : inside.height();
  if (length <= 0 || maximum_ == minimum_) return 0;
  return static_cast<int>(static_cast<qint64>(value - minimum_) * length / (maximum_ - minimum_));
}

QRect MeterBar::FilledStrip(int from, int to) const {
  const QRect inside = Groove();
  const int low = qMin(from, to);
  const int high = qMax(from, to);
  if (high == low) return QRect();
  if (orientation_ == Qt::Horizontal) {
    return QRect(inside.left() + low, inside.top(), high - low, inside.height());
  }
  return QRect(inside.left(), inside.bottom() + 1 - high, inside.width(), high - low);
}

}  // namespace sonlet
