// SPDX-License-Identifier: GPL-3.0-or-later
#include "gesture/pause_gesture.h"

namespace sonlet {

void PauseGesture::PassDone(const PassRecord& record) {
  if (next_ != nullptr) next_->PassDone(record);
  // Switched off, the detector still hears every pass, so that once switched on it knows how
  // quiet the room is and how long a hiss already going on has lasted.
  const bool heard = detector_.Hear(record.level, record.loud, record.high_share);
  if (heard && enabled_.load(std::memory_order_relaxed)) heard_(record.pass, record.listening);
}

}  // namespace sonlet
