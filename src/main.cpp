// sonlet: a hands-free pointer driven by the voice.

#include <QApplication>
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/device_listing.h"
#include "cli/headless_run.h"
#include "cli/portaudio_diagnostics.h"
#include "cli/stop_signals.h"
#include "panel/panel_app.h"

int main(int argc, char** argv) {
  sonlet::LimitPortaudioDiagnostics();
  sonlet::CommandLine line;
  std::string error;
  if (!sonlet::ParseCommandLine(argc, argv, &line, &error)) {
    std::fprintf(stderr, "sonlet: %s\n\n%s", error.c_str(), sonlet::UsageText());
    return 2;
  }
  if (line.help) {
    std::fputs(sonlet::UsageText(), stdout);
    return 0;
  }
  if (line.list_devices) return sonlet::ListInputDevices();
  if (line.headless) return sonlet::RunHeadless(line);

  if (!sonlet::PanelApp::DisplayAvailable()) return sonlet::PanelApp::RunWithoutDisplay(line);
  // Before Qt starts its threads, so that Ctrl-C and SIGTERM come to the panel's watcher.
  sonlet::StopSignals stop_signals;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sonlet"));
  // The desktop entry that started us, so that the desktop shows its icon for the window.
  QApplication::setDesktopFileName(QStringLiteral("org.sonlet.Sonlet"));
  sonlet::PanelApp panel(line, &stop_signals);
  return panel.Run();
}
