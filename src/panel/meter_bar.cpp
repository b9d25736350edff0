#include "panel/meter_bar.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

CMeterBar::CMeterBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
  // The bar paints every pixel of itself: Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  if (orientation_ == Qt::Vertical) policy.transpose();
  setSizePolicy(policy);
}

void CMeterBar::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = qMax(minimum, maximum);
  value_ = qBound(minimum_, value_, maximum_);
  shown_pixels_ = filled_pixels(value_);
  update();
}

void CMeterBar::setValue(int value) {
  value_ = qBound(minimum_, value, maximum_);
  const int pixels = filled_pixels(value_);
  if (pixels == shown_pixels_) return;
  update(filled_strip(shown_pixels_, pixels));
  shown_pixels_ = pixels;
}

QSize CMeterBar::sizeHint() const {
  const int thickness = QFontMetrics(font()).height();
  const int length = 8 * thickness;
  return orientation_ == Qt::Horizontal ? QSize(length, thickness) : QSize(thickness, length);
}

QSize CMeterBar::minimumSizeHint() const {
  const int thickness = QFontMetrics(font()).height();
  return orientation_ == Qt::Horizontal ? QSize(2 * thickness, thickness)
                                        : QSize(thickness, 2 * thickness);
}

void CMeterBar::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect inside = groove();
  if (!inside.contains(event->rect())) {
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  const QRect filled = filled_strip(0, shown_pixels_);
  painter.fillRect(inside.intersected(event->rect()), palette().color(QPalette::Base));
  painter.fillRect(filled.intersected(event->rect()), palette().color(QPalette::Highlight));
}

void CMeterBar::resizeEvent(QResizeEvent* /*event*/) { shown_pixels_ = filled_pixels(value_); }

QRect CMeterBar::groove() const { return rect().adjusted(1, 1, -1, -1); }

int CMeterBar::filled_pixels(int value) const {
  const QRect inside = groove();
  const int length = orientation_ == Qt::Horizontal ? inside.width() : inside.height();
  if (length <= 0 || maximum_ == minimum_) return 0;
  return static_cast<int>(static_cast<qint64>(value - minimum_) * length / (maximum_ - minimum_));
}

QRect CMeterBar::filled_strip(int from, int to) const {
  const QRect inside = groove();
  const int low = qMin(from, to);
  const int high = qMax(from, to);
  if (high == low) return QRect();
  if (orientation_ == Qt::Horizontal) {
    return QRect(inside.left() + low, inside.top(), high - low, inside.height());
  }
  return QRect(inside.left(), inside.bottom() + 1 - high, inside.width(), high - low);
}
