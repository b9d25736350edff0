// SPDX-License-Identifier: GPL-3.0-or-later
// sonlet: a hands-free pointer driven by the voice.

#include <pthread.h>

#include <QApplication>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>

#include "cli/calibration_guide.h"
#include "cli/calibration_maker.h"
#include "cli/command_line.h"
#include "cli/device_listing.h"
#include "cli/headless_run.h"
#include "cli/output_channel.h"
#include "cli/portaudio_diagnostics.h"
#include "cli/stop_signals.h"
#include "cli/threshold_guide.h"
#include "panel/panel_app.h"
#include "remote/headless_bus.h"
#include "remote/remote_command.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build's leak report leaves out what ALSA's plugins allocate: ALSA loads them
// (and through them the PulseAudio and JACK clients) with dlopen and unloads them when PortAudio
// stops, and what their constructors allocated then looks lost. It is not Sonlet's memory and
// must not change the program's exit status. Seeing the loader in those stacks takes the full
// unwinder.
extern "C" const char* __lsan_default_suppressions() { return "leak:snd_dlopen\n"; }
extern "C" const char* __lsan_default_options() { return "fast_unwind_on_malloc=0"; }
#endif

namespace {

// Runs as the program is loaded, before main: from here on a stop signal waits, blocked, for the
// watcher that main starts, instead of killing the program with its default action.
__attribute__((constructor)) void BlockStopSignalsFromTheStart() {
  sigset_t stop;
  sigemptyset(&stop);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stop, s);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything opens a file: a closed standard output must not lend its number to one.
  sonlet::OutputChannel standard_output = sonlet::OutputChannel::StandardOutput();
  // A reader that goes away (sonlet ... | head) makes writes fail with EPIPE, which the program
  // reports and stops on, instead of killing it between two events with something held.
  std::signal(SIGPIPE, SIG_IGN);
  // Before any other thread starts, so that every thread leaves the stop signals to this one.
  sonlet::StopSignals stop_signals;
  // Until a mode takes the signals over: end at once, the last output not waiting on a reader
  // that stopped reading.
  stop_signals.OnSignal([&standard_output](int signal) {
    standard_output.StopWaiting();
    sonlet::StopSignals::EndNow(signal);
  });
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
  if (line.version) {
    std::fputs(sonlet::VersionText(), stdout);
    return 0;
  }
  if (line.list_devices) return sonlet::ListInputDevices();
  if (!line.make_calibration.empty())
    return sonlet::MakeCalibration(line, stop_signals, standard_output);
  if (line.suggest_threshold) return sonlet::RunThresholdGuide(line, stop_signals, standard_output);
  if (!line.calibrate.empty()) {
    return sonlet::RunGuidedCalibration(line, stop_signals, standard_output);
  }
  if (!line.control.empty()) {
    QCoreApplication application(argc, argv);
    return sonlet::RunRemoteCommand(line.control, line.action);
  }
  if (line.headless) {
    sonlet::HeadlessBus bus(line, argc, argv);
    return sonlet::RunHeadless(line, stop_signals, standard_output, &bus);
  }

  if (!sonlet::PanelApp::DisplayAvailable()) return sonlet::PanelApp::RunWithoutDisplay(line);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sonlet"));
  // The desktop entry that started us, so that the desktop shows its icon for the window.
  QApplication::setDesktopFileName(QStringLiteral("org.sonlet.Sonlet"));
  sonlet::PanelApp panel(line, stop_signals, standard_output);
  return panel.Run();
}
