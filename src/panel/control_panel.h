#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "engine/engine_settings.h"
#include "engine/panel_view.h"

class AudioSource;
class CMeterBar;
class CPanelRelay;
class CReadout;
class CTrackBar;
class EngineRunner;
class InputSink;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLayout;
class QPushButton;
class VoiceEngine;
struct PanelSnapshot;

// The control panel "S O N L E T": starts and stops listening, holds the user's settings and
// shows what the engine hears. Every control carries its number as its object name ("1000" is
// "Iniciar"). The settings can be changed only while listening; a slider's new position becomes
// the setting when the user lets go of it, the check box's at once, and "Iniciar" takes them
// all. "Salir", ENTER and the close box save the settings as they were last taken; ESC leaves
// without saving.
class CSonletDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CSonletDlg(std::string profile_path, QWidget* parent = nullptr);
  ~CSonletDlg() override;

  // Reads the profile into the settings and shows them, in the Stopped state. When the file
  // cannot be opened, says so in a box and returns false: the program then ends with status 1
  // without showing the panel.
  bool load_profile();

  // Starts the engine on this sound and input with the panel's settings; the panel owns both
  // until it ends, when it stops the engine, waits for it and only then lets the input go, so
  // that no button or key is left pressed.
  void start_engine(std::unique_ptr<AudioSource> audio, std::unique_ptr<InputSink> input);

  // A message box owned by the panel, captioned "Error", with only an OK button.
  void show_error(const QString& text);

  // 0, or 1 when the profile could not be read or saved.
  int exit_status() const { return exit_status_; }

  // What the engine reads. Only this panel writes it, on its own thread.
  const EngineSettings& settings() const { return settings_; }

 public slots:
  void done(int result) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLayout* make_buttons();
  QGroupBox* make_user_group();
  QGroupBox* make_threshold_group();
  QLayout* make_direction_legend();
  QGroupBox* make_voice_parameters_group();
  QGroupBox* make_voice_window_group();
  QLayout* make_click_legend();
  void make_menu(QLayout* layout);
  void set_tab_order();

  void on_start();
  void on_stop();
  void save_and_end();
  void open_manual();
  void show_about();
  void set_listening_controls(bool listening);
  void store_exchange();  // controls -> settings
  void load_exchange();   // settings -> controls
  void show_snapshot(const PanelSnapshot& latest);
  void stop_engine();

  EngineSettings settings_;
  std::string profile_path_;
  int exit_status_ = 0;

  QPushButton* quit_ = nullptr;              // 1 "Salir"
  QPushButton* start_ = nullptr;             // 1000 "Iniciar"
  QPushButton* stop_ = nullptr;              // 1001 "Detener"
  CTrackBar* threshold_ = nullptr;           // 1002
  CMeterBar* intensity_meter_ = nullptr;     // 1003
  CTrackBar* click_min_ = nullptr;           // 1004
  QCheckBox* male_ = nullptr;                // 1005
  QComboBox* click_action_ = nullptr;        // 1008, hidden
  CTrackBar* click_max_ = nullptr;           // 1009
  CMeterBar* voice_window_meter_ = nullptr;  // 1010
  CReadout* intensity_text_ = nullptr;       // 1014
  CReadout* pitch_text_ = nullptr;           // 1015
  CReadout* f1_text_ = nullptr;              // 1017
  CReadout* f2_text_ = nullptr;              // 1018
  CReadout* height_text_ = nullptr;          // 1019
  CTrackBar* height_ = nullptr;              // 1020
  CReadout* tract_text_ = nullptr;           // 1022, hidden
  CTrackBar* speed_ = nullptr;               // 1025
  CMeterBar* speed_meter_ = nullptr;         // 1027
  Readouts shown_readouts_;  // the texts in the read-outs, to skip those that did not change

  // Destroyed in reverse order: the engine's thread ends before its parts go.
  CPanelRelay* relay_ = nullptr;
  std::unique_ptr<AudioSource> audio_;
  std::unique_ptr<InputSink> input_;
  std::unique_ptr<VoiceEngine> engine_;
  std::unique_ptr<EngineRunner> runner_;
};
