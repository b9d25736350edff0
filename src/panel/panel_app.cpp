// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel_app.h"

#include <QApplication>
#include <QMetaObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>

#include "cli/io_setup.h"
#include "cli/notice_printer.h"
#include "cli/stop_signals.h"
#include "engine/audio_source.h"
#include "engine/input_sink.h"
#include "input/session_bus_address.h"
#include "panel/control_panel.h"
#include "panel/file_reasons.h"
#include "panel/icons.h"
#include "panel/panel_language.h"
#include "panel/panel_remote.h"
#include "panel/panel_tray.h"
#include "remote/remote_command.h"
#include "remote/remote_service.h"
#include "settings/panel_options.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// What the box says when no microphone could be opened.
QString MicrophoneErrorText(const std::string& device) {
  const QString what =
      device.empty()
          ? QCoreApplication::translate("sonlet::PanelApp", "No se ha podido abrir el micrófono.")
          : QCoreApplication::translate("sonlet::PanelApp",
                                        "No se ha podido abrir el micrófono «%1».")
                .arg(QString::fromStdString(device));
  return what + QCoreApplication::translate(
                    "sonlet::PanelApp",
                    "\n\nCompruebe que está conectado y que no está silenciado, y vuelva a "
                    "iniciar Sonlet. La orden «sonlet --list-devices» muestra los micrófonos "
                    "que Sonlet puede usar.");
}

// Asks for the session's name. Returns -1 when this panel is to run (the name is its own, or
// there is no session bus, or none that answers, and so no way to tell), or the exit status when
// another Sonlet runs: 0 once its panel is in front, 2 when it runs without one or does not
// answer. A bus or a Sonlet that does not answer holds the start up a few seconds at most.
int ClaimSession(RemoteService& remote) {
  std::string why;
  // Twice at most: the other one may end between our asking for the name and its answer.
  for (int attempt = 0; attempt < 2; ++attempt) {
    switch (remote.ClaimName(&why)) {
      case RemoteService::Claim::kOwned:
      case RemoteService::Claim::kNoBus:
        return -1;
      case RemoteService::Claim::kSilent:
        // The panel is what the user has to steer the pointer with: it opens all the same.
        std::fprintf(stderr,
                     "sonlet: %s; the panel opens without it: sonlet --start and the like cannot "
                     "reach it, and should another Sonlet run in this session, both would move "
                     "the pointer.\n",
                     why.c_str());
        return -1;
      case RemoteService::Claim::kTaken:
        break;
    }
    switch (RaiseRunningPanel(&why)) {
      case RaiseResult::kRaised:
        return 0;
      case RaiseResult::kGone:
        continue;
      case RaiseResult::kNoPanel:
        std::fprintf(stderr,
                     "sonlet: Sonlet is already running in this session without its panel "
                     "(--headless), and two would fight over the pointer; end it first (sonlet "
                     "--quit).\n");
        return 2;
      case RaiseResult::kSilent:
        // Opening a second panel would set two engines on one pointer.
        std::fprintf(stderr,
                     "sonlet: Sonlet is already running in this session, but %s, and start "
                     "Sonlet again.\n",
                     why.c_str());
        return 2;
      case RaiseResult::kFailed:
        std::fprintf(stderr,
                     "sonlet: Sonlet is already running in this session, but did not "
                     "answer: %s\n",
                     why.c_str());
        return 2;
    }
  }
  std::fprintf(stderr, "sonlet: Sonlet is already running in this session.\n");
  return 2;
}

}  // namespace

bool PanelApp::DisplayAvailable() {
  return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

int PanelApp::RunWithoutDisplay(const CommandLine& line) {
  Profile profile;
  int error = 0;
  if (ReadProfile(line.profile, &profile, &error) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n%s\n", kProfileOpenError,
                 ProfileOpenDetail(line.profile, error).c_str());
    return 1;
  }
  std::fprintf(stderr,
               "sonlet: the control panel needs a display, and none is set (DISPLAY or "
               "WAYLAND_DISPLAY);\nuse --headless to run without it (see sonlet --help).\n");
  return 2;
}

int PanelApp::Run() {
  // The desktop's language, for every window and box from here on.
  const PanelLanguage language;
  QApplication::setWindowIcon(ApplicationIcon());
  // Before the first window: Qt's own parts reach for the session bus as they come up.
  std::string bus_silence;
  HideSilentSessionBus(&bus_silence);
  const bool output_carries_events = line_.output == "log";
  NoticePrinter notices(standard_output_, output_carries_events);  // outlives the panel's engine
  ControlPanel panel(line_.profile);

  // A stop from outside is carried out on the panel's thread, which answers at once while its
  // event loop (or a box's) runs. The first closes the panel as its close box does, a box open
  // over it going first; a later one, with a box still open (a failed save says so in one),
  // leaves as ESC does. While the panel's thread is busy before its loop starts (reading a
  // profile that never comes, opening a device), no setting has been shown or changed yet, and
  // the program ends at once.
  int signals_taken = 0;  // on the watching thread only
  stop_signals_.OnSignal([this, &panel, &signals_taken](int signal) {
    const bool first = ++signals_taken == 1;
    auto answered = std::make_shared<std::promise<void>>();
    std::future<void> answer = answered->get_future();
    QMetaObject::invokeMethod(
        &panel,
        [&panel, first, answered] {
          answered->set_value();
          if (first) {
            panel.CloseAsCloseBox();
            return;
          }
          QWidget* box = QApplication::activeModalWidget();
          if (box != nullptr && box != &panel) box->close();
          if (panel.isVisible()) panel.reject();
        },
        Qt::QueuedConnection);
    if (answer.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
      standard_output_.StopWaiting();
      StopSignals::EndNow(signal);
    }
  });
  // Events written to a standard output that fails (a full disk, a reader gone) would go
  // nowhere: the panel closes as its close box does, and the program ends with status 2.
  standard_output_.OnFailure([&panel] {
    QMetaObject::invokeMethod(
        &panel, [&panel] { panel.close(); }, Qt::QueuedConnection);
  });
  // Whatever way Run ends, the panel is gone afterwards: neither may reach it then.
  struct Release {
    StopSignals& stop;
    OutputChannel& output;
    ~Release() {
      stop.OnSignal([](int) {});
      output.OnFailure(nullptr);
    }
  } release{stop_signals_, standard_output_};

  // One panel per session: a second start brings the first to the front and ends.
  RemoteService remote;
  PanelRemote remote_control(panel, remote);
  const int already_running = ClaimSession(remote);
  if (already_running >= 0) return already_running;

  panel.SetCalibrationFile(line_.calibration);
  int open_error = 0;
  if (!panel.LoadProfile(&open_error)) {
    std::fprintf(stderr, "%s\n%s\n", kProfileOpenError,
                 ProfileOpenDetail(line_.profile, open_error).c_str());
    return panel.exit_status();
  }
  RemoveProfileLeftovers(line_.profile);
  RemoveProfileLeftovers(PanelOptionsPathBeside(line_.profile));

  std::string error;
  int status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(line_, standard_output_, &error, &status);
  if (audio == nullptr) {
    // The details, in the sound system's words, on the standard error stream for a start from a
    // terminal; the box speaks the panel's language.
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    panel.ShowError(line_.input.empty() ? MicrophoneErrorText(line_.device)
                                        : RecordingReasonText(line_.input));
    return status;
  }
  std::unique_ptr<InputSink> input = OpenOutput(line_, standard_output_, &error, &status);
  if (input == nullptr) {
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    panel.ShowError(QString::fromStdString(error));
    return status;
  }

  // Closing must not wait on a reader of standard output that stopped reading.
  panel.StartEngine(std::move(audio), std::move(input), notices,
                    [this] { standard_output_.StopWaiting(); });
  PanelTray tray(panel);
  panel.exec();
  if (panel.exit_status() != 0) {
    std::fprintf(stderr, "%s\n%s\n", kProfileWriteError,
                 ProfileWriteDetail(line_.profile, panel.profile_write_error()).c_str());
    return panel.exit_status();
  }
  if (panel.output_lost()) return kOutputLostStatus;
  if (output_carries_events && standard_output_.error() != 0) {
    std::fprintf(stderr, "sonlet: %s, so Sonlet stopped.\n", standard_output_.Failure().c_str());
    return 2;
  }
  return 0;
}

}  // namespace sonlet
