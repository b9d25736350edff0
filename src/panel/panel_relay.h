// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <atomic>
#include <mutex>

#include "actions/action_sink.h"
#include "engine/panel_view.h"
#include "engine/pass_record.h"

class QSocketNotifier;

namespace sonlet {

// The latest meters and readings the engine has shown, as the panel takes them over.
struct PanelSnapshot {
  bool has_meters = false;  // meters arrived since the last hand-over
  int intensity = 0;
  int speed = 0;
  int voice_window = 1;
  bool has_readings = false;  // readings arrived since the last hand-over
  Readings readings;
  bool has_action = false;  // the action in force changed since the last hand-over
  PointerAction action = PointerAction::kLeft;
  bool action_kept = false;
};

// The engine's passes since the last hand-over, oldest first: what the vowel chart and the
// calibration follow. Kept in a fixed ring, so that the engine's thread never allocates; when
// the panel falls more than a ring behind, the oldest go and are counted.
inline constexpr int kRelayedPasses = 64;

struct PassBatch {
  int count = 0;
  int64_t dropped = 0;  // passes lost before these, the panel having been too slow for them
  PassRecord passes[kRelayedPasses];

  const PassRecord* begin() const { return passes; }
  const PassRecord* end() const { return passes + count; }
};

// Carries what the engine shows from its thread to the panel's. The engine only stores the
// latest values and, when the panel has not yet been told, wakes it through an eventfd that the
// panel's event loop watches; it never waits for the panel. The panel takes the latest values
// when it gets round to it, so however busy it is, at most one wake-up is pending and the
// values it shows are the newest: a busy panel skips values, it never falls behind.
//
// The wake-up is an eventfd rather than a posted Qt event so that nothing allocated on the
// engine's thread is used on the panel's: the hand-over is all in this class, where a thread
// checker can see it.
//
// The pointer action in force is carried the same way: the palette and the tray show the latest.
class PanelRelay : public QObject, public PanelView, public PassObserver, public ActionListener {
  Q_OBJECT
 public:
  explicit PanelRelay(QObject* parent = nullptr);
  ~PanelRelay() override;

  // Engine thread.
  void ShowMeters(int intensity, int speed, int voice_window) override;
  void ShowReadings(const Readings& readings) override;
  void PassDone(const PassRecord& record) override;
  // Engine thread, or whichever thread chose the action.
  void ActionChanged(PointerAction action, bool kept) override;

 signals:
  // Panel thread: the latest values, once per wake-up.
  void Arrived(const PanelSnapshot& latest);
  // Panel thread, after Arrived: the passes since the last hand-over, when there are any.
  void PassesArrived(const PassBatch& passes);
  // Panel thread: the action in force now, when it has changed since the last hand-over.
  void ActionArrived(sonlet::PointerAction action, bool kept);

 private:
  void Wake();     // engine thread
  void Deliver();  // panel thread

  std::mutex mutex_;  // guards latest_ and the ring; held only to copy them
  PanelSnapshot latest_;
  PassRecord ring_[kRelayedPasses];
  int ring_oldest_ = 0;
  int ring_count_ = 0;
  int64_t ring_dropped_ = 0;
  PassBatch delivered_;  // panel thread: kept here rather than on the stack, being large
  std::atomic<bool> wake_pending_{false};
  int event_fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace sonlet
