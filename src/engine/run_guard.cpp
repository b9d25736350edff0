// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/run_guard.h"

namespace sonlet {

const char* GuardReasonName(GuardReason reason) {
  switch (reason) {
    case GuardReason::kWait:
      return "wait";
    case GuardReason::kClick:
      return "click";
    case GuardReason::kSpeech:
      return "speech";
    case GuardReason::kHeld:
      return "held";
    case GuardReason::kTail:
      return "tail";
    case GuardReason::kNone:
      break;
  }
  return "";
}

}  // namespace sonlet
