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
  LimitPortaudioDiagnostics();
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(argc, argv, &line, &error)) {
    std::fprintf(stderr, "sonlet: %s\n\n%s", error.c_str(), UsageText());
    return 2;
  }
  if (line.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (line.list_devices) return ListInputDevices();
  if (line.headless) return RunHeadless(line);

  if (!PanelApp::DisplayAvailable()) return PanelApp::RunWithoutDisplay(line);
  // Before Qt starts its threads, so that Ctrl-C and SIGTERM come to the panel's watcher.
  StopSignals stop_signals;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sonlet"));
  // The desktop entry that started us, so that the desktop shows its icon for the window.
  QApplication::setDesktopFileName(QStringLiteral("org.sonlet.Sonlet"));
  PanelApp sonlet(line, &stop_signals);
  return sonlet.Run();
}
