// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/readout.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace sonlet {

namespace {

constexpr int kTextMargin = 2;  // pixels between the frame and the text, as a line edit has

}  // namespace

Readout::Readout(QWidget* parent) : QWidget(parent) {
  // A tab stop like a read-only edit, so that a screen reader user can reach the value.
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  // Every pixel is painted here, so the group box behind is not painted again for each new
  // text.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Readout::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  setAccessibleDescription(text_);
  update(Inside());
}

void Readout::SetAlignment(Qt::Alignment alignment) {
  alignment_ = alignment | Qt::AlignVCenter;
  update();
}

QSize Readout::sizeHint() const {
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(QStringLiteral("0000")) + 2 * (frame + kTextMargin),
          metrics.height() + 2 * (frame + kTextMargin)};
}

QRect Readout::Inside() const {
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  return rect().adjusted(frame, frame, -frame, -frame);
}

void Readout::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect text_area = Inside();
  if (!text_area.contains(event->rect())) {
    // The surroundings first (the style's frame may leave its corners unpainted), then the
    // frame, drawn as the style draws a read-only line edit.
    painter.fillRect(rect(), palette().color(QPalette::Window));
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect();
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
  } else {
    painter.fillRect(text_area, palette().color(QPalette::Base));
  }
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(text_area.adjusted(kTextMargin, 0, -kTextMargin, 0),
                   static_cast<int>(alignment_), text_);
}

void Readout::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();  // the style marks the focused field on its frame
}

void Readout::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace sonlet
