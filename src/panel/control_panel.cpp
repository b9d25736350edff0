// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/control_panel.h"

#include <QApplication>
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
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "actions/action_sink.h"
#include "calibration/calibration_file.h"
#include "engine/audio_source.h"
#include "engine/engine_runner.h"
#include "engine/input_sink.h"
#include "engine/notice_sink.h"
#include "engine/voice_engine.h"
#include "input/gated_sink.h"
#include "panel/about_dialog.h"
#include "panel/action_palette.h"
#include "panel/calibration_dialog.h"
#include "panel/file_reasons.h"
#include "panel/icons.h"
#include "panel/meter_bar.h"
#include "panel/panel_relay.h"
#include "panel/readout.h"
#include "panel/threshold_dialog.h"
#include "panel/track_bar.h"
#include "panel/vowel_chart.h"
#include "settings/autostart_entry.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

const char* const kManualName = "Manual_sonlet.pdf";

// The profile's messages: the terminal shows them as profile_file.h has them, a box in the
// panel's language. lupdate finds only texts written out in a call, hence the copies, which the
// compiler holds to the originals.
static_assert(std::string_view(QT_TRANSLATE_NOOP("sonlet::ControlPanel",
                                                 "Error opening user.txt")) == kProfileOpenError);
static_assert(std::string_view(QT_TRANSLATE_NOOP("sonlet::ControlPanel",
                                                 "Error abriendo user.txt para escritura")) ==
              kProfileWriteError);

QString ProfileMessage(const char* text) {
  return QCoreApplication::translate("sonlet::ControlPanel", text);
}

// Shows a number in a read-out as the format gives it. The read-out repaints only when its text
// changes, and the engine's numbers mostly come back the same from pass to pass.
void ShowNumber(Readout* field, const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  field->SetText(QString::fromLatin1(text));
}

void ShowNumber(Readout* field, int value) { field->SetText(QString::number(value)); }

// The manual in the current folder, as the user keeps it beside the profile; otherwise the copy
// installed with the program.
QString ManualPath() {
  if (QFileInfo::exists(QLatin1String(kManualName))) {
    return QDir::current().absoluteFilePath(QLatin1String(kManualName));
  }
  return QDir(QCoreApplication::applicationDirPath())
      .absoluteFilePath(QStringLiteral("../share/doc/sonlet/") + QLatin1String(kManualName));
}

}  // namespace

ControlPanel::ControlPanel(std::string profile_path, QWidget* parent)
    : QDialog(parent),
      profile_path_(std::move(profile_path)),
      calibration_path_(CalibrationPathBeside(profile_path_)) {
  setWindowTitle(QStringLiteral("S O N L E T"));
  setWindowIcon(ApplicationIcon());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  relay_ = new PanelRelay(this);
  connect(relay_, &PanelRelay::Arrived, this, &ControlPanel::ShowSnapshot);
  // The gesture is heard on the engine's thread; the buttons are pressed on the panel's, as a
  // hand would press them. A panel already gone drops the call.
  pause_gesture_listener_ = std::make_unique<PauseGesture>(relay_, [this](int64_t, bool listening) {
    QMetaObject::invokeMethod(
        this, [this, listening] { OnPauseGesture(listening); }, Qt::QueuedConnection);
  });
  pause_gesture_listener_->SetEnabled(false);
  speech_guard_judge_ = std::make_unique<SpeechGuard>();
  connect(relay_, &PanelRelay::PassesArrived, this, &ControlPanel::ShowSpeechIgnored);
  connect(relay_, &PanelRelay::ActionArrived, this, &ControlPanel::OnActionArrived);

  auto* upper = new QHBoxLayout;
  upper->addLayout(MakeButtons());
  upper->addWidget(MakeUserGroup());
  upper->addWidget(MakeThresholdGroup());
  upper->addLayout(MakeDirectionLegend());

  auto* lower = new QHBoxLayout;
  lower->addWidget(MakeVoiceParametersGroup());
  lower->addWidget(MakeVoiceWindowGroup(), 1);
  lower->addLayout(MakeClickLegend());

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(upper);
  layout->addLayout(lower);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  MakeMenu(layout);

  MakeHiddenControls();

  SetTabOrder();
  SetListeningControls(false);
  quit_->setFocus();
}

ControlPanel::~ControlPanel() { StopEngine(); }

bool ControlPanel::LoadProfile(int* open_error) {
  Profile profile;
  if (ReadProfile(profile_path_, &profile, open_error) != ProfileStatus::kOk) {
    ShowError(ProfileMessage(kProfileOpenError));
    exit_status_ = 1;
    return false;
  }
  ApplyProfile(profile, &settings_);
  StoreSetting(settings_.listening, 0);
  LoadExchange();
  loaded_ = true;

  const std::string options_path = PanelOptionsPathBeside(profile_path_);
  const std::string why = options_.Read(options_path);
  if (!why.empty())
    std::fprintf(stderr, "sonlet: %s; the panel's options are the defaults\n", why.c_str());
  if (calibration_named_ || options_.Get(kUseCalibration)) TurnCalibrationOn();
  pause_gesture_->setChecked(options_.Get(kPauseGesture));
  pause_gesture_listener_->SetEnabled(options_.Get(kPauseGesture));
  speech_guard_->setChecked(options_.Get(kSpeechGuard));
  settings_.run_guard.store(options_.Get(kSpeechGuard) ? speech_guard_judge_.get() : nullptr);
  agile_->setChecked(options_.Get(kAgileSteering));
  settings_.agile_steering.store(options_.Get(kAgileSteering) ? &agile_steering_ : nullptr,
                                 std::memory_order_release);
  emit AgileChanged(agile());
  SetPaletteVisible(options_.Get(kActionPalette));
  return true;
}

void ControlPanel::SetCalibrationFile(std::string path) {
  if (path.empty()) return;
  calibration_path_ = std::move(path);
  calibration_named_ = true;
}

// Passes the engine's notices on, saving the settings first when the sound has failed for good:
// the program ends on that notice (the sound library holds the device and cannot be stopped),
// and the session's settings would go with it. Runs on the engine's thread; the settings are
// safe to read there, and the save replaces the file in one step, as "Salir" does.
//
// A lost output closes the panel as its close box does, which saves the settings. No box asks
// first: a person steering by voice has no pointer left to answer it with, and the reason is on
// standard error for whoever looks.
class ControlPanel::SavingNotices : public NoticeSink {
 public:
  SavingNotices(ControlPanel& panel, NoticeSink& next) : panel_(panel), next_(next) {}

  void Notify(Notice notice, int error) override {
    if (notice == Notice::kSoundStuck && panel_.loaded_ &&
        WriteProfile(panel_.profile_path_, ProfileOf(panel_.settings_)) != ProfileStatus::kOk) {
      std::fprintf(stderr, "%s\n", kProfileWriteError);
    }
    next_.Notify(notice, error);
    if (notice == Notice::kOutputLost) {
      panel_.output_lost_.store(true);
      ControlPanel* panel = &panel_;
      QMetaObject::invokeMethod(
          panel, [panel] { panel->CloseAsCloseBox(); }, Qt::QueuedConnection);
    }
  }

 private:
  ControlPanel& panel_;
  NoticeSink& next_;
};

void ControlPanel::StartEngine(std::unique_ptr<AudioSource> audio, std::unique_ptr<InputSink> input,
                               NoticeSink& notices, std::function<void()> also_on_stop) {
  StopEngine();
  audio_ = std::move(audio);
  input_ = std::move(input);
  gate_ = std::make_unique<GatedSink>(*input_);
  gate_->SetOpen(!input_held_);
  actions_ = std::make_unique<ActionSink>(*gate_, relay_);
  OnActionArrived(actions_->action(), actions_->kept());
  notices_ = std::make_unique<SavingNotices>(*this, notices);
  engine_ = std::make_unique<VoiceEngine>(settings_, *audio_, *actions_, *relay_, *notices_,
                                          pause_gesture_listener_.get());
  runner_ = std::make_unique<EngineRunner>(*engine_, *audio_, std::move(also_on_stop));
  runner_->Start();
}

void ControlPanel::StopEngine() {
  if (runner_ != nullptr) {
    runner_->RequestStop();
    runner_->Join();
  }
  // A drag's press is let go while the desktop can still take the release.
  if (actions_ != nullptr) actions_->Finish();
  // The input goes after the engine's thread has ended: letting it go releases anything it
  // holds pressed, and nothing can press it again.
  runner_.reset();
  engine_.reset();
  notices_.reset();
  actions_.reset();
  gate_.reset();
  input_.reset();
  audio_.reset();
}

void ControlPanel::ShowError(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, tr("Error"), text, QMessageBox::Ok, this);
  box.exec();
}

void ControlPanel::done(int result) {
  // The engine stops before the panel goes: it must not show anything on a panel that is gone,
  // nor press anything after the user has left.
  StopEngine();
  if (calibration_ != nullptr) calibration_->reject();
  if (threshold_box_ != nullptr) threshold_box_->reject();
  if (vowel_chart_ != nullptr) vowel_chart_->close();
  // Hidden rather than closed: a palette open when the user leaves opens again next time.
  if (palette_ != nullptr) palette_->hide();
  QDialog::done(result);
}

void ControlPanel::closeEvent(QCloseEvent* event) {
  // The close box leaves as "Salir" does, saving the settings; settings that were never read
  // are not written over the file.
  if (loaded_) SaveAndEnd();
  QDialog::closeEvent(event);
}

void ControlPanel::OnStart() {
  StoreExchange();
  const bool had_focus = start_->hasFocus();
  SetListeningControls(true);
  // The pressed button is now disabled: the keyboard focus goes to the one that undoes it, for
  // the space bar.
  if (had_focus) stop_->setFocus();
  SetListening(&settings_, true);
  emit ListeningChanged(true);
}

void ControlPanel::OnStop() {
  const bool had_focus = stop_->hasFocus();
  SetListeningControls(false);
  if (had_focus) start_->setFocus();
  SetListening(&settings_, false);
  emit ListeningChanged(false);
}

bool ControlPanel::CanStart() const { return start_->isEnabled() && calibration_ == nullptr; }

bool ControlPanel::CanStop() const { return stop_->isEnabled() && calibration_ == nullptr; }

void ControlPanel::PressStart() {
  // The click itself, so that a press from outside is the user's press: the same slot, and the
  // button's own check that it is enabled.
  if (CanStart()) start_->click();
}

void ControlPanel::PressStop() {
  if (CanStop()) stop_->click();
}

void ControlPanel::CloseAsCloseBox() {
  QWidget* box = QApplication::activeModalWidget();
  if (box != nullptr && box != this) box->close();
  close();
}

void ControlPanel::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void ControlPanel::OnStartWithSession(bool on) {
  int error = 0;
  const std::string why = on ? WriteAutostartEntry(&error) : RemoveAutostartEntry(&error);
  ShowStartWithSession();
  if (!why.empty()) {
    std::fprintf(stderr, "sonlet: %s\n", why.c_str());
    const std::string path = AutostartEntryPath();
    const QString reason = on ? WriteReasonText(path, error) : RemoveReasonText(path, error);
    ShowError((on ? tr("No se ha podido hacer que Sonlet se inicie con la sesión: %1.")
                  : tr("No se ha podido quitar el inicio con la sesión: %1."))
                  .arg(reason));
  }
}

void ControlPanel::OnPauseGestureSwitch(bool on) {
  pause_gesture_listener_->SetEnabled(on);
  options_.Set(kPauseGesture, on);
  const std::string path = PanelOptionsPathBeside(profile_path_);
  if (const int error = options_.Write(path); error != 0) {
    std::fprintf(stderr,
                 "sonlet: cannot write the options file '%s' (%s); \"Pausa con «sss»\" is not "
                 "remembered\n",
                 path.c_str(), FileErrorText(error).c_str());
  }
}

void ControlPanel::OnSpeechGuardSwitch(bool on) {
  settings_.run_guard.store(on ? speech_guard_judge_.get() : nullptr);
  emit SpeechGuardChanged(on);
  options_.Set(kSpeechGuard, on);
  const std::string path = PanelOptionsPathBeside(profile_path_);
  if (const int error = options_.Write(path); error != 0) {
    std::fprintf(stderr,
                 "sonlet: cannot write the options file '%s' (%s); \"Ignorar el habla\" is not "
                 "remembered\n",
                 path.c_str(), FileErrorText(error).c_str());
  }
}

void ControlPanel::OnAgileSwitch(bool on) {
  settings_.agile_steering.store(on ? &agile_steering_ : nullptr, std::memory_order_release);
  if (vowel_chart_ != nullptr) vowel_chart_->SetAgile(on);
  emit AgileChanged(on);
  options_.Set(kAgileSteering, on);
  const std::string path = PanelOptionsPathBeside(profile_path_);
  if (const int error = options_.Write(path); error != 0) {
    std::fprintf(stderr,
                 "sonlet: cannot write the options file '%s' (%s); \"Movimiento ágil\" is not "
                 "remembered\n",
                 path.c_str(), FileErrorText(error).c_str());
  }
}

void ControlPanel::SwitchPalette(bool shown) {
  SetPaletteVisible(shown);
  // A palette closed with another action in force would leave the clicks doing what nothing on
  // screen says any more (a kept "Derecho" opening menus); without it the click is the left
  // one, as it always was.
  if (!shown && actions_ != nullptr && actions_->action() != PointerAction::kLeft) {
    actions_->Choose(PointerAction::kLeft);
  }
  options_.Set(kActionPalette, shown);
  const std::string path = PanelOptionsPathBeside(profile_path_);
  if (const int error = options_.Write(path); error != 0) {
    std::fprintf(stderr,
                 "sonlet: cannot write the options file '%s' (%s); \"Paleta de acciones\" is "
                 "not remembered\n",
                 path.c_str(), FileErrorText(error).c_str());
  }
}

void ControlPanel::SetPaletteVisible(bool shown) {
  if (shown && palette_ == nullptr) {
    palette_ = new ActionPalette(this);
    palette_->setWindowIcon(ApplicationIcon());
    palette_->ShowAction(action_, action_kept_);
    palette_->SetCanPause(CanStop());
    connect(palette_, &ActionPalette::Chosen, this, &ControlPanel::ChooseAction);
    connect(palette_, &ActionPalette::PauseChosen, this, &ControlPanel::Pause);
    connect(palette_, &ActionPalette::ClosedByUser, this, [this] { SwitchPalette(false); });
    connect(this, &ControlPanel::ListeningChanged, palette_,
            [this] { palette_->SetCanPause(CanStop()); });
    // In the screen's top right corner, out of the way of most windows' contents and apart
    // from the panel, which the user may want to hide.
    palette_->adjustSize();
    const QRect room = screen()->availableGeometry();
    const int margin = fontMetrics().height();
    palette_->move(room.right() - palette_->width() - 2 * margin, room.top() + 2 * margin);
  }
  if (palette_ != nullptr) palette_->setVisible(shown);
  palette_item_->setChecked(shown);
  emit PaletteShownChanged(shown);
}

bool ControlPanel::palette_shown() const { return palette_item_->isChecked(); }

void ControlPanel::ChooseAction(PointerAction action, bool again) {
  if (actions_ == nullptr) return;
  actions_->Choose(action);
  // The same action chosen while in force is kept.
  if (again) actions_->Choose(action);
}

void ControlPanel::OnActionArrived(PointerAction action, bool kept) {
  action_ = action;
  action_kept_ = kept;
  if (palette_ != nullptr) palette_->ShowAction(action, kept);
  emit ActionChanged(action, kept);
}

void ControlPanel::Pause() {
  if (!CanStop()) return;
  PressStop();
  emit PausedChanged(true);
}

void ControlPanel::ShowSpeechIgnored(const PassBatch& passes) {
  for (const PassRecord& pass : passes) {
    if (pass.guard == GuardReason::kSpeech) {
      speech_mark_->show();
      speech_mark_timer_->start();
      return;
    }
  }
}

bool ControlPanel::agile() const {
  return settings_.agile_steering.load(std::memory_order_acquire) != nullptr;
}

void ControlPanel::OnPauseGesture(bool was_listening) {
  // The buttons' own paths: a gesture while a box holds listening on changes nothing.
  if (was_listening && CanStop()) {
    PressStop();
    emit PausedChanged(true);
  } else if (!was_listening && CanStart()) {
    PressStart();
    emit PausedChanged(false);
  }
}

void ControlPanel::ShowStartWithSession() {
  start_with_session_->setChecked(AutostartEntryExists());
}

void ControlPanel::SetListeningControls(bool listening) {
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

void ControlPanel::SaveAndEnd() {
  // The settings as last taken from the controls, not the controls' positions now.
  if (WriteProfile(profile_path_, ProfileOf(settings_), &profile_write_error_) !=
      ProfileStatus::kOk) {
    ShowError(ProfileMessage(kProfileWriteError));
    exit_status_ = 1;
    done(QDialog::Rejected);
    return;
  }
  StoreExchange();
  accept();
}

void ControlPanel::StoreExchange() {
  StoreSetting(settings_.threshold, threshold_->value());
  StoreSetting(settings_.male, male_->isChecked() ? 1 : 0);
  StoreSetting(settings_.click_min, click_min_->value());
  StoreSetting(settings_.click_max, click_max_->value());
  StoreSetting(settings_.height, height_->value());
  StoreSetting(settings_.click_action, click_action_->currentIndex());
  StoreSetting(settings_.speed, speed_->value());
  ShowSpeakerOnChart();
}

void ControlPanel::LoadExchange() {
  // A slider shows a value beyond its range at the nearest end; the setting keeps the value
  // until the next store takes the position shown.
  threshold_->setValue(LoadSetting(settings_.threshold));
  const int male = LoadSetting(settings_.male);
  if (male < 0 || male > 2) StoreSetting(settings_.male, 0);
  male_->setChecked(LoadSetting(settings_.male) == 1);
  click_min_->setValue(LoadSetting(settings_.click_min));
  click_max_->setValue(LoadSetting(settings_.click_max));
  height_->setValue(LoadSetting(settings_.height));
  click_action_->setCurrentIndex(LoadSetting(settings_.click_action));
  speed_->setValue(LoadSetting(settings_.speed));
  ShowSpeakerOnChart();
}

void ControlPanel::ShowSnapshot(const PanelSnapshot& latest) {
  if (latest.has_meters) {
    intensity_meter_->SetValue(latest.intensity);
    speed_meter_->SetValue(latest.speed);
    voice_window_meter_->SetValue(latest.voice_window);
  }
  if (latest.has_readings) {
    // Whole dB and Hz, as the engine's formants are meant to be read; the hidden tract length
    // to the hundredth of a centimetre.
    const Readings& r = latest.readings;
    ShowNumber(intensity_text_, "%0.f", r.intensity);
    ShowNumber(pitch_text_, "%0.f", r.pitch);
    ShowNumber(f1_text_, "%0.f", r.f1);
    ShowNumber(f2_text_, "%0.f", r.f2);
    ShowNumber(height_text_, r.height_cm);
    ShowNumber(tract_text_, "%0.2f", r.tract_length);
  }
}

void ControlPanel::OpenManual() {
  // Nothing to say when there is no manual or nothing to show it with.
  QDesktopServices::openUrl(QUrl::fromLocalFile(ManualPath()));
}

void ControlPanel::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void ControlPanel::OnUseCalibration(bool on) {
  if (on && !TurnCalibrationOn()) return;
  if (!on) SteerWith(nullptr);
  RememberCalibrationChoice(on);
}

bool ControlPanel::TurnCalibrationOn() {
  VowelMap map;
  CalibrationProblem problem;
  const std::string why = ReadCalibration(calibration_path_, &map, &problem);
  if (!why.empty()) {
    SteerWith(nullptr);
    std::fprintf(stderr, "sonlet: %s.\n", why.c_str());
    const QString reason = CalibrationProblemText(calibration_path_, problem);
    ShowError(tr("No se puede leer la calibración: %1.\n\n"
                 "Sonlet sigue con las regiones fijas de las vocales. Para hacer una "
                 "calibración con su voz, use «Vocales › Calibración…».")
                  .arg(reason));
    return false;
  }
  SteerWith(&map);
  return true;
}

void ControlPanel::SteerWith(const VowelMap* map) {
  DirectionStrategy* strategy = nullptr;
  if (map != nullptr) {
    strategies_.push_back(std::make_unique<CalibratedDecision>(*map));
    strategy = strategies_.back().get();
  }
  settings_.direction_strategy.store(strategy, std::memory_order_release);
  use_calibration_->setChecked(map != nullptr);
  if (vowel_chart_ != nullptr) vowel_chart_->SetVowelMap(map);
}

void ControlPanel::RememberCalibrationChoice(bool on) {
  options_.Set(kUseCalibration, on);
  const std::string path = PanelOptionsPathBeside(profile_path_);
  if (const int error = options_.Write(path); error != 0) {
    std::fprintf(stderr,
                 "sonlet: cannot write the options file '%s' (%s); \"Usar calibración\" is "
                 "not remembered\n",
                 path.c_str(), FileErrorText(error).c_str());
  }
}

void ControlPanel::OpenCalibration() {
  if (calibration_ != nullptr) {
    calibration_->activateWindow();
    return;
  }
  // The engine listens through the calibration as "Iniciar" has it listen, but nothing it
  // hears may move the pointer or click: the user is saying vowels on request, not steering.
  listening_before_calibration_ = LoadSetting(settings_.listening) != 0;
  if (!listening_before_calibration_) OnStart();
  HoldInput(true);
  calibration_ = new CalibrationDialog(100 - ReadPassSettings(settings_).threshold, this);
  connect(relay_, &PanelRelay::PassesArrived, calibration_, &CalibrationDialog::TakePasses);
  connect(calibration_, &QDialog::finished, this, &ControlPanel::CalibrationFinished);
  calibration_->open();
  emit ListeningChanged(listening());  // it cannot be stopped now
}

void ControlPanel::CalibrationFinished(int result) {
  CalibrationDialog* dialog = calibration_;
  calibration_ = nullptr;
  if (result == QDialog::Accepted) {
    // Written first, so that "Usar calibración" at the next start finds what is used now.
    const std::string path = CalibrationPathBeside(profile_path_);
    int error = 0;
    const std::string why = WriteCalibration(path, dialog->map(), &error);
    if (why.empty()) {
      calibration_path_ = path;
      SteerWith(&dialog->map());
      RememberCalibrationChoice(true);
    } else {
      std::fprintf(stderr, "sonlet: %s.\n", why.c_str());
      ShowError(
          tr("No se ha podido guardar la calibración: %1.").arg(WriteReasonText(path, error)));
    }
  }
  if (!listening_before_calibration_) OnStop();
  HoldInput(false);
  dialog->deleteLater();
  emit ListeningChanged(listening());
}

void ControlPanel::OpenThresholdBox() {
  if (threshold_box_ != nullptr) {
    threshold_box_->activateWindow();
    return;
  }
  // The level is measured whether or not Sonlet listens; the "aaa" asked for must not steer.
  HoldInput(true);
  threshold_box_ = new ThresholdDialog(this);
  connect(relay_, &PanelRelay::PassesArrived, threshold_box_, &ThresholdDialog::TakePasses);
  connect(threshold_box_, &QDialog::finished, this, &ControlPanel::ThresholdBoxFinished);
  threshold_box_->open();
}

void ControlPanel::ThresholdBoxFinished(int result) {
  ThresholdDialog* dialog = threshold_box_;
  threshold_box_ = nullptr;
  if (result == QDialog::Accepted) {
    // As a drag of the slider ends: the engine takes it now, user.txt on leaving.
    threshold_->setValue(dialog->threshold());
    StoreExchange();
  }
  HoldInput(false);
  dialog->deleteLater();
}

void ControlPanel::ShowVowelChart() {
  if (vowel_chart_ == nullptr) {
    vowel_chart_ = new VowelChart(this);
    vowel_chart_->setWindowFlag(Qt::Window);
    vowel_chart_->setWindowIcon(ApplicationIcon());
    const bool calibrated = settings_.direction_strategy.load(std::memory_order_relaxed) != nullptr;
    vowel_chart_->SetVowelMap(calibrated ? &strategies_.back()->map() : nullptr);
    vowel_chart_->SetAgile(agile());
    ShowSpeakerOnChart();
    connect(relay_, &PanelRelay::PassesArrived, vowel_chart_, &VowelChart::AddPasses);
    // Beside the panel rather than over it, both being meant to be watched together, as far as
    // the screen has room.
    vowel_chart_->resize(vowel_chart_->sizeHint());
    const QRect room = screen()->availableGeometry();
    const int x = std::min(frameGeometry().right() + fontMetrics().height(),
                           room.right() - vowel_chart_->width());
    vowel_chart_->move(std::max(room.left(), x), std::max(room.top(), frameGeometry().top()));
  }
  vowel_chart_->show();
  vowel_chart_->raise();
  vowel_chart_->activateWindow();
}

void ControlPanel::ShowSpeakerOnChart() {
  if (vowel_chart_ == nullptr) return;
  const PassSettings taken = ReadPassSettings(settings_);
  vowel_chart_->SetSpeaker(taken.height, taken.male);
}

void ControlPanel::HoldInput(bool held) {
  input_held_ = held;
  if (gate_ != nullptr) gate_->SetOpen(!held);
}

}  // namespace sonlet
