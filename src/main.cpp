// sonlet: a hands-free pointer driven by the voice.

#include <QApplication>
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/device_listing.h"
#include "cli/headless_run.h"
#include "panel/panel_app.h"
#include "cli/stop_signals.h"
#include "cli/portaudio_diagnostics.h"

int main(int argc, char** argv) {
  limit_portaudio_diagnostics();
  CommandLine line;
  std::string error;
  if (!parse_command_line(argc, argv, &line, &error)) {
    std::fprintf(stderr, "sonlet: %s\n\n%s", error.c_str(), usage_text());
    return 2;
  }
  if (line.help) {
    std::fputs(usage_text(), stdout);
    return 0;
  }
  if (line.list_devices) return list_input_devices();
  if (line.headless) return run_headless(line);

  if (!CSonletApp::display_available()) return CSonletApp::run_without_display(line);
  // Before Qt starts its threads, so that Ctrl-C and SIGTERM come to the panel's watcher.
  StopSignals stop_signals;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sonlet"));
  // The desktop entry that started us, so that the desktop shows its icon for the window.
  QApplication::setDesktopFileName(QStringLiteral("org.sonlet.Sonlet"));
  CSonletApp sonlet(line, &stop_signals);
  return sonlet.run();
}
