// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QLabel>
#include <QString>

namespace sonlet {

// The panel's pictures are SVG drawings in the program's resources (":/icons/NAME.svg"),
// drawn at the size the screen and the font call for, so they stay sharp at any scale.

// The edge of a legend picture for a window of this font: about two lines of text, which is
// what a 32-pixel icon is beside the 8-point text it was drawn for.
int LegendIconEdge(const QWidget& window);

// A label showing the drawing `name` (such as "vowel-a") in a square of `edge` pixels.
QLabel* IconLabel(const QString& name, int edge, QWidget* parent);

// The application icon, drawn at the sizes a desktop asks for.
QIcon ApplicationIcon();

}  // namespace sonlet
