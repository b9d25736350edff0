// SPDX-License-Identifier: GPL-3.0-or-later
// The control panel's controls and how they are laid out: the buttons, the groups of sliders,
// meters and read-outs, the legends, the menu and the order of the Tab key. Each control keeps
// the number it has always had as its object name, which the tests and the profile's exchange
// find it by.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "panel/control_panel.h"
#include "panel/icons.h"
#include "panel/meter_bar.h"
#include "panel/readout.h"
#include "panel/track_bar.h"

namespace sonlet {

namespace {

QString Id(int number) { return QString::number(number); }

QLabel* Label(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

Readout* MakeReadout(int number, int width_in_digits, QWidget* parent) {
  auto* field = new Readout(parent);
  field->setObjectName(Id(number));
  const QFontMetrics metrics(field->font());
  // Room for the digits, the frame and the text margins of the style.
  field->setFixedWidth(metrics.horizontalAdvance(QString(width_in_digits, QLatin1Char('0'))) +
                       2 * metrics.averageCharWidth() + 6);
  return field;
}

TrackBar* MakeTrackBar(int number, Qt::Orientation orientation, int minimum, int maximum,
                       QWidget* parent) {
  auto* bar = new TrackBar(orientation, parent);
  bar->setObjectName(Id(number));
  bar->setRange(minimum, maximum);
  bar->setPageStep(qMax(1, (maximum - minimum) / 5));
  if (orientation == Qt::Vertical) {
    // The top end is the smallest value, and the arrow keys move the handle the way they point.
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
  }
  return bar;
}

MeterBar* MakeMeter(int number, Qt::Orientation orientation, int minimum, int maximum,
                    QWidget* parent) {
  auto* bar = new MeterBar(orientation, parent);
  bar->setObjectName(Id(number));
  bar->SetRange(minimum, maximum);
  bar->SetValue(0);
  return bar;
}

QGroupBox* Group(const QString& title, bool centred, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  if (centred) box->setAlignment(Qt::AlignHCenter);
  return box;
}

}  // namespace

void ControlPanel::MakeHiddenControls() {
  // Created but never shown: the click action stays the left mouse button and the speaker's
  // vocal-tract length is computed but not on display.
  click_action_ = new QComboBox(this);
  click_action_->setObjectName(Id(1008));
  click_action_->setEditable(true);
  click_action_->addItems({tr("Boton Izdo Raton"), tr("Tecla \"ENTER\"")});
  click_action_->hide();
  tract_text_ = MakeReadout(1022, 5, this);
  tract_text_->hide();
  connect(click_action_->lineEdit(), &QLineEdit::textEdited, this, &ControlPanel::StoreExchange);
}

QLayout* ControlPanel::MakeButtons() {
  start_ = new QPushButton(tr("Iniciar"), this);
  start_->setObjectName(Id(1000));
  stop_ = new QPushButton(tr("Detener"), this);
  stop_->setObjectName(Id(1001));
  quit_ = new QPushButton(tr("Salir"), this);
  quit_->setObjectName(Id(1));
  quit_->setDefault(true);
  // ENTER means "Salir" wherever the focus is, also on "Iniciar" and "Detener" right after one
  // of them was pressed: a focused button would otherwise take ENTER for itself. The space bar
  // still presses the focused button.
  start_->setAutoDefault(false);
  stop_->setAutoDefault(false);
  connect(start_, &QPushButton::clicked, this, &ControlPanel::OnStart);
  connect(stop_, &QPushButton::clicked, this, &ControlPanel::OnStop);
  connect(quit_, &QPushButton::clicked, this, &ControlPanel::SaveAndEnd);

  auto* column = new QVBoxLayout;
  column->addSpacing(fontMetrics().height() / 2);
  column->addWidget(start_);
  column->addWidget(stop_);
  column->addSpacing(fontMetrics().height());
  column->addWidget(quit_);
  column->addStretch(1);
  return column;
}

QGroupBox* ControlPanel::MakeUserGroup() {
  QGroupBox* box = Group(tr("Usuario"), true, this);

  male_ = new QCheckBox(box);
  male_->setObjectName(Id(1005));
  male_->setAccessibleName(tr("Masculino"));
  connect(male_, &QCheckBox::clicked, this, &ControlPanel::StoreExchange);
  auto* sexes = new QVBoxLayout;
  sexes->addWidget(Label(tr("Masculino"), box));
  sexes->addWidget(Label(tr("Femenino"), box));
  auto* sex = new QHBoxLayout;
  sex->addWidget(Label(tr("Sexo"), box));
  sex->addWidget(male_);
  sex->addWidget(IconLabel(QStringLiteral("sex-boxes"), LegendIconEdge(*this), box));
  sex->addLayout(sexes);
  sex->addStretch(1);

  // An untitled frame around the height.
  auto* height_box = new QGroupBox(box);
  height_text_ = MakeReadout(1019, 3, height_box);
  height_text_->SetAlignment(Qt::AlignCenter);
  height_text_->setAccessibleName(tr("Talla"));
  // Transparent: the read-out shows on the panel's own background.
  QPalette see_through = height_text_->palette();
  see_through.setColor(QPalette::Base, see_through.color(QPalette::Window));
  height_text_->setPalette(see_through);
  height_ = MakeTrackBar(1020, Qt::Horizontal, 0, kPositionMax, height_box);
  height_->setTickPosition(QSlider::TicksAbove);
  height_->setTickInterval(10);
  height_->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  height_->setAccessibleName(tr("Talla"));
  connect(height_, &TrackBar::MouseLetGo, this, &ControlPanel::StoreExchange);

  auto* height_row = new QHBoxLayout;
  height_row->addStretch(1);
  height_row->addWidget(Label(tr("Talla"), height_box));
  height_row->addWidget(height_text_);
  height_row->addWidget(Label(QStringLiteral("cm"), height_box));
  height_row->addStretch(1);
  auto* ends = new QHBoxLayout;
  ends->addWidget(Label(QStringLiteral("90"), height_box));
  ends->addStretch(1);
  ends->addWidget(Label(QStringLiteral("<---      |      --->"), height_box));
  ends->addStretch(1);
  ends->addWidget(Label(QStringLiteral("190"), height_box));
  auto* height_column = new QVBoxLayout(height_box);
  height_column->addLayout(height_row);
  height_column->addLayout(ends);
  height_column->addWidget(height_);

  auto* column = new QVBoxLayout(box);
  column->addLayout(sex);
  column->addWidget(height_box);
  return box;
}

QGroupBox* ControlPanel::MakeThresholdGroup() {
  QGroupBox* box = Group(tr("Umbral"), true, this);
  threshold_ = MakeTrackBar(1002, Qt::Vertical, 0, kThresholdMax, box);
  threshold_->setTickPosition(QSlider::TicksBothSides);
  threshold_->setTickInterval(10);
  threshold_->setAccessibleName(tr("Umbral"));
  connect(threshold_, &TrackBar::MouseLetGo, this, &ControlPanel::StoreExchange);
  intensity_meter_ = MakeMeter(1003, Qt::Vertical, 0, kIntensityMeterMax, box);
  intensity_meter_->setAccessibleName(tr("Intensidad"));
  // Why a click did not come: the guard took the sound for speech. Shown for a moment; its
  // place is kept, so that the meters do not shift when it comes and goes.
  speech_mark_ = new QLabel(tr("habla"), box);
  speech_mark_->setObjectName(QStringLiteral("speech-mark"));
  speech_mark_->setToolTip(tr("Se ha tomado un sonido por habla y se ha ignorado"));
  speech_mark_->setAlignment(Qt::AlignCenter);
  QSizePolicy keep = speech_mark_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  speech_mark_->setSizePolicy(keep);
  speech_mark_->hide();
  speech_mark_timer_ = new QTimer(this);
  speech_mark_timer_->setSingleShot(true);
  speech_mark_timer_->setInterval(1500);
  connect(speech_mark_timer_, &QTimer::timeout, speech_mark_, &QWidget::hide);
  auto* column = new QVBoxLayout(box);
  auto* row = new QHBoxLayout;
  row->addWidget(threshold_);
  row->addWidget(intensity_meter_);
  column->addLayout(row);
  column->addWidget(speech_mark_);
  return box;
}

QLayout* ControlPanel::MakeDirectionLegend() {
  // Which vowel moves the pointer which way: the mouse in the middle, an arrow on each side and
  // the vowel beyond it, arrow and vowel in one colour.
  const int edge = LegendIconEdge(*this);
  auto* compass = new QGridLayout;
  compass->setSpacing(0);
  compass->addWidget(IconLabel(QStringLiteral("vowel-e"), edge, this), 0, 2);
  compass->addWidget(IconLabel(QStringLiteral("arrow-up"), edge, this), 1, 2);
  compass->addWidget(IconLabel(QStringLiteral("vowel-i"), edge, this), 2, 0);
  compass->addWidget(IconLabel(QStringLiteral("arrow-left"), edge, this), 2, 1);
  compass->addWidget(IconLabel(QStringLiteral("mouse-waves"), edge, this), 2, 2);
  compass->addWidget(IconLabel(QStringLiteral("arrow-right"), edge, this), 2, 3);
  compass->addWidget(IconLabel(QStringLiteral("vowel-a"), edge, this), 2, 4);
  compass->addWidget(IconLabel(QStringLiteral("arrow-down"), edge, this), 3, 2);
  compass->addWidget(IconLabel(QStringLiteral("vowel-ou"), edge, this), 4, 2);
  auto* column = new QVBoxLayout;
  column->addLayout(compass);
  column->addStretch(1);
  return column;
}

QGroupBox* ControlPanel::MakeVoiceParametersGroup() {
  QGroupBox* box = Group(tr("Parámetros de la Voz"), false, this);
  intensity_text_ = MakeReadout(1014, 3, box);
  pitch_text_ = MakeReadout(1015, 3, box);
  f1_text_ = MakeReadout(1017, 4, box);
  f2_text_ = MakeReadout(1018, 4, box);
  intensity_text_->setAccessibleName(tr("Intensidad"));
  pitch_text_->setAccessibleName(tr("Tono"));
  f1_text_->setAccessibleName(tr("Formante 1"));
  f2_text_->setAccessibleName(tr("Formante 2"));

  auto* grid = new QGridLayout(box);
  grid->addWidget(Label(tr("Intensidad"), box), 0, 0);
  grid->addWidget(intensity_text_, 0, 1);
  grid->addWidget(Label(QStringLiteral("dB"), box), 0, 2);
  grid->addWidget(Label(tr("Tono"), box), 1, 0);
  grid->addWidget(pitch_text_, 1, 1);
  grid->addWidget(Label(QStringLiteral("Hz"), box), 1, 2);
  grid->setColumnMinimumWidth(3, fontMetrics().height());
  grid->addWidget(Label(tr("Formante 1"), box), 0, 4);
  grid->addWidget(f1_text_, 0, 5);
  grid->addWidget(Label(QStringLiteral("Hz"), box), 0, 6);
  grid->addWidget(Label(tr("Formante 2"), box), 1, 4);
  grid->addWidget(f2_text_, 1, 5);
  grid->addWidget(Label(QStringLiteral("Hz"), box), 1, 6);
  grid->setRowStretch(2, 1);
  return box;
}

QGroupBox* ControlPanel::MakeVoiceWindowGroup() {
  QGroupBox* box = Group(tr("Ventana de VOZ"), true, this);
  click_min_ = MakeTrackBar(1004, Qt::Horizontal, kClickLimitMin, kClickLimitMax, box);
  click_max_ = MakeTrackBar(1009, Qt::Horizontal, kClickLimitMin, kClickLimitMax, box);
  for (TrackBar* limit : {click_min_, click_max_}) {
    limit->setTickPosition(QSlider::TicksBothSides);
    limit->setTickInterval(5);
    connect(limit, &TrackBar::MouseLetGo, this, &ControlPanel::StoreExchange);
  }
  click_min_->setAccessibleName(tr("Click mínimo"));
  click_max_->setAccessibleName(tr("Click máximo"));
  voice_window_meter_ = MakeMeter(1010, Qt::Horizontal, kVoiceWindowMin, kVoiceWindowMax, box);
  voice_window_meter_->setAccessibleName(tr("Ventana de VOZ"));

  auto* signs = new QHBoxLayout;
  signs->addWidget(Label(QStringLiteral("-"), box));
  signs->addStretch(1);
  signs->addWidget(Label(QStringLiteral("+"), box));
  auto* limits = new QVBoxLayout;
  limits->addWidget(click_min_);
  limits->addLayout(signs);
  limits->addWidget(click_max_);
  limits->addStretch(1);
  limits->addWidget(voice_window_meter_);

  speed_meter_ = MakeMeter(1027, Qt::Horizontal, 0, kSpeedMeterMax, box);
  speed_meter_->setAccessibleName(tr("Velocidad"));
  speed_meter_->setMinimumWidth(4 * fontMetrics().height());
  speed_ = MakeTrackBar(1025, Qt::Vertical, 0, kPositionMax, box);
  speed_->setTickPosition(QSlider::NoTicks);
  speed_->setAccessibleName(tr("Velocidad"));
  connect(speed_, &TrackBar::MouseLetGo, this, &ControlPanel::StoreExchange);
  auto* speed = new QVBoxLayout;
  speed->addWidget(Label(tr("Velocidad"), box), 0, Qt::AlignHCenter);
  speed->addWidget(speed_meter_);
  speed->addWidget(speed_, 1, Qt::AlignHCenter);

  auto* row = new QHBoxLayout(box);
  row->addLayout(limits, 1);
  row->addLayout(speed);
  return box;
}

QLayout* ControlPanel::MakeClickLegend() {
  auto* names = new QVBoxLayout;
  // The words the user says, which the engine hears the same in any language.
  names->addWidget(Label(QStringLiteral("\"Click\""), this));
  names->addWidget(Label(QStringLiteral("\"Click - Click\""), this));
  auto* clicks = new QHBoxLayout;
  clicks->addWidget(IconLabel(QStringLiteral("clicks"), LegendIconEdge(*this), this));
  clicks->addLayout(names);
  clicks->addStretch(1);
  auto* column = new QVBoxLayout;
  column->addStretch(1);
  column->addLayout(clicks);
  column->addWidget(Label(tr("Para el click izquierdo\n"
                             "utiliza la palabra /click/\n"
                             "o un sonido sonoro corto."),
                          this));
  return column;
}

void ControlPanel::MakeMenu(QLayout* layout) {
  // Two plain commands, the manual on the left and the About box at the right end. The bar
  // stays in the window even where the desktop gathers menus in a global bar.
  auto* bar = new QMenuBar(this);
  bar->setNativeMenuBar(false);
  QAction* manual = bar->addAction(tr("Manual (pdf)"));
  manual->setObjectName(Id(32773));
  connect(manual, &QAction::triggered, this, &ControlPanel::OpenManual);
  QMenu* vowels = bar->addMenu(tr("&Vocales"));
  vowels->setObjectName(QStringLiteral("vowels"));
  calibrate_ = vowels->addAction(tr("&Calibración…"));
  calibrate_->setObjectName(QStringLiteral("calibrate"));
  connect(calibrate_, &QAction::triggered, this, &ControlPanel::OpenCalibration);
  use_calibration_ = vowels->addAction(tr("&Usar calibración"));
  use_calibration_->setObjectName(QStringLiteral("use-calibration"));
  use_calibration_->setCheckable(true);
  connect(use_calibration_, &QAction::triggered, this, &ControlPanel::OnUseCalibration);
  show_vowels_ = vowels->addAction(tr("&Ver vocales"));
  show_vowels_->setObjectName(QStringLiteral("show-vowels"));
  connect(show_vowels_, &QAction::triggered, this, &ControlPanel::ShowVowelChart);
  QMenu* options = bar->addMenu(tr("&Opciones"));
  options->setObjectName(QStringLiteral("options"));
  start_with_session_ = options->addAction(tr("&Iniciar con la sesión"));
  start_with_session_->setObjectName(QStringLiteral("start-with-session"));
  start_with_session_->setCheckable(true);
  connect(start_with_session_, &QAction::triggered, this, &ControlPanel::OnStartWithSession);
  // The entry may have been added or removed elsewhere since the panel started.
  connect(options, &QMenu::aboutToShow, this, &ControlPanel::ShowStartWithSession);
  ShowStartWithSession();
  // A hiss of about a second stops and starts listening, so that the user can talk to someone.
  pause_gesture_ = options->addAction(tr("&Pausa con «sss»"));
  pause_gesture_->setObjectName(QStringLiteral("pause-gesture"));
  pause_gesture_->setCheckable(true);
  connect(pause_gesture_, &QAction::triggered, this, &ControlPanel::OnPauseGestureSwitch);
  // Talk near the microphone (the user's own, another person's, a radio's) does nothing.
  speech_guard_ = options->addAction(tr("I&gnorar el habla"));
  speech_guard_->setObjectName(QStringLiteral("speech-guard"));
  speech_guard_->setCheckable(true);
  connect(speech_guard_, &QAction::triggered, this, &ControlPanel::OnSpeechGuardSwitch);
  // Steering that starts at a pixel a pass and speeds up the longer a vowel is held.
  agile_ = options->addAction(tr("&Movimiento ágil"));
  agile_->setObjectName(QStringLiteral("agile"));
  agile_->setCheckable(true);
  connect(agile_, &QAction::triggered, this, &ControlPanel::OnAgileSwitch);
  // Right, middle and double clicks, dragging and scrolling, chosen by steering onto a button.
  palette_item_ = options->addAction(tr("Paleta de a&cciones"));
  palette_item_->setObjectName(QStringLiteral("action-palette"));
  palette_item_->setCheckable(true);
  connect(palette_item_, &QAction::triggered, this, &ControlPanel::SwitchPalette);
  // The threshold from the room and the user's voice, for whoever cannot drag the slider.
  adjust_threshold_ = options->addAction(tr("&Ajustar umbral"));
  adjust_threshold_->setObjectName(QStringLiteral("adjust-threshold"));
  connect(adjust_threshold_, &QAction::triggered, this, &ControlPanel::OpenThresholdBox);
  auto* corner = new QMenuBar(bar);
  corner->setNativeMenuBar(false);
  QAction* about = corner->addAction(tr("&Acerca de"));
  about->setObjectName(Id(32772));
  connect(about, &QAction::triggered, this, &ControlPanel::ShowAbout);
  bar->setCornerWidget(corner, Qt::TopRightCorner);
  layout->setMenuBar(bar);
}

void ControlPanel::SetTabOrder() {
  // "Salir" first, then the controls in the order of their numbers; the meters and the height
  // slider take no focus from the Tab key, and disabled or hidden controls are skipped.
  QWidget* const order[] = {quit_,           start_,       stop_,         threshold_,
                            click_min_,      male_,        click_action_, click_max_,
                            intensity_text_, pitch_text_,  f1_text_,      f2_text_,
                            height_,         height_text_, tract_text_,   speed_};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    setTabOrder(order[i], order[i + 1]);
  }
}

}  // namespace sonlet
