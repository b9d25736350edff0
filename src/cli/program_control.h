// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace sonlet {

class ActionSink;

// What another program may do to a running Sonlet (sonlet --status, --start, --stop, --toggle,
// --quit, --action, and a second start of the panel). The panel and the headless run each carry
// these out in their own way; whoever takes the requests (the session bus) calls them on the
// program's main thread, one at a time.
class ProgramControl {
 public:
  virtual ~ProgramControl() = default;

  virtual bool Listening() = 0;
  // As "Iniciar" and "Detener": start or stop listening. Nothing happens where the user could
  // not do it either (listening already as asked, a calibration holding it on).
  virtual void Start() = 0;
  virtual void Stop() = 0;
  // As the close box of the panel, or a stop signal without it: the settings are saved, the
  // engine stopped, nothing left held, and the program ends.
  virtual void Quit() = 0;
  // Brings the panel's window to the front. Returns false where there is no window (headless).
  virtual bool Raise() { return false; }
  // Where the pointer action is chosen (sonlet --action, the bus's SetAction); null where this
  // Sonlet has none to choose.
  virtual ActionSink* Actions() { return nullptr; }
};

// Takes requests from outside while the headless engine runs. The command line knows nothing
// of how they come; src/remote serves them over the session bus.
class ControlServer {
 public:
  virtual ~ControlServer() = default;

  // Called once the program takes the stop signals itself, before anything is read or opened.
  // Returns 0 to go on, or the exit status after having said on standard error why this run
  // must not (another Sonlet already moves the pointer).
  virtual int Open() = 0;

  // Serves requests through control on the calling thread until wait_for_end, which waits for
  // the engine's thread to end, has returned.
  virtual void ServeUntil(ProgramControl& control, const std::function<void()>& wait_for_end) = 0;
};

}  // namespace sonlet
