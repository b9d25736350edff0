#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/recording_source.h"
#include "engine/voice_engine.h"

namespace sonlet {

// Everything an engine sent out, in order, for tests to read back.
struct RecordedEvents : InputSink, PanelView, PassObserver {
  struct Meters {
    int intensity, speed, voice_window;
  };
  std::vector<std::string> events;  // "move DX DY", "left down", "left up", "enter down", ...
  std::vector<Meters> meters;
  std::vector<Readouts> readouts;
  std::vector<PassRecord> passes;

  void Move(int dx, int dy) override {
    events.push_back("move " + std::to_string(dx) + " " + std::to_string(dy));
  }
  void LeftDown() override { events.push_back("left down"); }
  void LeftUp() override { events.push_back("left up"); }
  void EnterDown() override { events.push_back("enter down"); }
  void EnterUp() override { events.push_back("enter up"); }
  void ShowMeters(int intensity, int speed, int voice_window) override {
    meters.push_back({intensity, speed, voice_window});
  }
  void ShowReadouts(const Readouts& r) override { readouts.push_back(r); }
  void PassDone(const PassRecord& record) override { passes.push_back(record); }
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
  RecordingSource audio;
  std::unique_ptr<VoiceEngine> engine;
  bool started = false;
};

}  // namespace sonlet
