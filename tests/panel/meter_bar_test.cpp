// SPDX-License-Identifier: GPL-3.0-or-later
// The meters: what they show, and that they repaint only when what they show changes.

#include "panel/meter_bar.h"

#include <QImage>
#include <QPaintEvent>
#include <QTest>

#include "panel/paint_counter.h"

namespace sonlet {

namespace {

// The length of the highlighted run along the bar's middle line, from its filling end.
int FilledLength(MeterBar& bar, Qt::Orientation orientation) {
  const QImage image = bar.grab().toImage();
  const QRgb fill = bar.palette().color(QPalette::Highlight).rgb();
  int length = 0;
  if (orientation == Qt::Horizontal) {
    for (int x = 1; x < image.width() - 1; ++x)
      length += image.pixel(x, image.height() / 2) == fill;
  } else {
    for (int y = 1; y < image.height() - 1; ++y)
      length += image.pixel(image.width() / 2, y) == fill;
  }
  return length;
}

}  // namespace

class MeterBarTest : public QObject {
  Q_OBJECT

 private slots:
  void FillsInProportionWithinTheBorder() {
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
      MeterBar bar(orientation);
      bar.SetRange(0, 90);
      // 92 pixels with the border: 90 inside, one per dB.
      bar.resize(orientation == Qt::Horizontal ? QSize(92, 12) : QSize(12, 92));
      bar.SetValue(30);
      QCOMPARE(FilledLength(bar, orientation), 30);
      bar.SetValue(200);  // kept within the range
      QCOMPARE(bar.value(), 90);
      QCOMPARE(FilledLength(bar, orientation), 90);
      bar.SetValue(-5);
      QCOMPARE(FilledLength(bar, orientation), 0);
    }
  }

  void VerticalBarFillsFromTheBottom() {
    MeterBar bar(Qt::Vertical);
    bar.SetRange(0, 10);
    bar.resize(12, 102);
    bar.SetValue(5);
    const QImage image = bar.grab().toImage();
    const QRgb fill = bar.palette().color(QPalette::Highlight).rgb();
    QVERIFY(image.pixel(6, 100) == fill);
    QVERIFY(image.pixel(6, 2) != fill);
  }

  void RepaintsOnlyWhenTheFilledPixelsChange() {
    MeterBar bar(Qt::Horizontal);
    bar.SetRange(0, 90);
    bar.resize(47, 12);  // 45 pixels inside: two dB per pixel
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.SetValue(40);
    PaintCounter counter(&bar);
    QCoreApplication::processEvents();
    const int before = counter.paints;

    bar.SetValue(41);  // still 20 pixels
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, before);

    bar.SetValue(44);  // 22 pixels: only the two new ones are painted
    QTRY_COMPARE(counter.paints, before + 1);
    QCOMPARE(counter.last.width(), 2);
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::MeterBarTest)
#include "meter_bar_test.moc"
