// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/vowel_chart.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/agile_steering.h"
#include "engine/speaker_normalisation.h"
#include "panel/panel_relay.h"

namespace sonlet {

namespace {

// The axes: the span of adult vowels, and a little room around it.
constexpr double kF2Left = 3000.0;
constexpr double kF2Right = 600.0;
constexpr double kF1Top = 200.0;
constexpr double kF1Bottom = 1000.0;
constexpr int kF2Ticks[] = {3000, 2500, 2000, 1500, 1000, 800, 600};
constexpr int kF1Ticks[] = {200, 300, 400, 500, 600, 700, 800, 1000};

// The fixed regions' edges, on formants normalised to a 17.5 cm tract (direction_decision.cpp).
constexpr double kReferenceTract = 17.5;
constexpr double kOpenF1 = 550.0;    // above: "a"; below: the others
constexpr double kCloseF1 = 320.0;   // below: "i"; from it up to kOpenF1: "e"
constexpr double kOpenF2 = 850.0;    // "a" lies above
constexpr double kFrontF2 = 1800.0;  // "i" lies above
constexpr double kMidF2 = 1500.0;    // "e" lies above
constexpr double kBackF2 = 1000.0;   // "o" and "u" lie below
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The colours of the panel's direction legend: each vowel and its arrow share one.
QColor DirectionColour(Direction direction) {
  switch (direction) {
    case Direction::kRight:
      return QColor(0x10, 0xc8, 0xd8);
    case Direction::kUp:
      return QColor(0xf2, 0xd0, 0x00);
    case Direction::kLeft:
      return QColor(0xe0, 0x20, 0x20);
    case Direction::kDown:
      return QColor(0x20, 0xa8, 0x30);
    case Direction::kNone:
      break;
  }
  return QColor(0x80, 0x80, 0x80);
}

// Where a frequency lies between two ends of a logarithmic axis, 0 at the first and 1 at the
// second; beyond them it stays at the nearer one, and 0 Hz lies beyond the low end, whichever
// side that is.
double AxisFraction(double hz, double first, double second) {
  const double fraction = std::log(std::max(hz, 0.0) / first) / std::log(second / first);
  return std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
}

bool LoudAndVoiced(const PassRecord& record) {
  return record.listening && record.loud && record.voiced;
}

struct Place {
  float f1 = 0.0f;  // Hz
  float f2 = 0.0f;  // Hz
};

// Where the pass lies: with a vowel map, the formants the map judged it by, which is where its
// vowels are drawn; otherwise the engine's running medians, as the fixed regions take them.
Place Formants(const PassRecord& record) {
  if (record.vowel_f1 > 0.0f && record.vowel_f2 > 0.0f) return {record.vowel_f1, record.vowel_f2};
  return {record.f1_median, record.f2_median};
}

}  // namespace

VowelChart::VowelChart(QWidget* parent) : QWidget(parent) {
  setWindowTitle(tr("Vocales"));
  setAccessibleName(tr("Gráfico de las vocales"));
  // The background picture covers every pixel.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  LayOut();
}

QSize VowelChart::sizeHint() const {
  const int line = fontMetrics().height();
  return {36 * line, 28 * line};
}

QSize VowelChart::minimumSizeHint() const {
  const int line = fontMetrics().height();
  return {18 * line, 14 * line};
}

void VowelChart::SetSpeaker(int height_setting, bool male) {
  if (height_setting == height_setting_ && male == male_) return;
  height_setting_ = height_setting;
  male_ = male;
  if (map_) return;  // a calibrated voice is drawn as measured, whatever the height
  background_stale_ = true;
  update();
}

void VowelChart::SetVowelMap(const VowelMap* map) {
  if (map != nullptr) {
    map_ = *map;
  } else {
    map_.reset();
  }
  background_stale_ = true;
  update();
}

void VowelChart::SetAgile(bool on) {
  agile_ = on;
  background_stale_ = true;
  update();
}

std::vector<VowelChart::Arrow> VowelChart::SteeringArrows() const {
  std::vector<Arrow> arrows;
  if (!agile_) return arrows;
  if (!map_) {
    // The middle of each fixed region's visible part, on the measured plane.
    const double scale = TractLength(height_setting_ + 90, male_) / kReferenceTract;
    const struct {
      Direction direction;
      double f1, f2;  // normalised
    } middles[] = {{Direction::kRight, 800, 1300},
                   {Direction::kLeft, 270, 2300},
                   {Direction::kUp, 430, 2000},
                   {Direction::kDown, 400, 800}};
    for (const auto& m : middles) {
      const AgileSteering::Bearing b = BearingOf(m.direction);
      arrows.push_back(
          {PointFor(static_cast<float>(m.f1 / scale), static_cast<float>(m.f2 / scale)), b.x, b.y,
           m.direction});
    }
    return arrows;
  }
  // Where the engine's own bearing points, at each vowel and at quarters of the way between two
  // vowels it steers between.
  const auto add = [&](const SteadyFormants& sound, Direction colour) {
    float x = 0.0f, y = 0.0f;
    if (SoundBearing(*map_, sound, &x, &y))
      arrows.push_back({PointFor(sound.f1, sound.f2), x, y, colour});
  };
  for (int a = 0; a < kVowelCount; ++a) {
    const VowelArea& va = map_->vowels[a];
    if (!va.present) continue;
    add({va.f1_hz, va.f2_hz, va.f3_hz}, VowelDirection(a));
    for (int b = a + 1; b < kVowelCount; ++b) {
      const VowelArea& vb = map_->vowels[b];
      const Motion ma = MotionFor(VowelDirection(a), 1);
      const Motion mb = MotionFor(VowelDirection(b), 1);
      // Vowels that point apart have no way between them, nor two with a third on the way.
      if (!vb.present || ma.dx * mb.dx + ma.dy * mb.dy < 0 || VowelOnTheWay(*map_, a, b)) {
        continue;
      }
      for (float t : {0.25f, 0.5f, 0.75f}) {
        const auto between = [t](float p, float q) {
          return p > 0.0f && q > 0.0f ? std::exp((1.0f - t) * std::log(p) + t * std::log(q)) : 0.0f;
        };
        add({between(va.f1_hz, vb.f1_hz), between(va.f2_hz, vb.f2_hz), between(va.f3_hz, vb.f3_hz)},
            VowelDirection(t < 0.5f ? a : b));
      }
    }
  }
  return arrows;
}

void VowelChart::DrawArrows(QPainter& painter) const {
  const double length = line_ * 1.4;
  for (const Arrow& arrow : SteeringArrows()) {
    const QPointF tip = arrow.at + QPointF(arrow.x, arrow.y) * length;
    const QPointF back = QPointF(arrow.x, arrow.y) * (length * 0.4);
    const QPointF side = QPointF(-arrow.y, arrow.x) * (length * 0.25);
    painter.setPen(QPen(DirectionColour(arrow.direction).darker(170), 2.0));
    painter.drawLine(arrow.at, tip);
    painter.drawLine(tip, tip - back + side);
    painter.drawLine(tip, tip - back - side);
  }
}

void VowelChart::LayOut() {
  // Measured once per size and font, not per pass: laying out text costs more than the chart's
  // whole drawing.
  const QFontMetrics metrics = fontMetrics();
  line_ = metrics.height();
  const double left = line_;
  const double top = 2.5 * line_;  // the axis name, then the F2 tick labels
  const double right = metrics.horizontalAdvance(QStringLiteral("1000")) + line_;
  const double bottom = 1.8 * line_;  // what the chart shows, under it
  plot_ = QRectF(left, top, std::max(1.0, width() - left - right),
                 std::max(1.0, height() - top - bottom));
  background_stale_ = true;
  MakeDots();
  for (TrailPoint& point : trail_) point.at = PointFor(point.f1, point.f2).toPoint();
}

QPointF VowelChart::PointFor(float f1_hz, float f2_hz) const {
  return {plot_.left() + plot_.width() * AxisFraction(f2_hz, kF2Left, kF2Right),
          plot_.top() + plot_.height() * AxisFraction(f1_hz, kF1Top, kF1Bottom)};
}

void VowelChart::AddPasses(const PassBatch& passes) {
  // Hidden, it does nothing: when shown again, the next passes age out whatever is left.
  if (!isVisible() || passes.count == 0) return;
  int look_before[kTrailPasses];
  int64_t pass_before[kTrailPasses];
  QPoint at_before[kTrailPasses];
  for (int i = 0; i < kTrailPasses; ++i) {
    look_before[i] = Look(i);
    pass_before[i] = trail_[i].pass;
    at_before[i] = trail_[i].at;
  }
  for (const PassRecord& record : passes) {
    // A new engine counts its passes from 0 again: what the old one heard is gone.
    if (record.pass < newest_pass_) trail_count_ = trail_next_ = 0;
    newest_pass_ = record.pass;
    const Place place = Formants(record);
    if (!LoudAndVoiced(record) || !(place.f1 > 0.0f && place.f2 > 0.0f)) continue;
    const Direction direction =
        record.event.kind == PassEvent::Kind::kMove ? record.event.direction : Direction::kNone;
    trail_[trail_next_] = {place.f1, place.f2, direction, record.pass,
                           PointFor(place.f1, place.f2).toPoint()};
    trail_next_ = (trail_next_ + 1) % kTrailPasses;
    trail_count_ = std::min(trail_count_ + 1, kTrailPasses);
  }
  // Only the dots that came, went or changed their shade are painted again: at the pass rate,
  // the pixels sent to the screen are the chart's cost.
  QRegion changed;
  for (int i = 0; i < kTrailPasses; ++i) {
    const int look = Look(i);
    if (look == look_before[i] && trail_[i].pass == pass_before[i]) continue;
    if (look_before[i] >= 0) changed += DotRect(at_before[i]);
    if (look >= 0) changed += DotRect(trail_[i].at);
  }
  if (!changed.isEmpty()) update(changed);
}

int VowelChart::Look(int slot) const {
  if (slot >= trail_count_) return -1;
  const int age = Age(trail_[slot]);
  if (age < 0 || age >= kTrailPasses) return -1;
  const int newest = (trail_next_ + kTrailPasses - 1) % kTrailPasses;
  if (slot == newest && age == 0) return kFadeSteps;
  return age * kFadeSteps / kTrailPasses;
}

QRect VowelChart::DotRect(QPoint at) const {
  const int half = dots_[0][kFadeSteps].width() / 2;  // the current pass's dot is the largest
  return QRect(at.x() - half, at.y() - half, 2 * half + 1, 2 * half + 1);
}

void VowelChart::MakeDots() {
  // Each dot is drawn once, smoothed, for every direction and shade, and only copied after.
  const qreal ratio = devicePixelRatioF();
  const double radius = line_ / 3.0;
  const int half = static_cast<int>(std::ceil(radius + 1.0));
  const int edge = 2 * half + 1;
  for (int d = 0; d < kDirections; ++d) {
    for (int look = 0; look <= kFadeSteps; ++look) {
      QImage dot(QSize(edge, edge) * ratio, QImage::Format_ARGB32_Premultiplied);
      dot.setDevicePixelRatio(ratio);
      dot.fill(Qt::transparent);
      QPainter painter(&dot);
      painter.setRenderHint(QPainter::Antialiasing);
      QColor colour = DirectionColour(static_cast<Direction>(d));
      const bool current = look == kFadeSteps;
      // The newest shade is the strongest, fading to a trace a second later.
      colour.setAlphaF(current ? 1.0f : 0.8f - 0.65f * static_cast<float>(look) / kFadeSteps);
      painter.setPen(current ? QPen(Qt::black, 1.5) : Qt::NoPen);
      painter.setBrush(colour);
      // Centred on the middle of the middle pixel, which the dot's colour covers whole.
      const double r = current ? radius : radius * 0.55;
      painter.drawEllipse(QPointF(half + 0.5, half + 0.5), r, r);
      dots_[d][look] = dot;
    }
  }
}

void VowelChart::paintEvent(QPaintEvent* event) {
  if (background_stale_ || background_.size() != size() * devicePixelRatioF()) DrawBackground();
  QPainter painter(this);
  const qreal ratio = background_.devicePixelRatio();
  for (const QRect& area : event->region()) {
    painter.drawPixmap(area, background_,
                       QRectF(area.topLeft() * ratio, QSizeF(area.size()) * ratio).toRect());
  }
  painter.setClipRect(plot_);
  const QRect bounds = event->rect();
  const int half = dots_[0][kFadeSteps].width() / 2;
  // Oldest first, so that the newest lie on top.
  for (int k = 0; k < trail_count_; ++k) {
    const int i = (trail_next_ + kTrailPasses - trail_count_ + k) % kTrailPasses;
    const int look = Look(i);
    if (look < 0 || !bounds.intersects(DotRect(trail_[i].at))) continue;
    painter.drawImage(trail_[i].at - QPoint(half, half),
                      dots_[static_cast<int>(trail_[i].direction)][look]);
  }
}

void VowelChart::resizeEvent(QResizeEvent* /*event*/) { LayOut(); }

void VowelChart::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) LayOut();
  if (event->type() == QEvent::PaletteChange) background_stale_ = true;
  QWidget::changeEvent(event);
}

void VowelChart::keyPressEvent(QKeyEvent* event) {
  // Shown as a window of its own, it closes with ESC as the panel's boxes do.
  if (isWindow() && event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void VowelChart::DrawBackground() {
  const qreal ratio = devicePixelRatioF();
  background_ = QPixmap(size() * ratio);
  background_.setDevicePixelRatio(ratio);
  background_.fill(palette().color(QPalette::Window));
  background_stale_ = false;

  QPainter painter(&background_);
  const QRectF plot = plot_;
  const QFontMetrics metrics = fontMetrics();
  const int line = line_;
  painter.fillRect(plot, palette().color(QPalette::Base));

  painter.setRenderHint(QPainter::Antialiasing);
  painter.save();
  painter.setClipRect(plot);
  if (map_) {
    DrawVowelAreas(painter);
  } else {
    DrawRegions(painter);
  }
  DrawArrows(painter);
  painter.restore();

  // The grid and its labels in hertz: F2 along the top, F1 down the right, as on the
  // phoneticians' chart.
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QColor grid = palette().color(QPalette::Mid);
  const QColor text = palette().color(QPalette::WindowText);
  for (int hz : kF2Ticks) {
    const double x = PointFor(static_cast<float>(kF1Top), static_cast<float>(hz)).x();
    painter.setPen(QPen(grid, 0, Qt::DotLine));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    painter.setPen(text);
    const QString label = QString::number(hz);
    const double half = metrics.horizontalAdvance(label) / 2.0;
    const double left = std::clamp(x - half, 0.0, width() - 2 * half);
    painter.drawText(QPointF(left, plot.top() - line * 0.3), label);
  }
  for (int hz : kF1Ticks) {
    const double y = PointFor(static_cast<float>(hz), static_cast<float>(kF2Left)).y();
    painter.setPen(QPen(grid, 0, Qt::DotLine));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(text);
    painter.drawText(QPointF(plot.right() + line * 0.3, y + metrics.ascent() / 2.0 - 1),
                     QString::number(hz));
  }
  painter.setPen(text);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);
  painter.drawText(QPointF(plot.left(), line), QStringLiteral("F2 (Hz) ←"));
  const QString f1_name = QStringLiteral("F1 (Hz) ↓");
  painter.drawText(QPointF(width() - metrics.horizontalAdvance(f1_name) - 2, line), f1_name);

  QString caption;
  if (map_) {
    caption = tr("Sus vocales, según su calibración");
  } else {
    caption = tr("Regiones fijas, para %1 cm (%2)")
                  .arg(height_setting_ + 90)
                  .arg(male_ ? tr("hombre") : tr("mujer"));
  }
  if (agile_) caption = tr("%1; flechas: movimiento ágil").arg(caption);
  painter.drawText(QPointF(plot.left(), plot.bottom() + line * 1.2), caption);
}

void VowelChart::DrawRegions(QPainter& painter) const {
  // The regions are decided on formants multiplied by the tract length over 17.5 cm: on the
  // measured plane each edge lies at the edge divided by that.
  const double scale = TractLength(height_setting_ + 90, male_) / kReferenceTract;
  struct Region {
    Direction direction;
    const char* letters;
    double f1_low, f1_high, f2_low, f2_high;  // on normalised formants
  };
  const Region regions[] = {
      {Direction::kRight, "a", kOpenF1, kInfinity, kOpenF2, kInfinity},
      {Direction::kLeft, "i", 0.0, kCloseF1, kFrontF2, kInfinity},
      {Direction::kUp, "e", kCloseF1, kOpenF1, kMidF2, kInfinity},
      {Direction::kDown, "o u", 0.0, kOpenF1, 0.0, kBackF2},
  };
  QFont letters = font();
  letters.setPointSizeF(letters.pointSizeF() * 1.6);
  letters.setBold(true);
  painter.setFont(letters);
  for (const Region& r : regions) {
    // Higher F2 is further left and lower F1 further up: the low-F1, high-F2 corner is the
    // top left.
    const QPointF top_left =
        PointFor(static_cast<float>(r.f1_low / scale), static_cast<float>(r.f2_high / scale));
    const QPointF bottom_right =
        PointFor(static_cast<float>(r.f1_high / scale), static_cast<float>(r.f2_low / scale));
    const QRectF area(top_left, bottom_right);
    QColor fill = DirectionColour(r.direction);
    fill.setAlphaF(0.22f);
    painter.setPen(QPen(DirectionColour(r.direction).darker(130), 1.0));
    painter.setBrush(fill);
    painter.drawRect(area);
    painter.setPen(DirectionColour(r.direction).darker(160));
    painter.drawText(area, Qt::AlignCenter, QString::fromLatin1(r.letters));
  }
  painter.setFont(font());
}

void VowelChart::DrawVowelAreas(QPainter& painter) const {
  QFont letters = font();
  letters.setPointSizeF(letters.pointSizeF() * 1.6);
  letters.setBold(true);
  painter.setFont(letters);
  for (int v = 0; v < kVowelCount; ++v) {
    const VowelArea& a = map_->vowels[v];
    if (!a.present) continue;
    // The engine takes a sound for this vowel within kRejectionDistance spreads of its centre
    // in log frequency, and the axes are logarithmic: on the chart that is an upright ellipse.
    const double f1_reach = std::exp(kRejectionDistance * a.f1_spread);
    const double f2_reach = std::exp(kRejectionDistance * a.f2_spread);
    const QPointF top_left =
        PointFor(static_cast<float>(a.f1_hz / f1_reach), static_cast<float>(a.f2_hz * f2_reach));
    const QPointF bottom_right =
        PointFor(static_cast<float>(a.f1_hz * f1_reach), static_cast<float>(a.f2_hz / f2_reach));
    const Direction direction = VowelDirection(v);
    QColor fill = DirectionColour(direction);
    fill.setAlphaF(0.22f);
    painter.setPen(QPen(DirectionColour(direction).darker(130), 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(top_left, bottom_right));
    painter.setPen(DirectionColour(direction).darker(160));
    const QPointF centre = PointFor(a.f1_hz, a.f2_hz);
    const QRectF box(centre.x() - 50, centre.y() - 50, 100, 100);
    painter.drawText(box, Qt::AlignCenter, QString(QLatin1Char(kVowelLetters[v])));
  }
  painter.setFont(font());
}

}  // namespace sonlet
