// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace sonlet {

// "Acerca de: S O N L E T": what the tool is, who made it and how to reach them. It ends with
// "Aceptar", ESC or its close box.
class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace sonlet
