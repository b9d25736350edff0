// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-over of the engine's measurements from its thread to the panel's.

#include "panel/panel_relay.h"

#include <QTest>
#include <atomic>
#include <thread>

namespace sonlet {

namespace {

PassRecord PassNumbered(int64_t n) {
  PassRecord record;
  record.pass = n;
  return record;
}

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

  // Every pass comes over once, in order, as long as the panel keeps within a ring of them;
  // beyond that the oldest go, and the panel is told how many.
  void PassesComeOverInOrderAndTheOldestGoWhenThePanelFallsBehind() {
    struct Row {
      int passes_before_the_panel_looks;
      int first_delivered;
      int64_t dropped;
    };
    const Row table[] = {{1, 1, 0}, {64, 1, 0}, {65, 2, 1}, {200, 137, 136}};
    for (const Row& row : table) {
      PanelRelay relay;
      QList<int64_t> got;
      QList<int64_t> dropped;
      connect(&relay, &PanelRelay::PassesArrived, [&](const PassBatch& batch) {
        for (const PassRecord& record : batch) got.append(record.pass);
        dropped.append(batch.dropped);
      });
      for (int i = 1; i <= row.passes_before_the_panel_looks; ++i) relay.PassDone(PassNumbered(i));
      QTRY_COMPARE(dropped.size(), 1);
      QCOMPARE(dropped[0], row.dropped);
      QCOMPARE(got.size(), row.passes_before_the_panel_looks - row.first_delivered + 1);
      for (int k = 0; k < got.size(); ++k) QCOMPARE(got[k], int64_t{row.first_delivered + k});
      // The next hand-over starts afresh.
      relay.PassDone(PassNumbered(1000));
      QTRY_COMPARE(dropped.size(), 2);
      QCOMPARE(dropped[1], int64_t{0});
      QCOMPARE(got.back(), int64_t{1000});
    }
  }

  // An engine thread that never waits: the panel ends with its last values, and no hand-over
  // is older than the one before (the thread checker build watches this one). Every pass
  // arrives or is counted as dropped, in order.
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
    int64_t passes_accounted = 0;
    bool passes_in_order = true;
    connect(&relay, &PanelRelay::PassesArrived, [&](const PassBatch& batch) {
      passes_accounted += batch.dropped;
      for (const PassRecord& record : batch) {
        passes_in_order = passes_in_order && record.pass == passes_accounted + 1;
        passes_accounted = record.pass;
      }
    });
    constexpr int kPasses = 20000;
    std::atomic<bool> done{false};
    std::thread engine([&] {
      for (int i = 1; i <= kPasses; ++i) {
        relay.ShowReadings(ReadingsNumbered(i));
        relay.ShowMeters(i % 91, i % 11, 1 + i % 50);
        relay.PassDone(PassNumbered(i));
      }
      done = true;
    });
    while (!done) QCoreApplication::processEvents();
    engine.join();
    QTRY_COMPARE(newest, kPasses);
    QTRY_COMPARE(voice_window, 1 + kPasses % 50);
    QVERIFY(in_order);
    QTRY_COMPARE(passes_accounted, int64_t{kPasses});
    QVERIFY(passes_in_order);
  }
};

}  // namespace sonlet

QTEST_MAIN(sonlet::PanelRelayTest)
#include "panel_relay_test.moc"
