// SPDX-License-Identifier: GPL-3.0-or-later
// The vowel chart: where it puts a pair of formants, what it draws under them, and that it
// repaints only when the engine's passes change what it shows.

#include "panel/vowel_chart.h"

#include <QImage>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "panel/paint_counter.h"
#include "panel/panel_relay.h"

namespace sonlet {

namespace {

// The colours of the panel's legend (src/panel/icons/vowel-*.svg): each direction's vowel.
const QColor kCyan(0x10, 0xc8, 0xd8);    // "a", right
const QColor kRed(0xe0, 0x20, 0x20);     // "i", left
const QColor kYellow(0xf2, 0xd0, 0x00);  // "e", up
const QColor kGreen(0x20, 0xa8, 0x30);   // "o u", down

struct Heard {
  float f1, f2;
  bool loud_and_voiced = true;
  PassEvent::Kind kind = PassEvent::Kind::kNone;
  Direction direction = Direction::kNone;
  float map_f1 = 0.0f;  // with a vowel map: the formants it judged by
  float map_f2 = 0.0f;
};

// A pass as the engine reports it: the medians stay from the last voiced pass through quiet
// ones, and only loud, voiced passes have formants scaled for the speaker.
PassRecord Pass(int64_t number, const Heard& heard) {
  PassRecord record;
  record.pass = number;
  record.listening = true;
  record.loud = heard.loud_and_voiced;
  record.voiced = heard.loud_and_voiced;
  record.vowel_f1 = heard.map_f1;
  record.vowel_f2 = heard.map_f2;
  record.f1_median = heard.f1;
  record.f2_median = heard.f2;
  if (heard.loud_and_voiced) {
    record.pitch_median = 120.0f;
    record.f1_normalised = std::trunc(heard.f1);
    record.f2_normalised = std::trunc(heard.f2);
  }
  record.event.kind = heard.kind;
  record.event.direction = heard.direction;
  return record;
}

PassBatch Batch(std::initializer_list<PassRecord> records) {
  PassBatch batch;
  for (const PassRecord& r : records) batch.passes[batch.count++] = r;
  return batch;
}

PassBatch Silence(int64_t first, int count) {
  PassBatch batch;
  for (int i = 0; i < count; ++i) batch.passes[batch.count++] = Pass(first + i, {0, 0, false});
  return batch;
}

QColor PixelAt(const QImage& image, QPointF at) {
  return image.pixelColor(static_cast<int>(at.x()), static_cast<int>(at.y()));
}

// A faint tint of the colour over the chart's white, or the white itself.
bool TintOf(const QColor& pixel, const QColor& colour) {
  if (!colour.isValid()) return pixel.hsvSaturation() < 8;
  return pixel.hsvSaturation() > 20 && std::abs(pixel.hsvHue() - colour.hsvHue()) <= 8;
}

}  // namespace

class VowelChartTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    chart_ = std::make_unique<VowelChart>();
    chart_->resize(600, 480);
    chart_->show();
    QVERIFY(QTest::qWaitForWindowExposed(chart_.get()));
  }

  void cleanup() { chart_.reset(); }

  // The phoneticians' chart: F2 falls to the right, F1 rises downwards.
  void HigherF2LiesFurtherLeftAndHigherF1FurtherDown() {
    struct Row {
      float f1, f2, other_f1, other_f2;
      int x_order, y_order;  // the sign of other minus first, on the screen
    };
    const Row table[] = {
        {300, 2300, 300, 900, +1, 0},    // "i" to "u": to the right
        {300, 900, 750, 1300, -1, +1},   // "u" to "a": left and down
        {750, 1300, 450, 2000, -1, -1},  // "a" to "e": left and up
        {450, 2000, 451, 2000, 0, +1},   // one hertz of F1 shows
        {450, 2000, 450, 1999, +1, 0},   // one hertz of F2 shows
    };
    for (const Row& row : table) {
      const QPointF first = chart_->PointFor(row.f1, row.f2);
      const QPointF other = chart_->PointFor(row.other_f1, row.other_f2);
      const auto sign = [](double d) { return d > 1e-9 ? 1 : (d < -1e-9 ? -1 : 0); };
      QCOMPARE(sign(other.x() - first.x()), row.x_order);
      QCOMPARE(sign(other.y() - first.y()), row.y_order);
    }
  }

  // 3000 to 600 Hz across, 200 to 1000 Hz down, both logarithmic: a ratio is a distance
  // wherever it lies; what lies beyond is drawn at the edge.
  void AxesSpanTheVowelsOnLogarithmicScales() {
    const QRectF plot = chart_->Plot();
    QVERIFY(plot.width() > 300 && plot.height() > 250);
    QCOMPARE(chart_->PointFor(200, 3000), plot.topLeft());
    QCOMPARE(chart_->PointFor(1000, 600), plot.bottomRight());
    QCOMPARE(chart_->PointFor(100, 6000), plot.topLeft());
    QCOMPARE(chart_->PointFor(4000, 100), plot.bottomRight());
    const auto y = [&](float f1) { return chart_->PointFor(f1, 1000).y(); };
    const auto x = [&](float f2) { return chart_->PointFor(500, f2).x(); };
    QVERIFY(std::abs((y(600) - y(300)) - (y(1000) - y(500))) < 1e-6);
    QVERIFY(std::abs((x(1600) - x(800)) - (x(3000) - x(1500))) < 1e-6);
    // Half the F2 span (a factor of 5) is its square root.
    QVERIFY(std::abs(x(static_cast<float>(std::sqrt(3000.0 * 600.0))) - plot.center().x()) < 1e-3);
  }

  // The current pass is a dot in the colour of the way it moved the pointer; a pass that
  // steered nowhere, or clicked, is grey.
  void ThePassShowsTheDirectionItMoved() {
    struct Row {
      float f1, f2;
      PassEvent::Kind kind;
      Direction direction;
      QColor colour;
    };
    const Row table[] = {
        {750, 1300, PassEvent::Kind::kMove, Direction::kRight, kCyan},
        {290, 2600, PassEvent::Kind::kMove, Direction::kLeft, kRed},
        {480, 1800, PassEvent::Kind::kMove, Direction::kUp, kYellow},
        {420, 700, PassEvent::Kind::kMove, Direction::kDown, kGreen},
        {600, 1100, PassEvent::Kind::kNone, Direction::kNone, QColor(0x80, 0x80, 0x80)},
        {350, 1200, PassEvent::Kind::kClick, Direction::kNone, QColor(0x80, 0x80, 0x80)},
    };
    int64_t pass = 0;
    for (const Row& row : table) {
      chart_->AddPasses(Batch({Pass(++pass, {row.f1, row.f2, true, row.kind, row.direction})}));
      const QImage image = chart_->grab().toImage();
      QCOMPARE(PixelAt(image, chart_->PointFor(row.f1, row.f2)), row.colour);
    }
    // With a vowel map, the pass lies where the map judged it, among the map's vowels.
    chart_->AddPasses(Batch(
        {Pass(++pass, {700, 1300, true, PassEvent::Kind::kMove, Direction::kUp, 420, 2200})}));
    const QImage image = chart_->grab().toImage();
    QCOMPARE(PixelAt(image, chart_->PointFor(420, 2200)), kYellow);
    QVERIFY(PixelAt(image, chart_->PointFor(700, 1300)) != kYellow);
    // A quiet or unvoiced pass is no point at all.
    const QColor background = PixelAt(chart_->grab().toImage(), chart_->PointFor(650, 2400));
    chart_->AddPasses(Batch({Pass(++pass, {650, 2400, false})}));
    QCOMPARE(PixelAt(chart_->grab().toImage(), chart_->PointFor(650, 2400)), background);
  }

  // Without a calibration, the fixed regions, which are decided on formants scaled by the
  // vocal tract over 17.5 cm: the same measured vowel is "a" for a man of 190 cm (tract
  // 2.75 + 0.08 x 190 = 17.95 cm) and "o u" for a woman of 90 cm (6.645 + 0.04 x 90 = 10.245
  // cm). With one, the user's vowels, each reaching about 3 spreads from its centre.
  void UnderThePassesLieTheRegionsOrTheUsersVowels() {
    VowelMap map;
    VowelArea& a = map.vowels[VowelIndex('a')];
    a.present = true;
    a.f1_hz = 420.0f;
    a.f2_hz = 2200.0f;
    a.f1_spread = 0.07f;
    a.f2_spread = 0.05f;
    const float spread_out = 2200.0f * std::exp(3.3f * 0.05f);
    const float spread_in = 2200.0f * std::exp(2.7f * 0.05f);
    struct Row {
      int height_setting;
      bool male;
      bool calibrated;
      float f1, f2;
      QColor colour;  // invalid: none
    };
    const Row table[] = {
        {100, true, false, 700, 1300, kCyan},     {0, false, false, 700, 1300, kGreen},
        {100, true, false, 290, 2600, kRed},      {100, true, false, 480, 1800, kYellow},
        {100, true, false, 420, 700, kGreen},     {100, true, false, 290, 1200, QColor()},
        {100, true, true, 420, spread_in, kCyan}, {100, true, true, 420, spread_out, QColor()},
        {100, true, true, 700, 1300, QColor()},
    };
    for (const Row& row : table) {
      chart_->SetSpeaker(row.height_setting, row.male);
      chart_->SetVowelMap(row.calibrated ? &map : nullptr);
      const QColor pixel = PixelAt(chart_->grab().toImage(), chart_->PointFor(row.f1, row.f2));
      QVERIFY2(
          TintOf(pixel, row.colour),
          qPrintable(QStringLiteral("%1 Hz, %2 Hz: %3").arg(row.f1).arg(row.f2).arg(pixel.name())));
    }
  }

  // With agile steering, arrows show the way each part steers: one per fixed region along its
  // direction; with a calibration, one at each vowel and three between two neighbouring vowels,
  // halfway between "a" and "e" up and to the right. Without it, none, and the chart is as it was.
  void WithAgileSteeringArrowsShowTheWayEachPartSteers() {
    VowelMap map;
    const float centres[4][2] = {{800, 1400}, {500, 1900}, {290, 2280}, {640, 830}};
    for (int v = 0; v < 4; ++v)
      map.vowels[v] = {true, centres[v][0], centres[v][1], 0.0f, 0.07f, 0.05f, 0.0f, 60};
    chart_->SetSpeaker(85, true);
    const struct {
      bool calibrated;
      bool agile;
      size_t arrows;  // a, e, i, o and three between each of a-e, e-i, i-o, o-a
    } table[] = {{false, false, 0}, {false, true, 4}, {true, false, 0}, {true, true, 4 + 4 * 3}};
    for (const auto& row : table) {
      chart_->SetVowelMap(row.calibrated ? &map : nullptr);
      chart_->SetAgile(false);
      const QImage plain = chart_->grab().toImage();
      chart_->SetAgile(row.agile);
      const std::vector<VowelChart::Arrow> arrows = chart_->SteeringArrows();
      QCOMPARE(arrows.size(), row.arrows);
      QCOMPARE(chart_->grab().toImage() == plain, !row.agile);
      for (const VowelChart::Arrow& arrow : arrows) {
        QVERIFY(std::fabs(std::hypot(arrow.x, arrow.y) - 1.0f) < 1e-4f);
      }
    }
    const QPointF halfway =
        chart_->PointFor(std::sqrt(800.0f * 500.0f), std::sqrt(1400.0f * 1900.0f));
    const std::vector<VowelChart::Arrow> arrows = chart_->SteeringArrows();
    const auto found = std::find_if(arrows.begin(), arrows.end(), [&](const VowelChart::Arrow& a) {
      return (a.at - halfway).manhattanLength() < 1.0;
    });
    QVERIFY(found != arrows.end());
    QVERIFY(found->x > 0.65f && found->y < -0.65f);
  }

  // A pass repaints only the part of the chart where the trail is, and only when it changes:
  // a point comes, or the trail fades; after a second of silence it is gone and nothing more
  // is painted.
  void RepaintsOnlyWhenTheTrailChanges() {
    const QPoint at = chart_->PointFor(700, 1300).toPoint();
    const QColor background = chart_->grab().toImage().pixelColor(at);
    PaintCounter counter(chart_.get());
    QCoreApplication::processEvents();
    counter.paints = 0;

    chart_->AddPasses(Silence(1, 10));
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);

    chart_->AddPasses(Batch({Pass(11, {700, 1300})}));
    QTRY_COMPARE(counter.paints, 1);
    QVERIFY(counter.last.contains(at));
    QVERIFY(counter.last.width() < chart_->width() / 10);

    // 52 passes later the point is still there, fainter: repainted.
    chart_->AddPasses(Silence(12, 52));
    QTRY_COMPARE(counter.paints, 2);
    QVERIFY(counter.last.contains(at));
    // A second after it, it goes: one last repaint over where it was.
    chart_->AddPasses(Silence(64, 1));
    QTRY_COMPARE(counter.paints, 3);
    QVERIFY(counter.last.contains(at));
    chart_->AddPasses(Silence(65, 20));
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 3);
    QCOMPARE(chart_->grab().toImage().pixelColor(at), background);
  }

 private:
  std::unique_ptr<VowelChart> chart_;
};

}  // namespace sonlet

QTEST_MAIN(sonlet::VowelChartTest)
#include "vowel_chart_test.moc"
