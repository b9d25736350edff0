// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/threshold_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "engine/panel_view.h"
#include "panel/meter_bar.h"
#include "panel/panel_relay.h"

namespace sonlet {

namespace {

int Whole(float db) { return static_cast<int>(std::lround(db)); }

constexpr int kRoomProgressMax = ThresholdProbe::kSettlingPasses + ThresholdProbe::kRoomPasses;

}  // namespace

ThresholdDialog::ThresholdDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Ajustar umbral"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* intro = new QLabel(tr("Primero escucho la sala unos tres segundos: no diga nada. Después "
                              "le pediré una «aaa» corta con su voz de siempre. Mientras tanto el "
                              "puntero no se mueve. «Cancelar» o ESC lo interrumpen."),
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

  level_ = new MeterBar(Qt::Horizontal, this);
  level_->setObjectName(QStringLiteral("level"));
  level_->SetRange(0, kIntensityMeterMax);
  level_->setAccessibleName(tr("Nivel"));
  level_text_ = new QLabel(this);
  level_text_->setMinimumWidth(fontMetrics().horizontalAdvance(tr("%1 dB").arg(88)));
  room_ = new QProgressBar(this);
  room_->setObjectName(QStringLiteral("room"));
  room_->setRange(0, kRoomProgressMax);
  room_->setFormat(tr("Sala %p %"));
  room_->setAccessibleName(tr("Sala"));
  auto* gauges = new QGridLayout;
  gauges->addWidget(new QLabel(tr("Nivel"), this), 0, 0);
  gauges->addWidget(level_, 0, 1);
  gauges->addWidget(level_text_, 0, 2);
  gauges->addWidget(new QLabel(tr("Sala"), this), 1, 0);
  gauges->addWidget(room_, 1, 1, 1, 2);
  gauges->setColumnStretch(1, 1);

  accept_ = new QPushButton(tr("Aceptar"), this);
  accept_->setObjectName(QStringLiteral("accept"));
  again_ = new QPushButton(tr("Repetir"), this);
  again_->setObjectName(QStringLiteral("again"));
  cancel_ = new QPushButton(tr("Cancelar"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  for (QPushButton* button : {accept_, again_, cancel_}) button->setAutoDefault(false);
  connect(accept_, &QPushButton::clicked, this, &QDialog::accept);
  connect(again_, &QPushButton::clicked, this, &ThresholdDialog::Begin);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(accept_);
  buttons->addWidget(again_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addSpacing(fontMetrics().height() / 2);
  layout->addWidget(prompt_);
  layout->addLayout(gauges);
  layout->addWidget(news_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // One width for every step, so that the box does not jump about as its texts change.
  for (QLabel* text : {intro, prompt_, news_}) {
    text->setFixedWidth(44 * fontMetrics().averageCharWidth());
  }

  ShowLevel(0.0f);
  Begin();
}

QString ThresholdDialog::prompt() const { return prompt_->text(); }

QString ThresholdDialog::news() const { return news_->text(); }

void ThresholdDialog::Begin() {
  probe_ = ThresholdProbe();
  prompt_->setText(tr("Escuchando la sala: silencio, por favor."));
  news_->clear();
  room_->setValue(0);
  accept_->setEnabled(false);
  accept_->setDefault(false);
  again_->setEnabled(false);
  cancel_->setFocus();
}

void ThresholdDialog::TakePasses(const PassBatch& passes) {
  if (passes.count == 0) return;
  for (const PassRecord& record : passes) {
    if (probe_.phase() == ThresholdProbe::Phase::kDone) break;
    Follow(probe_.Feed(record.level));
  }
  ShowLevel(passes.passes[passes.count - 1].level);
  room_->setValue(std::min(probe_.room_progress(), kRoomProgressMax));
}

void ThresholdDialog::Follow(ThresholdProbe::Event event) {
  switch (event) {
    case ThresholdProbe::Event::kNone:
      return;
    case ThresholdProbe::Event::kRoomHeard:
      prompt_->setText(
          tr("Ahora diga «aaa» con su voz de siempre, durante un segundo más o menos."));
      news_->setText(tr("Sala: %1 dB.").arg(Whole(probe_.room_db())));
      return;
    case ThresholdProbe::Event::kTooShort:
      news_->setText(tr("Demasiado corta (%1 pasadas de %2): repita la «aaa», más larga.")
                         .arg(probe_.held_passes())
                         .arg(ThresholdProbe::kFewestHeldPasses));
      return;
    case ThresholdProbe::Event::kRoomChanged:
      prompt_->setText(tr("Escuchando la sala: silencio, por favor."));
      news_->setText(
          tr("Ese sonido dura demasiado para una «aaa»: parece que la sala ha "
             "cambiado, y la vuelvo a escuchar."));
      return;
    case ThresholdProbe::Event::kDone:
      ShowChoice();
      return;
  }
}

void ThresholdDialog::ShowChoice() {
  const ThresholdChoice& choice = probe_.choice();
  again_->setEnabled(true);
  switch (choice.status) {
    case ThresholdChoice::Status::kNoVoice:
      prompt_->setText(tr("No se ha cambiado el umbral."));
      news_->setText(tr("No se ha oído ninguna «aaa» por encima del ruido de la sala (%1 dB). "
                        "Acérquese al micrófono o súbale el volumen, y pulse «Repetir».")
                         .arg(Whole(choice.room_db)));
      again_->setFocus();
      return;
    case ThresholdChoice::Status::kVoiceTooQuiet:
      prompt_->setText(tr("No se ha cambiado el umbral."));
      news_->setText(tr("Su voz (%1 dB) no se oye con claridad por encima del ruido de la sala "
                        "(%2 dB): hacen falta al menos %3 dB más. Acérquese al micrófono o "
                        "súbale el volumen, o baje el ruido de la sala, y pulse «Repetir».")
                         .arg(Whole(choice.voice_db))
                         .arg(Whole(choice.room_db))
                         .arg(kRoomMarginDb + kLeastHeadroomDb));
      again_->setFocus();
      return;
    case ThresholdChoice::Status::kChosen:
      break;
  }
  prompt_->setText(tr("Umbral sugerido: %1.").arg(choice.threshold));
  QString why = tr("Cuenta lo que pase de %1 dB: la sala (%2 dB) queda %3 dB por debajo y su voz "
                   "(%4 dB) %5 dB por encima.")
                    .arg(choice.threshold_db)
                    .arg(Whole(choice.room_db))
                    .arg(choice.threshold_db - Whole(choice.room_db))
                    .arg(Whole(choice.voice_db))
                    .arg(choice.headroom_db);
  if (choice.up_needs_louder_voice()) {
    why += QLatin1Char(' ') + tr("La sala no deja bajarlo más: diga la «e» (arriba) algo más "
                                 "fuerte que esta «aaa».");
  }
  why += QLatin1Char(' ') +
         tr("«Aceptar» lo pone en el control del umbral; «Cancelar» deja el de antes.");
  news_->setText(why);
  accept_->setEnabled(true);
  accept_->setDefault(true);
  accept_->setFocus();
}

void ThresholdDialog::ShowLevel(float level_db) {
  const int level = std::clamp(Whole(level_db), 0, kIntensityMeterMax);
  if (level == level_shown_) return;
  level_shown_ = level;
  level_->SetValue(level);
  level_text_->setText(tr("%1 dB").arg(level));
}

}  // namespace sonlet
