// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/pointer_action.h"
#include "calibration/vowel_map.h"
#include "engine/engine_settings.h"
#include "engine/panel_view.h"
#include "gesture/pause_gesture.h"
#include "guard/speech_guard.h"
#include "settings/panel_options.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLayout;
class QPushButton;
class QTimer;

namespace sonlet {

class ActionPalette;
class ActionSink;
class AudioSource;
class CalibrationDialog;
class ThresholdDialog;
class GatedSink;
class MeterBar;
class PanelRelay;
class Readout;
class TrackBar;
class EngineRunner;
class InputSink;
class NoticeSink;
class VoiceEngine;
class VowelChart;
struct PanelSnapshot;
struct PassBatch;

// The control panel "S O N L E T": starts and stops listening, holds the user's settings and
// shows what the engine hears. Every control carries its number as its object name ("1000" is
// "Iniciar"). The settings can be changed only while listening; a slider's new position becomes
// the setting when the user lets go of it, the check box's at once, and "Iniciar" takes them
// all. "Salir", ENTER and the close box save the settings as they were last taken; ESC leaves
// without saving.
//
// The menu "Vocales" holds the user's own vowels: "Calibración…" learns them by voice,
// "Usar calibración" steers with them instead of the fixed regions (a choice remembered in
// options.txt beside the profile), and "Ver vocales" shows where the voice lies on the vowel
// chart.
//
// The menu "Opciones" holds "Iniciar con la sesión", which puts Sonlet in the desktop's
// autostart folder or takes it out (its check shows whether the entry is there), the pause
// gesture's switch and "Movimiento ágil", the quicker steering that starts fine and speeds up
// (both remembered in options.txt), and "Paleta de acciones", the palette of pointer actions
// (remembered too, and reopened at the next start).
//
// Other programs (sonlet --start and the like, the tray icon) start and stop listening through
// PressStart and PressStop, which press the buttons themselves.
class ControlPanel : public QDialog {
  Q_OBJECT
 public:
  explicit ControlPanel(std::string profile_path, QWidget* parent = nullptr);
  ~ControlPanel() override;

  // A calibration file named on the command line, before LoadProfile: "Usar calibración" reads
  // it instead of calibration.txt beside the profile, and starts on.
  void SetCalibrationFile(std::string path);

  // Reads the profile into the settings and shows them, in the Stopped state. When the file
  // cannot be opened, says so in a box and returns false, with the error number in *open_error
  // when given: the program then ends with status 1 without showing the panel.
  bool LoadProfile(int* open_error = nullptr);

  // Starts the engine on this sound and input with the panel's settings; the panel owns both
  // until it ends, when it stops the engine, waits for it and only then lets the input go, so
  // that no button or key is left pressed. The engine tells the user what it finds through
  // notices, which must outlive the panel. When the sound fails for good (the program cannot go
  // on), the settings are saved to the profile before notices hears of it.
  // also_on_stop runs whenever the engine is asked to stop (see EngineRunner).
  void StartEngine(std::unique_ptr<AudioSource> audio, std::unique_ptr<InputSink> input,
                   NoticeSink& notices, std::function<void()> also_on_stop = nullptr);

  // A message box owned by the panel, captioned "Error", with only an OK button.
  void ShowError(const QString& text);

  // 0, or 1 when the profile could not be read or saved.
  int exit_status() const { return exit_status_; }
  // Why the last save of the profile failed (see WriteProfile), or 0.
  int profile_write_error() const { return profile_write_error_; }

  // Whether the engine's output went away for good (the X server, the compositor or the
  // remote-desktop session ended): the panel then closes as its close box does, saving the
  // settings, and the program ends with its own status.
  bool output_lost() const { return output_lost_.load(); }

  // What the engine reads. Only this panel writes it, on its own thread.
  const EngineSettings& settings() const { return settings_; }

  bool listening() const { return LoadSetting(settings_.listening) != 0; }
  // "Opciones › Ignorar el habla" is on.
  bool speech_guard_on() const { return settings_.run_guard.load() != nullptr; }
  // "Movimiento ágil" is on.
  bool agile() const;
  // Whether "Iniciar" or "Detener" can be pressed now: the button is enabled and no calibration
  // holds listening on.
  bool CanStart() const;
  bool CanStop() const;
  // A press of "Iniciar" or "Detener" from outside the panel, which does what a click does
  // (the settings taken from the controls, the controls enabled and disabled), and nothing when
  // the button cannot be pressed.
  void PressStart();
  void PressStop();
  // Closes the panel as its close box does, saving the settings, after closing a box open over
  // it (which leaves as its own close box would).
  void CloseAsCloseBox();
  // Shows the panel, raised over the other windows and active.
  void BringToFront();

  // The pointer actions between the engine and the output, while the engine runs (null
  // before): the palette, the tray and the session bus choose the next click's action through
  // it.
  ActionSink* actions() const { return actions_.get(); }
  // As a button of the palette: nothing before the engine runs. again: chosen twice in a row,
  // which keeps it, whether or not the click that chose it the second time used it up.
  void ChooseAction(PointerAction action, bool again = false);
  // The action in force as the engine last reported it, and whether it stays after it is done.
  PointerAction action() const { return action_; }
  bool action_kept() const { return action_kept_; }
  // "Opciones › Paleta de acciones" (and the tray's item): opens or closes the palette and
  // remembers which. Closing it returns the click to "Izquierdo".
  void SwitchPalette(bool shown);
  bool palette_shown() const;
  // The palette's "Pausa": stops listening as "Detener" does, and says so as the pause gesture
  // does.
  void Pause();

 signals:
  // Listening started or stopped, or whether it can be changed did (a calibration began or
  // ended).
  void ListeningChanged(bool listening);
  // Listening was stopped by the pause gesture (true), or started again by it (false).
  void PausedChanged(bool paused);
  // "Ignorar el habla" was turned on or off.
  void SpeechGuardChanged(bool on);
  // "Movimiento ágil" was switched on or off.
  void AgileChanged(bool on);
  // The palette was opened or closed.
  void PaletteShownChanged(bool shown);
  // The pointer action in force changed (a choice, or the return to "Izquierdo" once done).
  void ActionChanged(sonlet::PointerAction action, bool kept);

 public slots:
  void done(int result) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLayout* MakeButtons();
  QGroupBox* MakeUserGroup();
  QGroupBox* MakeThresholdGroup();
  QLayout* MakeDirectionLegend();
  QGroupBox* MakeVoiceParametersGroup();
  QGroupBox* MakeVoiceWindowGroup();
  QLayout* MakeClickLegend();
  // The click-action box and the tract-length read-out: made, but never shown.
  void MakeHiddenControls();
  void MakeMenu(QLayout* layout);
  void SetTabOrder();

  void OnStart();
  void OnStop();
  void OnStartWithSession(bool on);
  void ShowStartWithSession();  // the check as the autostart folder has it
  void OnPauseGestureSwitch(bool on);
  void OnSpeechGuardSwitch(bool on);
  // Shows the mark beside the meters for a moment when the guard let a sound go as speech.
  void ShowSpeechIgnored(const PassBatch& passes);
  void OnAgileSwitch(bool on);
  void SetPaletteVisible(bool shown);
  void OnActionArrived(PointerAction action, bool kept);
  // On the panel's thread: the gesture was heard while listening was (was_listening) on or off.
  void OnPauseGesture(bool was_listening);
  void SaveAndEnd();
  void OpenManual();
  void ShowAbout();
  void OnUseCalibration(bool on);
  bool TurnCalibrationOn();  // false, after saying why in a box, when the file is no good
  void SteerWith(const VowelMap* map);  // null: the fixed regions
  void RememberCalibrationChoice(bool on);
  void OpenCalibration();
  void CalibrationFinished(int result);
  void OpenThresholdBox();
  void ThresholdBoxFinished(int result);
  void ShowVowelChart();
  void ShowSpeakerOnChart();
  void HoldInput(bool held);
  void SetListeningControls(bool listening);
  void StoreExchange();  // controls -> settings
  void LoadExchange();   // settings -> controls
  void ShowSnapshot(const PanelSnapshot& latest);
  void StopEngine();

  class SavingNotices;

  EngineSettings settings_;
  // Every vowel map the engine has been given, kept until the panel goes: the engine may still
  // be deciding with an old one when the user changes it.
  std::vector<std::unique_ptr<CalibratedDecision>> strategies_;
  // "Movimiento ágil": handed to the engine while on; it outlives the engine likewise.
  AgileSteering agile_steering_;
  std::string profile_path_;
  PanelOptions options_;
  std::string calibration_path_;    // the file "Usar calibración" reads
  bool calibration_named_ = false;  // on the command line
  bool listening_before_calibration_ = false;
  bool input_held_ = false;  // no pointer motion or click reaches the desktop
  int exit_status_ = 0;
  int profile_write_error_ = 0;
  bool loaded_ = false;                   // the settings come from the profile, and may be saved
  std::atomic<bool> output_lost_{false};  // set on the engine's thread

  QPushButton* quit_ = nullptr;             // 1 "Salir"
  QPushButton* start_ = nullptr;            // 1000 "Iniciar"
  QPushButton* stop_ = nullptr;             // 1001 "Detener"
  TrackBar* threshold_ = nullptr;           // 1002
  MeterBar* intensity_meter_ = nullptr;     // 1003
  TrackBar* click_min_ = nullptr;           // 1004
  QCheckBox* male_ = nullptr;               // 1005
  QComboBox* click_action_ = nullptr;       // 1008, hidden
  TrackBar* click_max_ = nullptr;           // 1009
  MeterBar* voice_window_meter_ = nullptr;  // 1010
  Readout* intensity_text_ = nullptr;       // 1014
  Readout* pitch_text_ = nullptr;           // 1015
  Readout* f1_text_ = nullptr;              // 1017
  Readout* f2_text_ = nullptr;              // 1018
  Readout* height_text_ = nullptr;          // 1019
  TrackBar* height_ = nullptr;              // 1020
  Readout* tract_text_ = nullptr;           // 1022, hidden
  TrackBar* speed_ = nullptr;               // 1025
  MeterBar* speed_meter_ = nullptr;         // 1027

  QAction* calibrate_ = nullptr;           // "Calibración…"
  QAction* use_calibration_ = nullptr;     // "Usar calibración"
  QAction* show_vowels_ = nullptr;         // "Ver vocales"
  QAction* start_with_session_ = nullptr;  // "Iniciar con la sesión"
  QAction* pause_gesture_ = nullptr;       // "Pausa con «sss»"
  QAction* speech_guard_ = nullptr;        // "Ignorar el habla"
  QLabel* speech_mark_ = nullptr;          // "habla" beside the meters
  QTimer* speech_mark_timer_ = nullptr;
  QAction* agile_ = nullptr;             // "Movimiento ágil"
  QAction* adjust_threshold_ = nullptr;  // "Ajustar umbral"
  QAction* palette_item_ = nullptr;      // "Paleta de acciones"
  ActionPalette* palette_ = nullptr;     // once shown
  PointerAction action_ = PointerAction::kLeft;
  bool action_kept_ = false;
  CalibrationDialog* calibration_ = nullptr;  // while a calibration goes on
  ThresholdDialog* threshold_box_ = nullptr;  // while "Ajustar umbral" listens
  VowelChart* vowel_chart_ = nullptr;         // once shown

  // Destroyed in reverse order: the engine's thread ends before its parts go.
  PanelRelay* relay_ = nullptr;
  // Hears every pass before the relay; outlives the engine, which hands it the passes.
  std::unique_ptr<PauseGesture> pause_gesture_listener_;
  // Given to the engine while "Ignorar el habla" is on; kept for the panel's life, as the
  // engine may still be judging a pass with it when the option goes off.
  std::unique_ptr<SpeechGuard> speech_guard_judge_;
  std::unique_ptr<AudioSource> audio_;
  std::unique_ptr<InputSink> input_;
  std::unique_ptr<GatedSink> gate_;  // goes before input_, to which it passes the events
  // Goes before gate_: the gate's promise that a release follows its press covers a drag's
  // press too.
  std::unique_ptr<ActionSink> actions_;
  std::unique_ptr<VoiceEngine> engine_;
  std::unique_ptr<SavingNotices> notices_;
  std::unique_ptr<EngineRunner> runner_;
};

}  // namespace sonlet
