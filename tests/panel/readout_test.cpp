// SPDX-License-Identifier: GPL-3.0-or-later
// The read-out fields: they show their text and repaint only when it changes.

#include "panel/readout.h"

#include <QPaintEvent>
#include <QTest>

#include "panel/paint_counter.h"

namespace sonlet {

class ReadoutTest : public QObject {
  Q_OBJECT

 private slots:
  void NewTextRepaintsTheInsideOnlyAndTheSameTextNothing() {
    Readout field;
    field.resize(field.sizeHint());
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    field.SetText(QStringLiteral("66"));
    PaintCounter counter(&field);
    QCoreApplication::processEvents();
    const int before = counter.paints;

    field.SetText(QStringLiteral("66"));
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, before);

    field.SetText(QStringLiteral("67"));
    QTRY_COMPARE(counter.paints, before + 1);
    QVERIFY(counter.last.width() < field.width() && counter.last.height() < field.height());
  }

  void ShowsItsText() {
    Readout field;
    field.resize(field.sizeHint());
    const QImage empty = field.grab().toImage();
    field.SetText(QStringLiteral("88"));
    QVERIFY(field.grab().toImage() != empty);
    field.SetText(QString());
    QCOMPARE(field.grab().toImage(), empty);
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::ReadoutTest)
#include "readout_test.moc"
