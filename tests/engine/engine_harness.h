// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/voice_engine.h"
#include "support/memory_source.h"

namespace sonlet {

// Everything an engine sent out, in order, for tests to read back.
struct RecordedEvents : InputSink, PanelView, NoticeSink, PassObserver {
  struct Meters {
    int intensity, speed, voice_window;
  };
  std::vector<std::string> events;  // "move DX DY", "left down", "left up", "enter down", ...
  std::vector<Meters> meters;
  std::vector<Readings> readings;
  std::vector<Notice> notices;
  std::vector<PassRecord> passes;
  // A desktop that takes this many events and then refuses the rest with refusal_error; gone
  // for good (Lost()) from the first refusal when refusal_is_loss.
  size_t accepted_events = SIZE_MAX;
  int refusal_error = 0;
  bool refusal_is_loss = false;
  // The refusals come afterwards, from LateRefusal, as from a sink that queues: every event is
  // taken.
  bool refusal_is_late = false;
  int late_refusal = 0;

  int Move(int dx, int dy) override {
    return Note("move " + std::to_string(dx) + " " + std::to_string(dy));
  }
  int LeftDown() override { return Note("left down"); }
  int LeftUp() override { return Note("left up"); }
  int EnterDown() override { return Note("enter down"); }
  int EnterUp() override { return Note("enter up"); }
  void ShowMeters(int intensity, int speed, int voice_window) override {
    meters.push_back({intensity, speed, voice_window});
  }
  void ShowReadings(const Readings& r) override { readings.push_back(r); }
  void Notify(Notice notice, int /*error*/) override { notices.push_back(notice); }
  void PassDone(const PassRecord& record) override { passes.push_back(record); }
  bool Lost() const override { return refusal_is_loss && events.size() > accepted_events; }
  int LateRefusal() override { return std::exchange(late_refusal, 0); }

 private:
  int Note(const std::string& event) {
    events.push_back(event);
    const int error = events.size() > accepted_events ? refusal_error : 0;
    if (!refusal_is_late) return error;
    if (error != 0) late_refusal = error;
    return 0;
  }
};

// A steady synthetic vowel: pulses at 100 Hz through resonators at f1, f2 and 2500 Hz,
// with the given peak.
std::vector<int16_t> SteadyVowel(double f1, double f2, int blocks, double peak);

std::vector<int16_t> Silence(int blocks);

// Room noise, a few units of the 16-bit range: what a microphone gives between words.
std::vector<int16_t> Quiet(int blocks);

std::vector<int16_t> Join(std::initializer_list<std::vector<int16_t>> parts);

// An engine over a sequence of blocks, with its own settings and a recorder for all it sends.
struct EngineUnderTest {
  explicit EngineUnderTest(std::vector<int16_t> samples);

  // Runs the start sequence and then passes until the sound ends or `passes` have run.
  void Run(int passes = 1 << 30);

  EngineSettings settings;
  RecordedEvents out;
  MemorySource audio;
  std::unique_ptr<VoiceEngine> engine;
  bool started = false;
};

}  // namespace sonlet
