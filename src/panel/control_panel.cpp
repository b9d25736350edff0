#include "panel/control_panel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstring>

#include "panel/about_dialog.h"
#include "panel/icons.h"
#include "panel/meter_bar.h"
#include "panel/panel_relay.h"
#include "settings/profile_file.h"
#include "panel/readout.h"
#include "panel/track_bar.h"
#include "engine/audio_source.h"
#include "engine/engine_runner.h"
#include "engine/input_sink.h"
#include "engine/voice_engine.h"

namespace {

// The meters' ranges: intensity in whole dB up to 90, the pointer speed step plus 2 up to 10,
// and the current sound's length in passes from 1 to 50.
constexpr int kIntensityMax = 90;
constexpr int kSpeedMeterMax = 10;
constexpr int kVoiceWindowMin = 1;
constexpr int kVoiceWindowMax = 50;

// The settings' ranges on their sliders.
constexpr int kThresholdMax = 90;
constexpr int kClickLimitMin = 1;
constexpr int kClickLimitMax = 50;
constexpr int kPositionMax = 100;  // height and speed

const char* const kManualName = "Manual_sonlet.pdf";

QString id(int number) { return QString::number(number); }

QLabel* label(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

CReadout* readout(int number, int width_in_digits, QWidget* parent) {
  auto* field = new CReadout(parent);
  field->setObjectName(id(number));
  const QFontMetrics metrics(field->font());
  // Room for the digits, the frame and the text margins of the style.
  field->setFixedWidth(metrics.horizontalAdvance(QString(width_in_digits, QLatin1Char('0'))) +
                       2 * metrics.averageCharWidth() + 6);
  return field;
}

CTrackBar* track_bar(int number, Qt::Orientation orientation, int minimum, int maximum,
                     QWidget* parent) {
  auto* bar = new CTrackBar(orientation, parent);
  bar->setObjectName(id(number));
  bar->setRange(minimum, maximum);
  bar->setPageStep(qMax(1, (maximum - minimum) / 5));
  if (orientation == Qt::Vertical) {
    // The top end is the smallest value, and the arrow keys move the handle the way they point.
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
  }
  return bar;
}

CMeterBar* meter(int number, Qt::Orientation orientation, int minimum, int maximum,
                 QWidget* parent) {
  auto* bar = new CMeterBar(orientation, parent);
  bar->setObjectName(id(number));
  bar->setRange(minimum, maximum);
  bar->setValue(0);
  return bar;
}

QGroupBox* group(const QString& title, bool centred, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  if (centred) box->setAlignment(Qt::AlignHCenter);
  return box;
}

// Sets a read-out's text when it differs from what it shows: an unchanged field is not
// repainted.
template <size_t N>
void show_text(CReadout* field, const std::array<char, N>& text, std::array<char, N>* shown) {
  if (std::strncmp(text.data(), shown->data(), N) == 0) return;
  *shown = text;
  field->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(strnlen(text.data(), N))));
}

// The manual in the current folder, as the user keeps it beside the profile; otherwise the copy
// installed with the program.
QString manual_path() {
  if (QFileInfo::exists(QLatin1String(kManualName))) {
    return QDir::current().absoluteFilePath(QLatin1String(kManualName));
  }
  return QDir(QCoreApplication::applicationDirPath())
      .absoluteFilePath(QStringLiteral("../share/doc/sonlet/") + QLatin1String(kManualName));
}

}  // namespace

CSonletDlg::CSonletDlg(std::string profile_path, QWidget* parent)
    : QDialog(parent), profile_path_(std::move(profile_path)) {
  setWindowTitle(QStringLiteral("S O N L E T"));
  setWindowIcon(application_icon());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  relay_ = new CPanelRelay(this);
  connect(relay_, &CPanelRelay::arrived, this, &CSonletDlg::show_snapshot);

  auto* upper = new QHBoxLayout;
  upper->addLayout(make_buttons());
  upper->addWidget(make_user_group());
  upper->addWidget(make_threshold_group());
  upper->addLayout(make_direction_legend());

  auto* lower = new QHBoxLayout;
  lower->addWidget(make_voice_parameters_group());
  lower->addWidget(make_voice_window_group(), 1);
  lower->addLayout(make_click_legend());

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(upper);
  layout->addLayout(lower);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  make_menu(layout);

  // Created but never shown: the click action stays the left mouse button and the speaker's
  // vocal-tract length is computed but not on display.
  click_action_ = new QComboBox(this);
  click_action_->setObjectName(id(1008));
  click_action_->setEditable(true);
  click_action_->addItems({QStringLiteral("Boton Izdo Raton"), QStringLiteral("Tecla \"ENTER\"")});
  click_action_->hide();
  tract_text_ = readout(1022, 5, this);
  tract_text_->hide();
  connect(click_action_->lineEdit(), &QLineEdit::textEdited, this, &CSonletDlg::store_exchange);

  set_tab_order();
  set_listening_controls(false);
  quit_->setFocus();
}

CSonletDlg::~CSonletDlg() { stop_engine(); }

QLayout* CSonletDlg::make_buttons() {
  start_ = new QPushButton(QStringLiteral("Iniciar"), this);
  start_->setObjectName(id(1000));
  stop_ = new QPushButton(QStringLiteral("Detener"), this);
  stop_->setObjectName(id(1001));
  quit_ = new QPushButton(QStringLiteral("Salir"), this);
  quit_->setObjectName(id(1));
  quit_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, &CSonletDlg::on_start);
  connect(stop_, &QPushButton::clicked, this, &CSonletDlg::on_stop);
  connect(quit_, &QPushButton::clicked, this, &CSonletDlg::save_and_end);

  auto* column = new QVBoxLayout;
  column->addSpacing(fontMetrics().height() / 2);
  column->addWidget(start_);
  column->addWidget(stop_);
  column->addSpacing(fontMetrics().height());
  column->addWidget(quit_);
  column->addStretch(1);
  return column;
}

QGroupBox* CSonletDlg::make_user_group() {
  QGroupBox* box = group(QStringLiteral("Usuario"), true, this);

  male_ = new QCheckBox(box);
  male_->setObjectName(id(1005));
  male_->setAccessibleName(QStringLiteral("Masculino"));
  connect(male_, &QCheckBox::clicked, this, &CSonletDlg::store_exchange);
  auto* sexes = new QVBoxLayout;
  sexes->addWidget(label(QStringLiteral("Masculino"), box));
  sexes->addWidget(label(QStringLiteral("Femenino"), box));
  auto* sex = new QHBoxLayout;
  sex->addWidget(label(QStringLiteral("Sexo"), box));
  sex->addWidget(male_);
  sex->addWidget(icon_label(QStringLiteral("sex-boxes"), legend_icon_edge(*this), box));
  sex->addLayout(sexes);
  sex->addStretch(1);

  // An untitled frame around the height.
  auto* height_box = new QGroupBox(box);
  height_text_ = readout(1019, 3, height_box);
  height_text_->setAlignment(Qt::AlignCenter);
  height_text_->setAccessibleName(QStringLiteral("Talla"));
  // Transparent: the read-out shows on the panel's own background.
  QPalette see_through = height_text_->palette();
  see_through.setColor(QPalette::Base, see_through.color(QPalette::Window));
  height_text_->setPalette(see_through);
  height_ = track_bar(1020, Qt::Horizontal, 0, kPositionMax, height_box);
  height_->setTickPosition(QSlider::TicksAbove);
  height_->setTickInterval(10);
  height_->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  height_->setAccessibleName(QStringLiteral("Talla"));
  connect(height_, &CTrackBar::mouseLetGo, this, &CSonletDlg::store_exchange);

  auto* height_row = new QHBoxLayout;
  height_row->addStretch(1);
  height_row->addWidget(label(QStringLiteral("Talla"), height_box));
  height_row->addWidget(height_text_);
  height_row->addWidget(label(QStringLiteral("cm"), height_box));
  height_row->addStretch(1);
  auto* ends = new QHBoxLayout;
  ends->addWidget(label(QStringLiteral("90"), height_box));
  ends->addStretch(1);
  ends->addWidget(label(QStringLiteral("<---      |      --->"), height_box));
  ends->addStretch(1);
  ends->addWidget(label(QStringLiteral("190"), height_box));
  auto* height_column = new QVBoxLayout(height_box);
  height_column->addLayout(height_row);
  height_column->addLayout(ends);
  height_column->addWidget(height_);

  auto* column = new QVBoxLayout(box);
  column->addLayout(sex);
  column->addWidget(height_box);
  return box;
}

QGroupBox* CSonletDlg::make_threshold_group() {
  QGroupBox* box = group(QStringLiteral("Umbral"), true, this);
  threshold_ = track_bar(1002, Qt::Vertical, 0, kThresholdMax, box);
  threshold_->setTickPosition(QSlider::TicksBothSides);
  threshold_->setTickInterval(10);
  threshold_->setAccessibleName(QStringLiteral("Umbral"));
  connect(threshold_, &CTrackBar::mouseLetGo, this, &CSonletDlg::store_exchange);
  intensity_meter_ = meter(1003, Qt::Vertical, 0, kIntensityMax, box);
  intensity_meter_->setAccessibleName(QStringLiteral("Intensidad"));
  auto* row = new QHBoxLayout(box);
  row->addWidget(threshold_);
  row->addWidget(intensity_meter_);
  return box;
}

QLayout* CSonletDlg::make_direction_legend() {
  // Which vowel moves the pointer which way: the mouse in the middle, an arrow on each side and
  // the vowel beyond it, arrow and vowel in one colour.
  const int edge = legend_icon_edge(*this);
  auto* compass = new QGridLayout;
  compass->setSpacing(0);
  compass->addWidget(icon_label(QStringLiteral("vowel-e"), edge, this), 0, 2);
  compass->addWidget(icon_label(QStringLiteral("arrow-up"), edge, this), 1, 2);
  compass->addWidget(icon_label(QStringLiteral("vowel-i"), edge, this), 2, 0);
  compass->addWidget(icon_label(QStringLiteral("arrow-left"), edge, this), 2, 1);
  compass->addWidget(icon_label(QStringLiteral("mouse-waves"), edge, this), 2, 2);
  compass->addWidget(icon_label(QStringLiteral("arrow-right"), edge, this), 2, 3);
  compass->addWidget(icon_label(QStringLiteral("vowel-a"), edge, this), 2, 4);
  compass->addWidget(icon_label(QStringLiteral("arrow-down"), edge, this), 3, 2);
  compass->addWidget(icon_label(QStringLiteral("vowel-ou"), edge, this), 4, 2);
  auto* column = new QVBoxLayout;
  column->addLayout(compass);
  column->addStretch(1);
  return column;
}

QGroupBox* CSonletDlg::make_voice_parameters_group() {
  QGroupBox* box = group(QStringLiteral("Parámetros de la Voz"), false, this);
  intensity_text_ = readout(1014, 3, box);
  pitch_text_ = readout(1015, 3, box);
  f1_text_ = readout(1017, 4, box);
  f2_text_ = readout(1018, 4, box);
  intensity_text_->setAccessibleName(QStringLiteral("Intensidad"));
  pitch_text_->setAccessibleName(QStringLiteral("Tono"));
  f1_text_->setAccessibleName(QStringLiteral("Formante 1"));
  f2_text_->setAccessibleName(QStringLiteral("Formante 2"));

  auto* grid = new QGridLayout(box);
  grid->addWidget(label(QStringLiteral("Intensidad"), box), 0, 0);
  grid->addWidget(intensity_text_, 0, 1);
  grid->addWidget(label(QStringLiteral("dB"), box), 0, 2);
  grid->addWidget(label(QStringLiteral("Tono"), box), 1, 0);
  grid->addWidget(pitch_text_, 1, 1);
  grid->addWidget(label(QStringLiteral("Hz"), box), 1, 2);
  grid->setColumnMinimumWidth(3, fontMetrics().height());
  grid->addWidget(label(QStringLiteral("Formante 1"), box), 0, 4);
  grid->addWidget(f1_text_, 0, 5);
  grid->addWidget(label(QStringLiteral("Hz"), box), 0, 6);
  grid->addWidget(label(QStringLiteral("Formante 2"), box), 1, 4);
  grid->addWidget(f2_text_, 1, 5);
  grid->addWidget(label(QStringLiteral("Hz"), box), 1, 6);
  grid->setRowStretch(2, 1);
  return box;
}

QGroupBox* CSonletDlg::make_voice_window_group() {
  QGroupBox* box = group(QStringLiteral("Ventana de VOZ"), true, this);
  click_min_ = track_bar(1004, Qt::Horizontal, kClickLimitMin, kClickLimitMax, box);
  click_max_ = track_bar(1009, Qt::Horizontal, kClickLimitMin, kClickLimitMax, box);
  for (CTrackBar* limit : {click_min_, click_max_}) {
    limit->setTickPosition(QSlider::TicksBothSides);
    limit->setTickInterval(5);
    connect(limit, &CTrackBar::mouseLetGo, this, &CSonletDlg::store_exchange);
  }
  click_min_->setAccessibleName(QStringLiteral("Click mínimo"));
  click_max_->setAccessibleName(QStringLiteral("Click máximo"));
  voice_window_meter_ = meter(1010, Qt::Horizontal, kVoiceWindowMin, kVoiceWindowMax, box);
  voice_window_meter_->setAccessibleName(QStringLiteral("Ventana de VOZ"));

  auto* signs = new QHBoxLayout;
  signs->addWidget(label(QStringLiteral("-"), box));
  signs->addStretch(1);
  signs->addWidget(label(QStringLiteral("+"), box));
  auto* limits = new QVBoxLayout;
  limits->addWidget(click_min_);
  limits->addLayout(signs);
  limits->addWidget(click_max_);
  limits->addStretch(1);
  limits->addWidget(voice_window_meter_);

  speed_meter_ = meter(1027, Qt::Horizontal, 0, kSpeedMeterMax, box);
  speed_meter_->setAccessibleName(QStringLiteral("Velocidad"));
  speed_meter_->setMinimumWidth(4 * fontMetrics().height());
  speed_ = track_bar(1025, Qt::Vertical, 0, kPositionMax, box);
  speed_->setTickPosition(QSlider::NoTicks);
  speed_->setAccessibleName(QStringLiteral("Velocidad"));
  connect(speed_, &CTrackBar::mouseLetGo, this, &CSonletDlg::store_exchange);
  auto* speed = new QVBoxLayout;
  speed->addWidget(label(QStringLiteral("Velocidad"), box), 0, Qt::AlignHCenter);
  speed->addWidget(speed_meter_);
  speed->addWidget(speed_, 1, Qt::AlignHCenter);

  auto* row = new QHBoxLayout(box);
  row->addLayout(limits, 1);
  row->addLayout(speed);
  return box;
}

QLayout* CSonletDlg::make_click_legend() {
  auto* names = new QVBoxLayout;
  names->addWidget(label(QStringLiteral("\"Click\""), this));
  names->addWidget(label(QStringLiteral("\"Click - Click\""), this));
  auto* clicks = new QHBoxLayout;
  clicks->addWidget(icon_label(QStringLiteral("clicks"), legend_icon_edge(*this), this));
  clicks->addLayout(names);
  clicks->addStretch(1);
  auto* column = new QVBoxLayout;
  column->addStretch(1);
  column->addLayout(clicks);
  column->addWidget(label(QStringLiteral("Para el click izquierdo\n"
                                         "utiliza la palabra /click/\n"
                                         "o un sonido sonoro corto."),
                          this));
  return column;
}

void CSonletDlg::make_menu(QLayout* layout) {
  // Two plain commands, the manual on the left and the About box at the right end. The bar
  // stays in the window even where the desktop gathers menus in a global bar.
  auto* bar = new QMenuBar(this);
  bar->setNativeMenuBar(false);
  QAction* manual = bar->addAction(QStringLiteral("Manual (pdf)"));
  manual->setObjectName(id(32773));
  connect(manual, &QAction::triggered, this, &CSonletDlg::open_manual);
  auto* corner = new QMenuBar(bar);
  corner->setNativeMenuBar(false);
  QAction* about = corner->addAction(QStringLiteral("&Acerca de"));
  about->setObjectName(id(32772));
  connect(about, &QAction::triggered, this, &CSonletDlg::show_about);
  bar->setCornerWidget(corner, Qt::TopRightCorner);
  layout->setMenuBar(bar);
}

void CSonletDlg::set_tab_order() {
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

bool CSonletDlg::load_profile() {
  Profile profile;
  if (read_profile(profile_path_, &profile) != ProfileStatus::kOk) {
    show_error(QString::fromLatin1(kProfileOpenError));
    exit_status_ = 1;
    return false;
  }
  set_setting(settings_.m_nThreshold, profile.m_nThreshold);
  set_setting(settings_.m_nClickMin, profile.m_nClickMin);
  set_setting(settings_.m_nClickMax, profile.m_nClickMax);
  set_setting(settings_.m_nHeight, profile.m_nHeight);
  set_setting(settings_.m_nSpeed, profile.m_nSpeed);
  set_setting(settings_.m_bMale, profile.m_bMale);
  set_setting(settings_.m_nClickAction, 0);  // clicks are left mouse button clicks
  set_setting(settings_.m_bListening, 0);
  load_exchange();
  return true;
}

void CSonletDlg::start_engine(std::unique_ptr<AudioSource> audio,
                              std::unique_ptr<InputSink> input) {
  stop_engine();
  audio_ = std::move(audio);
  input_ = std::move(input);
  engine_ = std::make_unique<VoiceEngine>(settings_, *audio_, *input_, *relay_);
  runner_ = std::make_unique<EngineRunner>(*engine_, *audio_);
  runner_->start();
}

void CSonletDlg::stop_engine() {
  if (runner_ != nullptr) {
    runner_->request_stop();
    runner_->join();
  }
  // The input goes after the engine's thread has ended: letting it go releases anything it
  // holds pressed, and nothing can press it again.
  runner_.reset();
  engine_.reset();
  input_.reset();
  audio_.reset();
}

void CSonletDlg::show_error(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), text, QMessageBox::Ok, this);
  box.exec();
}

void CSonletDlg::done(int result) {
  // The engine stops before the panel goes: it must not show anything on a panel that is gone,
  // nor press anything after the user has left.
  stop_engine();
  QDialog::done(result);
}

void CSonletDlg::closeEvent(QCloseEvent* event) {
  // The close box leaves as "Salir" does, saving the settings.
  save_and_end();
  QDialog::closeEvent(event);
}

void CSonletDlg::on_start() {
  store_exchange();
  const bool had_focus = start_->hasFocus();
  set_listening_controls(true);
  // The pressed button is now disabled: the keyboard focus goes to the one that undoes it.
  if (had_focus) stop_->setFocus();
  set_setting(settings_.m_bListening, 1);
}

void CSonletDlg::on_stop() {
  const bool had_focus = stop_->hasFocus();
  set_listening_controls(false);
  if (had_focus) start_->setFocus();
  set_setting(settings_.m_bListening, 0);
}

void CSonletDlg::set_listening_controls(bool listening) {
  start_->setEnabled(!listening);
  stop_->setEnabled(listening);
  height_->setEnabled(listening);
  threshold_->setEnabled(listening);
  click_min_->setEnabled(listening);
  click_max_->setEnabled(listening);
  speed_->setEnabled(listening);
  male_->setEnabled(listening);
  click_action_->setEnabled(!listening);
}

void CSonletDlg::save_and_end() {
  // The settings as last taken from the controls, not the controls' positions now.
  Profile profile;
  profile.m_nThreshold = setting(settings_.m_nThreshold);
  profile.m_nClickMin = setting(settings_.m_nClickMin);
  profile.m_nClickMax = setting(settings_.m_nClickMax);
  profile.m_nHeight = setting(settings_.m_nHeight);
  profile.m_nSpeed = setting(settings_.m_nSpeed);
  profile.m_bMale = setting(settings_.m_bMale);
  if (write_profile(profile_path_, profile) != ProfileStatus::kOk) {
    show_error(QString::fromLatin1(kProfileWriteError));
    exit_status_ = 1;
    done(QDialog::Rejected);
    return;
  }
  store_exchange();
  accept();
}

void CSonletDlg::store_exchange() {
  set_setting(settings_.m_nThreshold, threshold_->value());
  set_setting(settings_.m_bMale, male_->isChecked() ? 1 : 0);
  set_setting(settings_.m_nClickMin, click_min_->value());
  set_setting(settings_.m_nClickMax, click_max_->value());
  set_setting(settings_.m_nHeight, height_->value());
  set_setting(settings_.m_nClickAction, click_action_->currentIndex());
  set_setting(settings_.m_nSpeed, speed_->value());
}

void CSonletDlg::load_exchange() {
  // A slider shows a value beyond its range at the nearest end; the setting keeps the value
  // until the next store takes the position shown.
  threshold_->setValue(setting(settings_.m_nThreshold));
  const int male = setting(settings_.m_bMale);
  if (male < 0 || male > 2) set_setting(settings_.m_bMale, 0);
  male_->setChecked(setting(settings_.m_bMale) == 1);
  click_min_->setValue(setting(settings_.m_nClickMin));
  click_max_->setValue(setting(settings_.m_nClickMax));
  height_->setValue(setting(settings_.m_nHeight));
  click_action_->setCurrentIndex(setting(settings_.m_nClickAction));
  speed_->setValue(setting(settings_.m_nSpeed));
}

void CSonletDlg::show_snapshot(const PanelSnapshot& latest) {
  if (latest.has_meters) {
    intensity_meter_->setValue(latest.intensity);
    speed_meter_->setValue(latest.speed);
    voice_window_meter_->setValue(latest.voice_window);
  }
  if (latest.has_readouts) {
    const Readouts& r = latest.readouts;
    show_text(intensity_text_, r.intensity, &shown_readouts_.intensity);
    show_text(pitch_text_, r.pitch, &shown_readouts_.pitch);
    show_text(f1_text_, r.f1, &shown_readouts_.f1);
    show_text(f2_text_, r.f2, &shown_readouts_.f2);
    show_text(height_text_, r.height, &shown_readouts_.height);
    show_text(tract_text_, r.tract, &shown_readouts_.tract);
  }
}

void CSonletDlg::open_manual() {
  // Nothing to say when there is no manual or nothing to show it with.
  QDesktopServices::openUrl(QUrl::fromLocalFile(manual_path()));
}

void CSonletDlg::show_about() {
  CAboutDlg about(this);
  about.exec();
}
