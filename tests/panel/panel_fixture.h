// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "panel/control_panel.h"

class QSlider;
class QWidget;

namespace sonlet {

// Helpers for tests of the control panel on Qt's offscreen platform.

// The panel's control with this number.
template <typename Widget>
Widget* Control(const QObject& panel, int number) {
  return panel.findChild<Widget*>(QString::number(number));
}

// Writes `text` to `path` as it stands.
void WriteFile(const QString& path, const std::string& text);
std::string ReadFile(const QString& path);

// Where a slider's handle is now, in the slider's coordinates, as its style draws it.
QRect HandleRect(const QSlider& slider);

// Drags a slider's handle by `pixels` along the slider with the left button, without letting
// go.
void PressAndDrag(QSlider* slider, int pixels);
void LetGo(QSlider* slider);

// Answers every message box that comes up with OK, remembering what the last one said, and
// whether a panel was on screen then.
class BoxAnswerer : public QObject {
 public:
  BoxAnswerer();
  int boxes = 0;
  QString title;
  QString text;
  bool ok_only = false;
  bool panel_visible = false;

 private:
  void Answer();
  QTimer timer_;
};

// A folder for one test with its profile "user.txt", and a panel that has read it and is on
// screen.
struct PanelUnderTest {
  explicit PanelUnderTest(const std::string& profile_text);
  QString profile_path() const { return dir.filePath(QStringLiteral("user.txt")); }
  std::string ProfileText() const { return ReadFile(profile_path()); }

  QTemporaryDir dir;
  std::unique_ptr<ControlPanel> panel;
  bool loaded = false;
};

}  // namespace sonlet
