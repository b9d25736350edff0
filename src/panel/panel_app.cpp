#include "panel/panel_app.h"

#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/io_setup.h"
#include "cli/notice_printer.h"
#include "cli/stop_signals.h"
#include "engine/audio_source.h"
#include "engine/input_sink.h"
#include "panel/control_panel.h"
#include "panel/icons.h"
#include "settings/profile_file.h"

namespace sonlet {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

bool PanelApp::DisplayAvailable() {
  return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

int PanelApp::RunWithoutDisplay(const CommandLine& line) {
  Profile profile;
  if (ReadProfile(line.profile, &profile) != ProfileStatus::kOk) {
    std::fprintf(stderr, "%s\n", kProfileOpenError);
    return 1;
  }
  std::fprintf(stderr,
               "sonlet: the control panel needs a display, and none is set (DISPLAY or "
               "WAYLAND_DISPLAY);\nuse --headless to run without it (see sonlet --help).\n");
  return 2;
}

int PanelApp::Run() {
  QApplication::setWindowIcon(ApplicationIcon());
  NoticePrinter notices;  // outlives the panel, whose engine tells it what it finds
  ControlPanel panel(line_.profile);
  if (!panel.LoadProfile()) {
    std::fprintf(stderr, "%s\n", kProfileOpenError);
    return panel.exit_status();
  }

  std::string error;
  int status = 0;
  std::unique_ptr<AudioSource> audio = OpenAudio(line_, &error, &status);
  std::unique_ptr<InputSink> input;
  if (audio != nullptr) input = OpenOutput(line_, &error, &status);
  if (input == nullptr) {
    // Also on the standard error stream, for a start from a terminal.
    std::fprintf(stderr, "sonlet: %s\n", error.c_str());
    panel.ShowError(QString::fromStdString(error));
    return status;
  }

  panel.StartEngine(std::move(audio), std::move(input), notices);
  // A session that ends, or a Ctrl-C in the terminal, closes the panel on its own thread as the
  // close box would; a box open over it goes first, so that the panel's own loop can end.
  if (stop_signals_ != nullptr) {
    stop_signals_->Watch([&panel] {
      QMetaObject::invokeMethod(
          &panel,
          [&panel] {
            QWidget* box = QApplication::activeModalWidget();
            if (box != nullptr && box != &panel) box->close();
            panel.close();
          },
          Qt::QueuedConnection);
    });
  }
  panel.exec();
  if (stop_signals_ != nullptr) stop_signals_->StopWatching();
  if (panel.exit_status() != 0) std::fprintf(stderr, "%s\n", kProfileWriteError);
  return panel.exit_status();
}

}  // namespace sonlet
