// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/icons.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>

// The drawings are compiled into the panel's static library, whose resource table the linker
// would drop unless something refers to it. Qt's registration must be named outside any
// namespace.
static void RegisterDrawings() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(sonlet);
    return true;
  }();
  (void)registered;
}

namespace sonlet {
namespace {

QPixmap Render(const QString& name, int edge, qreal device_pixel_ratio) {
  RegisterDrawings();
  QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
  const int pixels = qRound(edge * device_pixel_ratio);
  QPixmap pixmap(pixels, pixels);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  painter.end();
  pixmap.setDevicePixelRatio(device_pixel_ratio);
  return pixmap;
}

}  // namespace

int LegendIconEdge(const QWidget& window) {
  return qMax(32, 2 * QFontMetrics(window.font()).height());
}

QLabel* IconLabel(const QString& name, int edge, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(Render(name, edge, parent->devicePixelRatioF()));
  label->setFixedSize(edge, edge);
  return label;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int edge : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(Render("sonlet", edge, 1.0));
  return icon;
}

}  // namespace sonlet
