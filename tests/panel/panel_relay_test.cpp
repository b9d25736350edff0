// The hand-over of the engine's measurements from its thread to the panel's.

#include "panel/panel_relay.h"

#include <QTest>
#include <atomic>
#include <thread>

namespace sonlet {

namespace {

Readings ReadingsNumbered(int n) {
  Readings r;
  r.intensity = static_cast<float>(n);
  r.height_cm = n;
  return r;
}

}  // namespace

class PanelRelayTest : public QObject {
  Q_OBJECT

 private slots:
  // However many values come before the panel looks, it gets one hand-over with the newest.
  void ManyValuesBeforeThePanelLooksGiveOneHandOverOfTheLatest() {
    PanelRelay relay;
    QList<PanelSnapshot> got;
    connect(&relay, &PanelRelay::Arrived, [&](const PanelSnapshot& s) { got.append(s); });
    for (int i = 1; i <= 100; ++i) {
      relay.ShowMeters(i % 91, i % 11, 1 + i % 50);
      relay.ShowReadings(ReadingsNumbered(i));
    }
    QTRY_COMPARE(got.size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].intensity, 100 % 91);
    QCOMPARE(got[0].speed, 100 % 11);
    QCOMPARE(got[0].voice_window, 1 + 100 % 50);
    QVERIFY(got[0].has_readings);
    QCOMPARE(got[0].readings.height_cm, 100);
  }

  void MeterOnlyPassesHandOverNoReadings() {
    PanelRelay relay;
    QList<PanelSnapshot> got;
    connect(&relay, &PanelRelay::Arrived, [&](const PanelSnapshot& s) { got.append(s); });
    relay.ShowReadings(ReadingsNumbered(7));
    QTRY_COMPARE(got.size(), 1);
    relay.ShowMeters(5, 2, 1);
    QTRY_COMPARE(got.size(), 2);
    QVERIFY(got[1].has_meters);
    QVERIFY(!got[1].has_readings);
  }

  // An engine thread that never waits: the panel ends with its last values, and no hand-over
  // is older than the one before (the thread checker build watches this one).
  void EngineThreadValuesArriveInOrderAndTheLastOneWins() {
    PanelRelay relay;
    int newest = 0;
    int voice_window = 0;
    bool in_order = true;
    connect(&relay, &PanelRelay::Arrived, [&](const PanelSnapshot& s) {
      const int n = s.readings.height_cm;
      in_order = in_order && n >= newest;
      newest = n;
      if (s.has_meters) voice_window = s.voice_window;
    });
    constexpr int kPasses = 20000;
    std::atomic<bool> done{false};
    std::thread engine([&] {
      for (int i = 1; i <= kPasses; ++i) {
        relay.ShowReadings(ReadingsNumbered(i));
        relay.ShowMeters(i % 91, i % 11, 1 + i % 50);
      }
      done = true;
    });
    while (!done) QCoreApplication::processEvents();
    engine.join();
    QTRY_COMPARE(newest, kPasses);
    QTRY_COMPARE(voice_window, 1 + kPasses % 50);
    QVERIFY(in_order);
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelRelayTest)
#include "panel_relay_test.moc"
