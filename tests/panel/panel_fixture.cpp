// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

namespace sonlet {

void WriteFile(const QString& path, const std::string& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write a test file");
  file.write(text.data(), static_cast<qint64>(text.size()));
}

std::string ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<no file>";
  return file.readAll().toStdString();
}

QRect HandleRect(const QSlider& slider) {
  // The option QSlider paints itself with.
  QStyleOptionSlider option;
  option.initFrom(&slider);
  option.orientation = slider.orientation();
  option.minimum = slider.minimum();
  option.maximum = slider.maximum();
  option.tickPosition = slider.tickPosition();
  option.tickInterval = slider.tickInterval();
  option.upsideDown = slider.orientation() == Qt::Horizontal
                          ? slider.invertedAppearance() != (option.direction == Qt::RightToLeft)
                          : !slider.invertedAppearance();
  option.sliderPosition = slider.sliderPosition();
  option.sliderValue = slider.value();
  option.singleStep = slider.singleStep();
  option.pageStep = slider.pageStep();
  if (slider.orientation() == Qt::Horizontal) option.state |= QStyle::State_Horizontal;
  return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                        &slider);
}

void PressAndDrag(QSlider* slider, int pixels) {
  const QPoint from = HandleRect(*slider).center();
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, from);
  const QPoint to =
      slider->orientation() == Qt::Horizontal ? from + QPoint(pixels, 0) : from + QPoint(0, pixels);
  QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(slider, &move);
}

void LetGo(QSlider* slider) {
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, HandleRect(*slider).center());
}

BoxAnswerer::BoxAnswerer() {
  connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Answer);
  timer_.start(10);
}

void BoxAnswerer::Answer() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) return;
  ++boxes;
  title = box->windowTitle();
  text = box->text();
  ok_only = box->standardButtons() == QMessageBox::Ok;
  panel_visible = false;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (qobject_cast<ControlPanel*>(window) != nullptr && window->isVisible()) panel_visible = true;
  }
  box->button(QMessageBox::Ok)->click();
}

PanelUnderTest::PanelUnderTest(const std::string& profile_text) {
  WriteFile(profile_path(), profile_text);
  panel = std::make_unique<ControlPanel>(profile_path().toStdString());
  loaded = panel->LoadProfile();
  panel->show();
  panel->activateWindow();
  if (!QTest::qWaitForWindowActive(panel.get())) qWarning("the panel did not become active");
}

}  // namespace sonlet
