// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/calibration_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/panel_view.h"
#include "panel/meter_bar.h"
#include "panel/panel_relay.h"
#include "panel/vowel_chart.h"

namespace sonlet {

namespace {

// Where each vowel steers, as the prompt says it; translated where the prompt is made.
constexpr const char* kVowelWays[kVowelCount] = {
    QT_TRANSLATE_NOOP("sonlet::CalibrationDialog", "la derecha"),
    QT_TRANSLATE_NOOP("sonlet::CalibrationDialog", "arriba"),
    QT_TRANSLATE_NOOP("sonlet::CalibrationDialog", "la izquierda"),
    QT_TRANSLATE_NOOP("sonlet::CalibrationDialog", "abajo"),
    QT_TRANSLATE_NOOP("sonlet::CalibrationDialog", "abajo")};

QChar Letter(int vowel) { return QLatin1Char(kVowelLetters[vowel]); }

}  // namespace

CalibrationDialog::CalibrationDialog(int threshold_level, QWidget* parent)
    : QDialog(parent), threshold_level_(threshold_level) {
  setWindowTitle(tr("Calibración de las vocales"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* intro = new QLabel(tr("Diga cada vocal sostenida, con su voz de siempre, durante unos dos "
                              "segundos, y calle después. Mientras tanto el puntero no se mueve. "
                              "«Cancelar» o ESC la interrumpen."),
                           this);
  intro->setWordWrap(true);
  prompt_ = new QLabel(this);
  prompt_->setObjectName(QStringLiteral("prompt"));
  QFont bigger = prompt_->font();
  bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
  bigger.setBold(true);
  prompt_->setFont(bigger);
  prompt_->setWordWrap(true);
  news_ = new QLabel(this);
  news_->setObjectName(QStringLiteral("news"));
  news_->setWordWrap(true);

  // The voice against the threshold: the bar turns green once it is loud enough to count.
  listening_part_ = new QWidget(this);
  level_ = new MeterBar(Qt::Horizontal, listening_part_);
  level_->setObjectName(QStringLiteral("level"));
  level_->SetRange(0, kIntensityMeterMax);
  level_->setAccessibleName(tr("Nivel de la voz"));
  level_text_ = new QLabel(listening_part_);
  // As wide as its widest text, so that the box keeps its size while the level changes.
  level_text_->setMinimumWidth(fontMetrics().horizontalAdvance(LevelText(kIntensityMeterMax, 100)));
  take_ = new QProgressBar(listening_part_);
  take_->setObjectName(QStringLiteral("take"));
  take_->setRange(0, kFewestTakePasses);
  take_->setValue(0);
  take_->setFormat(tr("%v de %m pasadas"));
  take_->setAccessibleName(tr("Toma"));
  auto* gauges = new QGridLayout(listening_part_);
  gauges->setContentsMargins(0, 0, 0, 0);
  gauges->addWidget(new QLabel(tr("Nivel"), listening_part_), 0, 0);
  gauges->addWidget(level_, 0, 1);
  gauges->addWidget(level_text_, 0, 2);
  gauges->addWidget(new QLabel(tr("Toma"), listening_part_), 1, 0);
  gauges->addWidget(take_, 1, 1, 1, 2);
  gauges->setColumnStretch(1, 1);
  ShowLevel(0.0f);

  preview_ = new VowelChart(this);
  preview_->setObjectName(QStringLiteral("preview"));
  preview_->hide();

  save_ = new QPushButton(tr("Guardar"), this);
  save_->setObjectName(QStringLiteral("save"));
  save_->setEnabled(false);
  cancel_ = new QPushButton(tr("Cancelar"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  // Nothing to save yet: ENTER must not end the calibration by surprise.
  save_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  connect(save_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addSpacing(fontMetrics().height() / 2);
  layout->addWidget(prompt_);
  layout->addWidget(listening_part_);
  layout->addWidget(news_);
  layout->addWidget(preview_, 1);
  layout->addLayout(buttons);
  // The box grows to the chart when the result comes.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  intro->setMinimumWidth(36 * fontMetrics().averageCharWidth());

  Ask();
  cancel_->setFocus();
}

QString CalibrationDialog::LevelText(int level, int threshold_level) {
  return tr("%1 dB (umbral %2 dB)").arg(level).arg(threshold_level);
}

QString CalibrationDialog::prompt() const { return prompt_->text(); }

QString CalibrationDialog::news() const { return news_->text(); }

void CalibrationDialog::TakePasses(const PassBatch& passes) {
  if (guide_.vowel() < 0 || passes.count == 0) return;
  for (const PassRecord& record : passes) {
    // Active as the run tracker counts it: loud, with a pitch.
    const bool active = record.listening && record.loud && record.pitch_median != 0.0f;
    // Passes lost while the panel was busy: when the same run did not simply go on through
    // them, the take ended among them, and two takes must not be run together.
    const int64_t lost = record.pass - last_pass_ - 1;
    const bool same_run = active && last_active_ && record.run == last_run_ + lost + 1;
    if (lost != 0 && last_pass_ >= 0 && !same_run) Follow(guide_.Feed(PassRecord{}));
    last_pass_ = record.pass;
    last_run_ = record.run;
    last_active_ = active;
    Follow(guide_.Feed(record));
    if (guide_.vowel() < 0) return;
  }
  ShowLevel(passes.passes[passes.count - 1].level);
  take_->setValue(std::min(guide_.current_passes(), kFewestTakePasses));
}

void CalibrationDialog::Follow(GuidedCalibration::Event event) {
  switch (event) {
    case GuidedCalibration::Event::kNone:
      return;
    case GuidedCalibration::Event::kTooShort:
      news_->setText(tr("Demasiado corta (%1 pasadas de %2): repita la «%3», más larga.")
                         .arg(guide_.taken_passes())
                         .arg(kFewestTakePasses)
                         .arg(Letter(guide_.vowel())));
      return;
    case GuidedCalibration::Event::kTaken:
      news_->setText(tr("«%1» recogida (%2 pasadas).")
                         .arg(Letter(guide_.taken_vowel()))
                         .arg(guide_.taken_passes()));
      Ask();
      return;
    case GuidedCalibration::Event::kOverlap:
      news_->setText(tr("«%1» y «%2» han salido demasiado parecidas: repítalas, cada "
                        "una lo más clara que pueda.")
                         .arg(Letter(guide_.result().vowel))
                         .arg(Letter(guide_.result().other)));
      Ask();
      return;
    case GuidedCalibration::Event::kDone:
      ShowResult();
      return;
  }
}

void CalibrationDialog::Ask() {
  const int v = guide_.vowel();
  const QString held(4, Letter(v));
  prompt_->setText(tr("Vocal «%1» (mueve hacia %2): diga «%3» durante dos segundos.")
                       .arg(Letter(v))
                       .arg(tr(kVowelWays[v]))
                       .arg(held));
  take_->setValue(0);
}

void CalibrationDialog::ShowLevel(float level_db) {
  const int level = std::clamp(static_cast<int>(level_db), 0, kIntensityMeterMax);
  if (level == level_shown_) return;
  level_shown_ = level;
  level_->SetValue(level);
  level_text_->setText(LevelText(level, threshold_level_));
  const int loud = level > threshold_level_ ? 1 : 0;
  if (loud == loud_shown_) return;
  loud_shown_ = loud;
  QPalette colours = level_->palette();
  colours.setColor(QPalette::Highlight,
                   loud == 1 ? QColor(0x20, 0xa8, 0x30) : QColor(0xa0, 0xa0, 0xa0));
  level_->setPalette(colours);
}

void CalibrationDialog::ShowResult() {
  prompt_->setText(tr("Calibración completa: así quedan sus vocales."));
  news_->setText(
      tr("«Guardar» la guarda y la usa desde ahora para mover el puntero; "
         "«Cancelar» la descarta."));
  listening_part_->hide();
  preview_->SetVowelMap(&guide_.result().map);
  preview_->show();
  save_->setEnabled(true);
  save_->setDefault(true);
  save_->setFocus();
}

}  // namespace sonlet
