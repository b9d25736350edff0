// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "cli/output_channel.h"
#include "engine/engine_settings.h"
#include "engine/pass_record.h"
#include "gesture/pause_gesture.h"

namespace sonlet {

// The pause gesture of the headless run (--pause-gesture): each gesture switches listening off
// or on, and the run says so: with the events on standard output (log_events), as a line of the
// event log, "PASS<tab>pause" or "PASS<tab>resume"; otherwise in a line on standard error, where
// the user at the terminal sees it. settings and standard_output must outlive the gesture; next
// is the engine's other observer (the trace) or null.
std::unique_ptr<PauseGesture> MakeHeadlessPause(EngineSettings* settings,
                                                OutputChannel& standard_output, bool log_events,
                                                PassObserver* next);

}  // namespace sonlet
