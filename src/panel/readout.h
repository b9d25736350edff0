// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

namespace sonlet {

// A read-only text field for a value the engine measures on every pass (intensity, pitch,
// formants, height). It looks like a read-only line edit but does none of an editor's work:
// a new text repaints only the inside of the field, and the same text nothing at all. (A line
// edit lays its text out again and redraws its frame on every change; four of them changing
// 53 times a second cost the program twice its engine's processor time.)
class Readout : public QWidget {
  Q_OBJECT
 public:
  explicit Readout(QWidget* parent = nullptr);

  void SetText(const QString& text);
  const QString& text() const { return text_; }
  void SetAlignment(Qt::Alignment alignment);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QRect Inside() const;  // within the frame: what a new text repaints

  QString text_;
  Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace sonlet
