// The read-out fields: they show their text and repaint only when it changes.

#include "panel/readout.h"

#include <QPaintEvent>
#include <QTest>

#include "panel/paint_counter.h"

class ReadoutTest : public QObject {
  Q_OBJECT

 private slots:
  void newTextRepaintsTheInsideOnlyAndTheSameTextNothing() {
    CReadout field;
    field.resize(field.sizeHint());
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    field.setText(QStringLiteral("66"));
    PaintCounter counter(&field);
    QCoreApplication::processEvents();
    const int before = counter.paints;

    field.setText(QStringLiteral("66"));
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, before);

    field.setText(QStringLiteral("67"));
    QTRY_COMPARE(counter.paints, before + 1);
    QVERIFY(counter.last.width() < field.width() && counter.last.height() < field.height());
  }

  void showsItsText() {
    CReadout field;
    field.resize(field.sizeHint());
    const QImage empty = field.grab().toImage();
    field.setText(QStringLiteral("88"));
    QVERIFY(field.grab().toImage() != empty);
    field.setText(QString());
    QCOMPARE(field.grab().toImage(), empty);
  }
};

QTEST_MAIN(ReadoutTest)
#include "readout_test.moc"
