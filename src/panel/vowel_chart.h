// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "calibration/vowel_map.h"
#include "engine/direction_decision.h"

namespace sonlet {

struct PassBatch;

// The vowel chart as phoneticians draw it: F2 across on a logarithmic scale, falling to the
// right (3000 to 600 Hz), F1 down on a logarithmic scale, rising downwards (200 to 1000 Hz), so
// that "i" sits at the top left, "a" at the bottom and "u" at the top right. On it, where the
// voice steers: the fixed vowel regions, or the user's own vowels once calibrated, and the
// engine's formant medians of the last second as a fading trail, each point in the colour of
// the direction that pass moved the pointer (grey when it moved nothing).
//
// It follows the engine at its pass rate, so it costs little: the axes and the areas are drawn
// once into a picture, and a new pass repaints only the part of it the trail covers.
class VowelChart : public QWidget {
  Q_OBJECT
 public:
  // One second of passes of 18.75 ms.
  static constexpr int kTrailPasses = 53;

  explicit VowelChart(QWidget* parent = nullptr);

  // The fixed regions lie on formants scaled to a reference vocal tract, so on the measured
  // plane they move with the speaker's height and sex settings (0..100 and male or not).
  void SetSpeaker(int height_setting, bool male);

  // The user's own vowels instead of the fixed regions; null for the regions.
  void SetVowelMap(const VowelMap* map);

  // With agile steering the chart draws the way each part of it steers: an arrow in each fixed
  // region, or at each calibrated vowel and along the lines between neighbouring ones, where a
  // sound between two vowels moves between their directions.
  void SetAgile(bool on);

  struct Arrow {
    QPointF at;  // on the chart
    float x, y;  // the bearing: a unit vector, x to the right and y downwards on the screen
    Direction direction;  // whose colour it takes: the nearer end's
  };
  // The arrows as drawn now; none without agile steering.
  std::vector<Arrow> SteeringArrows() const;

  // The engine's latest passes. Loud, voiced ones become points; every pass ages the trail.
  void AddPasses(const PassBatch& passes);

  // Where measured formants lie on the chart, in this widget's coordinates. Frequencies beyond
  // the axes are drawn at their edge.
  QPointF PointFor(float f1_hz, float f2_hz) const;

  // The plotting area within the margins for the tick labels.
  QRectF Plot() const { return plot_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  static constexpr int kFadeSteps = 8;   // shades of a dot as it ages
  static constexpr int kDirections = 5;  // Direction's values, none to down

  struct TrailPoint {
    float f1 = 0.0f;
    float f2 = 0.0f;
    Direction direction = Direction::kNone;
    int64_t pass = 0;
    QPoint at;  // on the chart
  };

  void LayOut();  // the plot within the margins, for this size and font
  void DrawBackground();
  void DrawRegions(QPainter& painter) const;
  void DrawVowelAreas(QPainter& painter) const;
  void DrawArrows(QPainter& painter) const;
  void MakeDots();
  // How the point in a ring slot is drawn: a shade 0 (newest) to kFadeSteps - 1, kFadeSteps for
  // the current pass, or -1 when it is not drawn.
  int Look(int slot) const;
  QRect DotRect(QPoint at) const;
  int Age(const TrailPoint& point) const { return static_cast<int>(newest_pass_ - point.pass); }

  int height_setting_ = -1;
  bool male_ = false;
  std::optional<VowelMap> map_;
  bool agile_ = false;
  QRectF plot_;
  int line_ = 0;  // the height of a line of text, which sizes the margins and the dots
  QImage dots_[kDirections][kFadeSteps + 1];
  QPixmap background_;
  bool background_stale_ = true;

  TrailPoint trail_[kTrailPasses];  // a ring, the newest at trail_next_ - 1
  int trail_next_ = 0;
  int trail_count_ = 0;
  int64_t newest_pass_ = 0;  // of any kind: a silent pass ages the trail too
};

}  // namespace sonlet
