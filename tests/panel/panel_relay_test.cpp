// The hand-over of the engine's measurements from its thread to the panel's.

#include "panel/panel_relay.h"

#include <QTest>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace sonlet {

namespace {

Readouts ReadoutsNumbered(int n) {
  Readouts r;
  std::snprintf(r.intensity.data(), r.intensity.size(), "%d", n);
  std::snprintf(r.tract.data(), r.tract.size(), "%d.00", n);
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
      relay.ShowReadouts(ReadoutsNumbered(i));
    }
    QTRY_COMPARE(got.size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].intensity, 100 % 91);
    QCOMPARE(got[0].speed, 100 % 11);
    QCOMPARE(got[0].voice_window, 1 + 100 % 50);
    QVERIFY(got[0].has_readouts);
    QCOMPARE(QString(got[0].readouts.tract.data()), QStringLiteral("100.00"));
  }

  void MeterOnlyPassesHandOverNoReadouts() {
    PanelRelay relay;
    QList<PanelSnapshot> got;
    connect(&relay, &PanelRelay::Arrived, [&](const PanelSnapshot& s) { got.append(s); });
    relay.ShowReadouts(ReadoutsNumbered(7));
    QTRY_COMPARE(got.size(), 1);
    relay.ShowMeters(5, 2, 1);
    QTRY_COMPARE(got.size(), 2);
    QVERIFY(got[1].has_meters);
    QVERIFY(!got[1].has_readouts);
  }

  // An engine thread that never waits: the panel ends with its last values, and no hand-over
  // is older than the one before (the thread checker build watches this one).
  void EngineThreadValuesArriveInOrderAndTheLastOneWins() {
    PanelRelay relay;
    int newest = 0;
    int voice_window = 0;
    bool in_order = true;
    connect(&relay, &PanelRelay::Arrived, [&](const PanelSnapshot& s) {
      const int n = std::atoi(s.readouts.intensity.data());
      in_order = in_order && n >= newest;
      newest = n;
      if (s.has_meters) voice_window = s.voice_window;
    });
    constexpr int kPasses = 20000;
    std::atomic<bool> done{false};
    std::thread engine([&] {
      for (int i = 1; i <= kPasses; ++i) {
        relay.ShowReadouts(ReadoutsNumbered(i));
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
