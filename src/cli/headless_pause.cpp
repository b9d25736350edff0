// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/headless_pause.h"

#include <cstdio>

#include "cli/event_log.h"

namespace sonlet {

std::unique_ptr<PauseGesture> MakeHeadlessPause(EngineSettings* settings,
                                                OutputChannel& standard_output, bool log_events,
                                                PassObserver* next) {
  auto heard = [settings, &standard_output, log_events](int64_t pass, bool listening) {
    const bool now_listening = !listening;
    if (!SetListening(settings, now_listening)) return;
    if (log_events) {
      LogListening(standard_output, pass, now_listening);
    } else if (now_listening) {
      std::fprintf(stderr, "sonlet: listening again.\n");
    } else {
      std::fprintf(stderr, "sonlet: paused; a hiss of about a second starts listening again.\n");
    }
  };
  return std::make_unique<PauseGesture>(next, heard);
}

}  // namespace sonlet
