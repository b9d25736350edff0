// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/capture_devices.h"
#include "audio/capture_ring.h"
#include "audio/wave_capture.h"

namespace sonlet {

// Live capture through the sound server's own protocol: PulseAudio, or PipeWire's pulse
// service, which current desktops run. The source is recorded at its own rate and channels
// (the server's resampler, built for music at 44.1 kHz and up, bends the band near 3 kHz when
// asked for 8000 Hz) and converted in the process (MonoConverter), two blocks of 150 samples
// handed over per wake-up, into the ring of 200 buffers as wave capture does.
//
// The client has no thread of its own: whoever calls it runs libpulse's loop, the engine's
// thread above all, whose read sleeps in the loop until the server hands over the next blocks.
// Each hand-over thus costs one wake-up of one thread, which on a desktop is most of what
// listening costs. The loop also hears the server's news: a source that appears or changes, the
// server's default that changes, the server itself coming back after it went away (seen as its
// socket appearing again). Each piece of news counts in changes(), so that a capture that failed
// can try again when something has changed, and not at guessed intervals.
//
// A server can also stall: stopped, or starved by a busy machine, it keeps its socket and our
// connection but answers nothing. A query or an opening it leaves unanswered past its limit is
// cancelled, and the server is then treated as one that went away: a new connection waits for it,
// and its becoming ready is the news that it is back.
//
// One thread at a time may call it (the one that opens it, then the engine's); Interrupt() may
// come from any.
class PulseCapture {
 public:
  // The error number of an opening that the server left unanswered, PortAudio's paTimedOut, as
  // the open-failure line shows PortAudio's numbers.
  static constexpr int kTimedOutError = -9987;

  PulseCapture();
  ~PulseCapture();  // closes the stream and leaves the server
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;

  enum class Answer {
    kReady,    // connected
    kNone,     // no server is there (no socket, or nobody listening on it)
    kStalled,  // a server took the connection but did not answer in time
  };

  // Connects to the server the environment names (PULSE_SERVER, or the user's own), waiting
  // at most about two seconds. Unless ready, *why says what went wrong, for the user.
  Answer Connect(std::string* why);

  // The server's name and version as it gives them, e.g. "pulseaudio 16.1"; "" before Connect.
  std::string ServerName();

  // The server's sources, the default marked. Empty when the server is gone or stalled.
  std::vector<CaptureDeviceInfo> Sources();

  // Whether the server has stopped answering (see above) and not come back yet.
  bool Stalled() const;

  // Opens `wanted` (a source's name or description, or part of one; "" for the server's
  // default) and starts recording it into the ring. On failure nothing stays open; a server
  // that did not answer gives kTimedOutError.
  WaveCaptureOpenStatus Open(const std::string& wanted);

  // The source that is open, in people's words; "" while none is.
  std::string SourceDescription();

  // Stops recording. The ring keeps its memory for a later Open.
  void Close();

  // As ReadWaveCapture: the next count samples, *saturated when every buffer was full. Waits
  // at most about a second for them (three after opening) before it takes the stream for dead.
  CaptureRing::ReadResult Read(int16_t samples[], int count, bool* saturated);

  // Waits up to `duration` for news from the server (changes() other than `seen`). Returns
  // false when a stop was asked for.
  bool WaitForNews(std::chrono::milliseconds duration, uint32_t seen);

  // News from the server since the client started (see above).
  uint32_t changes() const;

  // Any thread: a waiting read or wait for news returns at once, and so do all later ones.
  void Interrupt();

 private:
  struct Client;  // libpulse's loop, context and stream, and what their callbacks share
  std::unique_ptr<Client> client_;
};

}  // namespace sonlet
