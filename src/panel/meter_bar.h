// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace sonlet {

// A bordered, smooth bar that shows a value within a range, like a progress bar, for the meters
// that the engine sets on every pass (53 times a second). It repaints only the strip between
// the old and the new end of the filled part, and nothing when a new value fills the same
// number of pixels, so a meter that barely moves costs next to nothing.
class MeterBar : public QWidget {
  Q_OBJECT
 public:
  // Horizontal bars fill from the left, vertical ones from the bottom.
  explicit MeterBar(Qt::Orientation orientation, QWidget* parent = nullptr);

  // The value is kept within the range, as a progress bar keeps its position.
  void SetRange(int minimum, int maximum);
  void SetValue(int value);
  int value() const { return value_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QRect Groove() const;                       // the inside of the border
  int FilledPixels(int value) const;          // the length of the filled part for a value
  QRect FilledStrip(int from, int to) const;  // the part of the groove between two lengths

  Qt::Orientation orientation_;
  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
  int shown_pixels_ = 0;  // the filled length as last painted or scheduled
};

}  // namespace sonlet
